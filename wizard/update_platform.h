// The update check's passes on Windows: the application-data folder, the
// working files, the web download and the program's own file version.
#pragma once

#include <windows.h>

#include "update/update_check.h"

namespace vestrel::wizard {

class Win32UpdatePlatform : public update::CheckPlatform {
  public:
    explicit Win32UpdatePlatform(HWND frame) : frame_(frame) {}

    bool FrameAlive() override;
    std::u16string AppDataFolder() override;
    void CreateFolder(std::u16string_view path) override;
    void RemoveFile(std::u16string_view path) override;
    bool Download(std::u16string_view address, std::u16string_view path) override;
    bool OpensAlone(std::u16string_view path) override;
    std::unique_ptr<File> OpenPage(std::u16string_view path) override;
    void Sleep(unsigned milliseconds) override;
    uint16_t OwnBuild() override;

  private:
    HWND frame_;
};

// The four fields of a file's fixed file version, all 0 when it has none.
struct FileVersionFields {
    WORD major = 0, minor = 0, third = 0, fourth = 0;
};
FileVersionFields ReadFileVersionFields(const wchar_t* path);

}  // namespace vestrel::wizard
