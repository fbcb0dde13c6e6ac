// Files on Linux. A file without its owner's write permission counts as
// read-only and is not deleted, as Windows refuses to delete a read-only
// file; this holds for root too, who could otherwise delete anything.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "drive/file_system.h"
#include "drive/text.h"

namespace vestrel {

namespace {

class PosixFile : public File {
  public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override { ::close(fd_); }

    bool Write(const uint8_t* data, size_t size, uint32_t& error) override {
        while (size > 0) {
            ssize_t n = ::write(fd_, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n < 0 ? errno : ENOSPC;
                return false;
            }
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    size_t Read(uint8_t* data, size_t size, uint32_t& error) override {
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::read(fd_, data + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = errno;
                break;
            }
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        return done;
    }

    bool Seek(uint64_t offset) override {
        return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
    }

    bool Size(uint64_t& size) override {
        struct stat st;
        if (::fstat(fd_, &st) != 0)
            return false;
        size = static_cast<uint64_t>(st.st_size);
        return true;
    }

    bool Flush(uint32_t& error) override {
        if (::fsync(fd_) == 0)
            return true;
        error = errno;
        return false;
    }

  private:
    int fd_;
};

std::string Native(std::u16string_view path) {
    return ToUtf8(path);
}

class PosixFileSystem : public FileSystem {
  public:
    bool Exists(std::u16string_view path) override {
        struct stat st;
        return ::stat(Native(path).c_str(), &st) == 0;
    }

    bool IsFolder(std::u16string_view path) override {
        struct stat st;
        return ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    bool CreateFolder(std::u16string_view path, uint32_t& error) override {
        if (::mkdir(Native(path).c_str(), 0777) == 0)
            return true;
        error = errno;
        return false;
    }

    bool RemoveFolder(std::u16string_view path) override {
        return ::rmdir(Native(path).c_str()) == 0;
    }

    bool RemoveFile(std::u16string_view path, uint32_t& error) override {
        std::string native = Native(path);
        struct stat st;
        if (::lstat(native.c_str(), &st) != 0) {
            error = errno;
            return false;
        }
        if (S_ISDIR(st.st_mode)) {
            error = EISDIR;
            return false;
        }
        if (!(st.st_mode & S_IWUSR)) {
            error = EACCES;
            return false;
        }
        if (::unlink(native.c_str()) == 0)
            return true;
        error = errno;
        return false;
    }

    std::unique_ptr<File> CreateNew(std::u16string_view path, uint32_t& error) override {
        std::string native = Native(path);
        struct stat st;
        // A read-only file is not emptied either.
        if (::stat(native.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) {
            error = EACCES;
            return nullptr;
        }
        int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        return std::make_unique<PosixFile>(fd);
    }

    std::unique_ptr<File> OpenAppend(std::u16string_view path, uint32_t& error) override {
        int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        return std::make_unique<PosixFile>(fd);
    }

    std::unique_ptr<File> OpenRead(std::u16string_view path, uint32_t& error) override {
        int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            error = EISDIR;
            return nullptr;
        }
        return std::make_unique<PosixFile>(fd);
    }

    bool SetReadOnly(std::u16string_view path, bool readOnly) override {
        std::string native = Native(path);
        struct stat st;
        if (::stat(native.c_str(), &st) != 0)
            return false;
        mode_t mode = st.st_mode & 07777;
        mode = readOnly ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
        return ::chmod(native.c_str(), mode) == 0;
    }
};

}  // namespace

// Never destroyed: threads that outlive the program's end (an update
// download, a drive's reader) may still use it while statics are torn down.
FileSystem& PlatformFileSystem() {
    static PosixFileSystem* fileSystem = new PosixFileSystem;
    return *fileSystem;
}

}  // namespace vestrel
