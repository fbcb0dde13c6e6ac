// Drive-letter services on Windows.
#include <windows.h>

#include <shlobj.h>

#include <string>

#include "drive/drive_letters.h"

namespace vestrel {

namespace {

const wchar_t* Wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::u16string RootOf(char16_t letter) {
    return std::u16string{letter, u':', u'\\'};
}

class Win32DriveLetters : public DriveLetterServices {
  public:
    uint32_t LogicalDrives() override { return GetLogicalDrives(); }

    DriveKind DriveType(char16_t letter) override {
        return static_cast<DriveKind>(GetDriveTypeW(Wide(RootOf(letter))));
    }

    bool VolumeLabel(char16_t letter, std::u16string& label) override {
        wchar_t buffer[MAX_PATH + 1] = {};
        BOOL ok = GetVolumeInformationW(Wide(RootOf(letter)), buffer, MAX_PATH + 1, nullptr,
                                        nullptr, nullptr, nullptr, 0);
        label = ok ? std::u16string(reinterpret_cast<const char16_t*>(buffer)) : u"";
        return ok != FALSE;
    }

    bool FreeSpace(std::u16string_view path, uint64_t& freeBytes) override {
        ULARGE_INTEGER available;
        std::u16string p(path);
        if (!GetDiskFreeSpaceExW(Wide(p), &available, nullptr, nullptr))
            return false;
        freeBytes = available.QuadPart;
        return true;
    }

    // SHGetFolderPathW is looked up at run time, so the program starts even
    // where shell32 lacks it.
    std::u16string AppDataFolder() override {
        using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
        HMODULE shell = LoadLibraryW(L"shell32.dll");
        if (!shell)
            return {};
        auto get = reinterpret_cast<GetFolderPath>(
            reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathW")));
        wchar_t path[MAX_PATH] = {};
        std::u16string folder;
        if (get && SUCCEEDED(get(nullptr, CSIDL_APPDATA, nullptr, 0, path))) {
            folder = reinterpret_cast<const char16_t*>(path);
        }
        FreeLibrary(shell);
        while (!folder.empty() && folder.back() == u'\\')
            folder.pop_back();
        return folder;
    }
};

}  // namespace

DriveLetterServices& PlatformDriveLetters() {
    static Win32DriveLetters services;
    return services;
}

}  // namespace vestrel
