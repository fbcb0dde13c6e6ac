// Files on Windows, with the system's error codes.
#include <windows.h>

#include "drive/file_system.h"
#include "platform/win32/win32_file.h"

namespace vestrel {

namespace {

std::wstring Wide(std::u16string_view path) {
    return std::wstring(reinterpret_cast<const wchar_t*>(path.data()), path.size());
}

class Win32File : public File {
  public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}
    ~Win32File() override { CloseHandle(handle_); }

    bool Write(const uint8_t* data, size_t size, uint32_t& error) override {
        while (size > 0) {
            DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(handle_, data, chunk, &written, nullptr)) {
                error = GetLastError();
                return false;
            }
            if (written == 0) {
                error = ERROR_DISK_FULL;
                return false;
            }
            data += written;
            size -= written;
        }
        return true;
    }

    size_t Read(uint8_t* data, size_t size, uint32_t& error) override {
        size_t done = 0;
        while (done < size) {
            DWORD chunk = size - done > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size - done);
            DWORD got = 0;
            if (!ReadFile(handle_, data + done, chunk, &got, nullptr)) {
                error = GetLastError();
                break;
            }
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }

    bool Seek(uint64_t offset) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) != FALSE;
    }

    bool Size(uint64_t& size) override {
        LARGE_INTEGER s;
        if (!GetFileSizeEx(handle_, &s))
            return false;
        size = static_cast<uint64_t>(s.QuadPart);
        return true;
    }

    bool Flush(uint32_t& error) override {
        if (FlushFileBuffers(handle_))
            return true;
        error = GetLastError();
        return false;
    }

  private:
    HANDLE handle_;
};

// CreateFileW with share-read; null with the system's error when it fails.
std::unique_ptr<File> OpenFile(std::u16string_view path, DWORD access, DWORD disposition,
                               DWORD attributes, uint32_t& error, DWORD share = FILE_SHARE_READ) {
    HANDLE h =
        CreateFileW(Wide(path).c_str(), access, share, nullptr, disposition, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return nullptr;
    }
    return std::make_unique<Win32File>(h);
}

class Win32FileSystem : public FileSystem {
  public:
    bool Exists(std::u16string_view path) override {
        return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool IsFolder(std::u16string_view path) override {
        DWORD a = GetFileAttributesW(Wide(path).c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool CreateFolder(std::u16string_view path, uint32_t& error) override {
        if (CreateDirectoryW(Wide(path).c_str(), nullptr))
            return true;
        error = GetLastError();
        return false;
    }

    bool RemoveFolder(std::u16string_view path) override {
        return RemoveDirectoryW(Wide(path).c_str()) != FALSE;
    }

    bool RemoveFile(std::u16string_view path, uint32_t& error) override {
        if (DeleteFileW(Wide(path).c_str()))
            return true;
        error = GetLastError();
        return false;
    }

    std::unique_ptr<File> CreateNew(std::u16string_view path, uint32_t& error) override {
        // Windows refuses to replace a read-only file; say so before asking,
        // since a system that ignores the attribute would empty it.
        DWORD a = GetFileAttributesW(Wide(path).c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
            error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        return OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, error);
    }

    // Append-only access makes every write land at the end of the file;
    // other appenders may share it.
    std::unique_ptr<File> OpenAppend(std::u16string_view path, uint32_t& error) override {
        return OpenFile(path, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS, FILE_ATTRIBUTE_ARCHIVE,
                        error, FILE_SHARE_READ | FILE_SHARE_WRITE);
    }

    std::unique_ptr<File> OpenRead(std::u16string_view path, uint32_t& error) override {
        return OpenFile(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, error);
    }

    bool SetReadOnly(std::u16string_view path, bool readOnly) override {
        std::wstring p = Wide(path);
        DWORD a = GetFileAttributesW(p.c_str());
        if (a == INVALID_FILE_ATTRIBUTES)
            return false;
        a = readOnly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~DWORD{FILE_ATTRIBUTE_READONLY});
        return SetFileAttributesW(p.c_str(), a) != FALSE;
    }
};

}  // namespace

std::unique_ptr<File> FileFromHandle(HANDLE handle) {
    return std::make_unique<Win32File>(handle);
}

// Never destroyed: threads that outlive the program's end (an update
// download, a drive's reader) may still use it while statics are torn down.
FileSystem& PlatformFileSystem() {
    static Win32FileSystem* fileSystem = new Win32FileSystem;
    return *fileSystem;
}

}  // namespace vestrel
