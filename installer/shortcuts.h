// The three shortcuts to the installed wizard.
#pragma once

#include <string>

namespace vestrel::installer {

struct ShortcutChoice {
    bool startMenu = true;
    bool desktop = true;
    bool quickLaunch = false;
};

// Desktop, Quick Launch, then Start Menu (in the publisher folder), each
// where chosen, all pointing at the wizard; failures ignored.
void CreateShortcuts(const std::wstring& wizardPath, const ShortcutChoice& choice);

// Where the three shortcuts lie, in the order desktop, Quick Launch, Start
// Menu. The Quick Launch chain is created on the way.
std::wstring DesktopShortcutPath();
std::wstring QuickLaunchShortcutPath();
std::wstring StartMenuShortcutPath();

}  // namespace vestrel::installer
