// SCSI commands on Windows: IOCTL_SCSI_PASS_THROUGH_DIRECT on the drive
// path "\\.\X:", one handle per command.
// clang-format off
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
// clang-format on

#include <cstddef>

#include "drive/transport.h"
#include "platform/win32/pass_through_block.h"

namespace vestrel {

namespace {

constexpr const PassThroughLayout& kLayout =
    sizeof(void*) == 8 ? kPassThroughLayout64 : kPassThroughLayout32;

// The byte layout must be exactly the one the system headers describe.
struct PassThroughWithSense {
    SCSI_PASS_THROUGH_DIRECT header;
    ULONG filler;
    UCHAR sense[kPassThroughSenseArea];
};
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == kLayout.headerLength);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == kLayout.dataBufferOffset);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == kLayout.senseOffsetField);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == kLayout.cdbOffset);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == 12);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == 16);
static_assert(offsetof(PassThroughWithSense, sense) == kLayout.senseOffset);
static_assert(sizeof(PassThroughWithSense) == kLayout.blockSize);
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == kIoctlScsiPassThroughDirect);

void DrivePath(char16_t letter, wchar_t (&path)[7]) {
    path[0] = L'\\';
    path[1] = L'\\';
    path[2] = L'.';
    path[3] = L'\\';
    path[4] = static_cast<wchar_t>(letter);
    path[5] = L':';
    path[6] = 0;
}

HANDLE OpenDrive(char16_t letter, DWORD access) {
    wchar_t path[7];
    DrivePath(letter, path);
    return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

class Win32Transport : public Transport {
  public:
    ScsiResult Execute(const ScsiCommand& command) override {
        ScsiResult result;
        HANDLE drive = OpenDrive(command.letter, GENERIC_READ | GENERIC_WRITE);
        if (drive == INVALID_HANDLE_VALUE) {
            result.status = StatusOpenFailed;
            return result;
        }
        alignas(8) uint8_t block[kMaxPassThroughBlock];
        BuildPassThroughBlock(kLayout, block, command.cdb, command.cdbLength,
                              static_cast<uint8_t>(command.direction), command.transferLength,
                              command.timeoutSeconds, reinterpret_cast<uintptr_t>(command.data));
        DWORD returned = 0;
        const DWORD size = static_cast<DWORD>(kLayout.blockSize);
        BOOL ok = DeviceIoControl(drive, IOCTL_SCSI_PASS_THROUGH_DIRECT, block, size, block, size,
                                  &returned, nullptr);
        result.osError = GetLastError();
        CloseHandle(drive);
        PassThroughReply reply = ReadPassThroughBlock(kLayout, block);
        result.status = ok ? reply.scsiStatus : StatusIoControlFailed;
        result.senseKey = reply.senseKey;
        result.asc = reply.asc;
        result.ascq = reply.ascq;
        return result;
    }

    bool AllowMediumRemoval(char16_t letter) override {
        HANDLE drive = OpenDrive(letter, GENERIC_READ);
        if (drive == INVALID_HANDLE_VALUE)
            return false;
        PREVENT_MEDIA_REMOVAL allow = {};
        allow.PreventMediaRemoval = FALSE;
        DWORD returned = 0;
        BOOL ok = DeviceIoControl(drive, IOCTL_STORAGE_MEDIA_REMOVAL, &allow, sizeof allow, nullptr,
                                  0, &returned, nullptr);
        CloseHandle(drive);
        return ok != FALSE;
    }

    void EjectMedium(char16_t letter) override {
        HANDLE drive = OpenDrive(letter, GENERIC_READ);
        if (drive == INVALID_HANDLE_VALUE)
            return;
        DWORD returned = 0;
        DeviceIoControl(drive, IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &returned,
                        nullptr);
        CloseHandle(drive);
    }
};

}  // namespace

Transport& PlatformTransport() {
    static Win32Transport transport;
    return transport;
}

}  // namespace vestrel
