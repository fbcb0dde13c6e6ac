#include "installer/shell_folders.h"

#include <shlobj.h>

#include <vector>

#include "installer/texts.h"

namespace vestrel::installer {

namespace {

using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

std::wstring FolderPath(int csidl) {
    HMODULE shell = LoadLibraryW(L"Shell32.dll");
    if (!shell)
        return {};
    std::wstring path;
    auto get = reinterpret_cast<GetFolderPath>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathW")));
    std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
    if (get && SUCCEEDED(get(nullptr, csidl, nullptr, 0, buffer.data())))
        path = buffer.data();
    FreeLibrary(shell);
    return path;
}

}  // namespace

std::wstring ShellFolder(int csidl) {
    return FolderPath(csidl | CSIDL_FLAG_CREATE);
}

void CreateFolderLevels(const std::wstring& path, HANDLE cancelEvent) {
    for (size_t slash = path.find(L'\\'); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1)) {
        if (WaitForSingleObject(cancelEvent, 100) == WAIT_OBJECT_0)
            return;
        if (slash > 0)
            CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    }
    CreateDirectoryW(path.c_str(), nullptr);
}

std::wstring QuickLaunchFolder() {
    std::wstring folder = ShellFolder(CSIDL_APPDATA);
    if (folder.empty())
        return {};
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* level : {L"Microsoft", L"Internet Explorer", L"Quick Launch"}) {
        Sleep(100);
        folder += L'\\';
        folder += level;
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    return folder;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsLink(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    // The reparse tag comes with the entry's find data.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return true;
    FindClose(search);
    return LeadsElsewhere(found.dwFileAttributes, found.dwReserved0);
}

std::wstring ComparablePath(const std::wstring& path) {
    std::wstring full = path;
    if (const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr)) {
        std::vector<wchar_t> buffer(size + 1, L'\0');
        const DWORD length = GetFullPathNameW(path.c_str(), size + 1, buffer.data(), nullptr);
        if (length > 0 && length <= size)
            full.assign(buffer.data(), length);
    }
    if (const DWORD size = GetLongPathNameW(full.c_str(), nullptr, 0)) {
        std::vector<wchar_t> buffer(size + 1, L'\0');
        const DWORD length = GetLongPathNameW(full.c_str(), buffer.data(), size + 1);
        if (length > 0 && length <= size)
            full.assign(buffer.data(), length);
    }
    if (!full.empty())
        CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    return full;
}

std::vector<std::wstring> ProtectedFolders() {
    std::vector<std::wstring> folders;
    for (int csidl : {CSIDL_WINDOWS,
                      CSIDL_SYSTEM,
                      CSIDL_SYSTEMX86,
                      CSIDL_PROGRAM_FILES,
                      CSIDL_PROGRAM_FILESX86,
                      CSIDL_PROGRAM_FILES_COMMON,
                      CSIDL_PROFILE,
                      CSIDL_APPDATA,
                      CSIDL_LOCAL_APPDATA,
                      CSIDL_COMMON_APPDATA,
                      CSIDL_DESKTOPDIRECTORY,
                      CSIDL_COMMON_DESKTOPDIRECTORY,
                      CSIDL_PERSONAL,
                      CSIDL_COMMON_DOCUMENTS,
                      CSIDL_MYMUSIC,
                      CSIDL_MYPICTURES,
                      CSIDL_MYVIDEO,
                      CSIDL_FAVORITES,
                      CSIDL_STARTMENU,
                      CSIDL_PROGRAMS,
                      CSIDL_COMMON_STARTMENU,
                      CSIDL_COMMON_PROGRAMS,
                      CSIDL_STARTUP,
                      CSIDL_TEMPLATES,
                      CSIDL_FONTS}) {
        const std::wstring folder = FolderPath(csidl);
        if (!folder.empty())
            folders.push_back(ComparablePath(folder));
    }
    return folders;
}

FolderVerdict CheckInstallFolder(const std::wstring& folder) {
    const FolderVerdict form = CheckRemovalFolder(U16(folder), {});
    if (form != FolderVerdict::Allowed)
        return form;
    // Compared in its full, long, upper-case form, as the protected ones.
    std::vector<std::u16string> protectedFolders;
    for (const std::wstring& path : ProtectedFolders())
        protectedFolders.push_back(U16(path));
    return CheckRemovalFolder(U16(ComparablePath(folder)), protectedFolders);
}

}  // namespace vestrel::installer
