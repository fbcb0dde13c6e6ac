#include "installer/shortcuts.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include "installer/shell_folders.h"
#include "installer/texts.h"

namespace vestrel::installer {

namespace {

std::wstring InFolder(const std::wstring& folder) {
    return folder.empty() ? std::wstring() : Join(folder, kShortcutName);
}

std::wstring PublisherFolder() {
    const std::wstring programs = ShellFolder(CSIDL_PROGRAMS);
    return programs.empty() ? std::wstring() : Join(programs, kStartMenuFolder);
}

}  // namespace

std::wstring DesktopShortcutPath() {
    return InFolder(ShellFolder(CSIDL_DESKTOP));
}

std::wstring QuickLaunchShortcutPath() {
    return InFolder(QuickLaunchFolder());
}

std::wstring StartMenuShortcutPath() {
    return InFolder(PublisherFolder());
}

void CreateShortcuts(const std::wstring& wizardPath, const ShortcutChoice& choice) {
    const HRESULT com = CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        link->SetPath(wizardPath.c_str());
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            const auto save = [&](const std::wstring& path) {
                if (!path.empty())
                    file->Save(path.c_str(), TRUE);
            };
            if (choice.desktop)
                save(DesktopShortcutPath());
            if (choice.quickLaunch)
                save(QuickLaunchShortcutPath());
            if (choice.startMenu) {
                const std::wstring folder = PublisherFolder();
                if (!folder.empty()) {
                    CreateDirectoryW(folder.c_str(), nullptr);
                    save(InFolder(folder));
                }
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}

}  // namespace vestrel::installer
