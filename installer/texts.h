// The installer's names and texts, and the small conversions between the
// Win32 side's wide strings and the portable logic's UTF-16 strings.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "resources/publisher.h"

namespace vestrel::installer {

inline constexpr wchar_t kCaption[] = L"t4k Vestrel\u2122 Installer";
inline constexpr wchar_t kWizardExe[] = L"t4kVestrel.exe";
inline constexpr wchar_t kInstallerExe[] = L"t4kInstaller.exe";
inline constexpr wchar_t kShortcutName[] = L"t4k Vestrel.lnk";
inline constexpr wchar_t kUninstallParent[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr wchar_t kUninstallSubkey[] = L"{054E41D7-BA28-4DDb-A0FC-50DE46251425}";
inline constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{054E41D7-BA28-4DDb-A0FC-50DE46251425}";
// The wizard's single-instance object: a named file mapping that exists
// while a t4k Vestrel runs in this session.
inline constexpr wchar_t kWizardInstanceName[] = L"t4k Vestrel\u2122";
inline constexpr wchar_t kWizardRunningText[] =
    L"t4k Vestrel\u2122 is running.\n\nPlease close it and click Retry, or click Cancel to "
    L"stop the installation.";
inline constexpr wchar_t kPublisherDomain[] = VESTREL_PUBLISHER_DOMAIN;
inline constexpr wchar_t kPublisherWebRoot[] = VESTREL_WEB_ROOT;
inline constexpr wchar_t kStartMenuFolder[] = VESTREL_START_MENU_FOLDER;
// The fourth field of the file version of the wizard this installer delivers.
inline constexpr unsigned kPairedBuild = 21;

inline std::u16string U16(std::wstring_view text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}
inline std::wstring Wide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}
// The folder, a backslash (unless it ends with one, as "C:\\" does) and the name.
inline std::wstring Join(std::wstring_view folder, std::wstring_view name) {
    std::wstring path(folder);
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    path += name;
    return path;
}

}  // namespace vestrel::installer
