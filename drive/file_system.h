// Files and folders as the image store, the reader and the writers use
// them: create, read, write, delete, with the operating system's error
// code when something fails (it is shown to the user). Each platform
// provides one; tests install their own to make files fail on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vestrel {

class File {
  public:
    virtual ~File() = default;
    // Writes all bytes at the current position; false (and the error) when
    // not all of them were written.
    virtual bool Write(const uint8_t* data, size_t size, uint32_t& error) = 0;
    // Reads up to size bytes; returns how many were read (0 at the end or
    // on failure, which sets error).
    virtual size_t Read(uint8_t* data, size_t size, uint32_t& error) = 0;
    virtual bool Seek(uint64_t offset) = 0;
    virtual bool Size(uint64_t& size) = 0;
    // Makes everything written so far durable: on the disk, not only in
    // the system's cache. Files kept in memory have nothing to do.
    virtual bool Flush(uint32_t& /*error*/) { return true; }
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    virtual bool Exists(std::u16string_view path) = 0;
    virtual bool IsFolder(std::u16string_view path) = 0;
    virtual bool CreateFolder(std::u16string_view path, uint32_t& error) = 0;
    // Removes an empty folder; a folder that is not empty stays.
    virtual bool RemoveFolder(std::u16string_view path) = 0;
    // A read-only file is not deleted, on every platform.
    virtual bool RemoveFile(std::u16string_view path, uint32_t& error) = 0;
    // Creates the file anew (emptying an existing one) for writing; others
    // may read it meanwhile.
    virtual std::unique_ptr<File> CreateNew(std::u16string_view path, uint32_t& error) = 0;
    // Opens a file for adding to its end, creating it when missing; each
    // Write lands whole at the end, even after a crash of the writer.
    virtual std::unique_ptr<File> OpenAppend(std::u16string_view path, uint32_t& error) = 0;
    // Opens an existing file for reading; others may read it too.
    virtual std::unique_ptr<File> OpenRead(std::u16string_view path, uint32_t& error) = 0;
    // Marks a file read-only or writable again.
    virtual bool SetReadOnly(std::u16string_view path, bool readOnly) = 0;
};

FileSystem& PlatformFileSystem();
// Install before threads start; nullptr restores the platform's.
void InstallFileSystem(FileSystem* fileSystem);
FileSystem& ActiveFileSystem();

}  // namespace vestrel
