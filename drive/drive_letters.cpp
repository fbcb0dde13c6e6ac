#include "drive/drive_letters.h"
#include "drive/file_system.h"

#include <atomic>

namespace vestrel {

namespace {
std::atomic<DriveLetterServices*> g_installed{nullptr};
std::atomic<FileSystem*> g_fileSystem{nullptr};
}  // namespace

void InstallDriveLetters(DriveLetterServices* services) {
    g_installed.store(services);
}

DriveLetterServices& ActiveDriveLetters() {
    DriveLetterServices* s = g_installed.load();
    return s ? *s : PlatformDriveLetters();
}

void InstallFileSystem(FileSystem* fileSystem) {
    g_fileSystem.store(fileSystem);
}

FileSystem& ActiveFileSystem() {
    FileSystem* f = g_fileSystem.load();
    return f ? *f : PlatformFileSystem();
}

}  // namespace vestrel
