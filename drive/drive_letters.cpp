#include "drive/drive_letters.h"

#include <atomic>

namespace vestrel {

namespace {
std::atomic<DriveLetterServices*> g_installed{nullptr};
}  // namespace

void InstallDriveLetters(DriveLetterServices* services) { g_installed.store(services); }

DriveLetterServices& ActiveDriveLetters() {
    DriveLetterServices* s = g_installed.load();
    return s ? *s : PlatformDriveLetters();
}

}  // namespace vestrel
