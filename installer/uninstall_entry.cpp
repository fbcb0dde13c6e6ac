#include "installer/uninstall_entry.h"

#include <vector>

#include "installer/registry_text.h"
#include "installer/texts.h"

namespace vestrel::installer {

namespace {

constexpr DWORD kValueBufferBytes = 2048;

void SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void SetNumber(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

void WriteUninstallEntry(const std::wstring& uninstallCommand, const EntryDetails& details) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    SetText(key, L"Contact", kPublisherDomain);
    SetText(key, L"Publisher", kPublisherDomain);
    SetText(key, L"DisplayName", std::wstring(L"t4k Vestrel; ") + kPublisherDomain);
    SetText(key, L"UninstallString", uninstallCommand);
    if (!details.displayVersion.empty())
        SetText(key, L"DisplayVersion", details.displayVersion);
    SetText(key, L"DisplayIcon", details.displayIcon);
    SetText(key, L"InstallLocation", details.installLocation);
    SetNumber(key, L"EstimatedSize", details.estimatedSizeKb);
    // Installed files have nothing to change or mend: the list shows
    // only Uninstall.
    SetNumber(key, L"NoModify", 1);
    SetNumber(key, L"NoRepair", 1);
    RegCloseKey(key);
}

std::optional<std::wstring> ReadUninstallCommand() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<uint8_t> buffer(kValueBufferBytes, 0);
    DWORD type = 0;
    DWORD size = kValueBufferBytes;
    const LONG status =
        RegQueryValueExW(key, L"UninstallString", nullptr, &type, buffer.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    const auto text = CheckedRegistryText(type, buffer.data(), size, kValueBufferBytes);
    if (!text)
        return std::nullopt;
    return Wide(*text);
}

LONG DeleteKeyTree(HKEY parent, const wchar_t* subkey) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(parent, subkey, 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS)
        return status;
    for (;;) {
        std::vector<wchar_t> name(257, L'\0');
        DWORD length = 257;
        status = RegEnumKeyExW(key, 0, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS)
            status = DeleteKeyTree(key, name.data());
        if (status != ERROR_SUCCESS) {
            RegCloseKey(key);
            return status;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyW(parent, subkey);
}

}  // namespace vestrel::installer
