// A file system that passes everything on to the platform's: tests derive
// from it and override only the calls they make fail or change. It installs
// itself for its lifetime.
#pragma once

#include <memory>
#include <string_view>

#include "drive/file_system.h"

namespace vestrel::testing {

class ForwardingFileSystem : public FileSystem {
  public:
    ForwardingFileSystem() { InstallFileSystem(this); }
    ~ForwardingFileSystem() override { InstallFileSystem(nullptr); }
    ForwardingFileSystem(const ForwardingFileSystem&) = delete;
    ForwardingFileSystem& operator=(const ForwardingFileSystem&) = delete;

    bool Exists(std::u16string_view p) override { return next_.Exists(p); }
    bool IsFolder(std::u16string_view p) override { return next_.IsFolder(p); }
    bool CreateFolder(std::u16string_view p, uint32_t& e) override {
        return next_.CreateFolder(p, e);
    }
    bool RemoveFolder(std::u16string_view p) override { return next_.RemoveFolder(p); }
    bool RemoveFile(std::u16string_view p, uint32_t& e) override { return next_.RemoveFile(p, e); }
    std::unique_ptr<File> CreateNew(std::u16string_view p, uint32_t& e) override {
        return next_.CreateNew(p, e);
    }
    std::unique_ptr<File> OpenAppend(std::u16string_view p, uint32_t& e) override {
        return next_.OpenAppend(p, e);
    }
    std::unique_ptr<File> OpenRead(std::u16string_view p, uint32_t& e) override {
        return next_.OpenRead(p, e);
    }
    bool SetReadOnly(std::u16string_view p, bool r) override { return next_.SetReadOnly(p, r); }

  protected:
    FileSystem& next_ = PlatformFileSystem();
};

}  // namespace vestrel::testing
