#include "installer/list_files.h"

#include <windows.h>

namespace vestrel::installer {

namespace {

// Deletes the entry with the name, opened as itself: a link goes, what it
// leads to stays. A folder (not a link) is left alone.
bool DeleteName(const std::wstring& path) {
    HANDLE entry =
        CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (entry == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    bool ok = GetFileInformationByHandle(entry, &info) &&
              (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
               (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT));
    // A read-only file of its own is freed; another name of a file elsewhere
    // keeps that file's attributes.
    if (ok && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) && info.nNumberOfLinks == 1) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    ok = ok &&
         SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(entry);
    return ok;
}

// A new file at the path, opened for writing; a name in its way is freed.
HANDLE CreateNewFile(const std::wstring& path) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        const DWORD error = GetLastError();
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
             error != ERROR_ACCESS_DENIED) ||
            !DeleteName(path))
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

std::optional<InstallList> ReadInstallListFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    // One byte more than a list may hold, so that a longer file is refused.
    std::string bytes(kMaxInstallListBytes + 1, '\0');
    DWORD got = 0;
    const bool read = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    if (!read)
        return std::nullopt;
    bytes.resize(got);
    return ParseInstallList(bytes);
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateNewFile(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size() && FlushFileBuffers(file);
    return CloseHandle(file) && ok;
}

}  // namespace vestrel::installer
