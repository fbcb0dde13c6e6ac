#include "platform/linux/sg_transport.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vestrel {

namespace {

constexpr unsigned kSenseRequested = 24;
constexpr unsigned kSenseArea = 32;
constexpr char16_t kFirstLetter = u'D';

// Opens a device node; -1 and errno on failure.
int OpenNode(const std::string& path, int flags) {
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    return ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace

std::string LinuxDevicePath(char16_t letter) {
    if (letter < kFirstLetter || letter > u'Z')
        return {};
    return "/dev/sr" + std::to_string(letter - kFirstLetter);
}

char16_t LinuxDriveLetter(unsigned srIndex) {
    if (srIndex > static_cast<unsigned>(u'Z' - kFirstLetter))
        return 0;
    return static_cast<char16_t>(kFirstLetter + srIndex);
}

ScsiResult SgTransport::Execute(const ScsiCommand& command) {
    ScsiResult result;
    int fd = OpenNode(resolve_(command.letter), O_RDWR);
    if (fd < 0) {
        result.status = StatusOpenFailed;
        return result;
    }
    if (!command.cdb || command.cdbLength == 0 || command.cdbLength > 16) {
        ::close(fd);
        result.status = StatusIoControlFailed;
        result.osError = EINVAL;
        return result;
    }

    unsigned char cdb[16] = {};
    std::memcpy(cdb, command.cdb, command.cdbLength);
    unsigned char sense[kSenseArea] = {};

    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    io.interface_id = 'S';
    io.cmdp = cdb;
    io.cmd_len = command.cdbLength;
    io.sbp = sense;
    io.mx_sb_len = kSenseRequested;
    io.dxferp = command.data;
    io.dxfer_len = command.data ? command.transferLength : 0;
    if (io.dxfer_len == 0) {
        io.dxfer_direction = SG_DXFER_NONE;
    } else {
        io.dxfer_direction =
            command.direction == DataDirection::ToDevice ? SG_DXFER_TO_DEV : SG_DXFER_FROM_DEV;
    }
    const uint64_t ms = uint64_t{command.timeoutSeconds} * 1000;
    io.timeout = ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned>(ms);

    int rc = ::ioctl(fd, SG_IO, &io);
    int err = rc < 0 ? errno : 0;
    ::close(fd);

    result.osError = static_cast<uint32_t>(err);
    if (rc < 0) {
        result.status = StatusIoControlFailed;
    } else if (io.status == 0 && (io.host_status != 0 || (io.driver_status & ~0x08) != 0)) {
        // The adapter or driver failed the command (a timeout, a lost
        // device) without the device returning a status: that is a failed
        // request, not a good one.
        result.status = StatusIoControlFailed;
        result.osError = EIO;
    } else {
        result.status = io.status;
    }
    result.senseKey = sense[2];
    result.asc = sense[12];
    result.ascq = sense[13];
    return result;
}

bool SgTransport::AllowMediumRemoval(char16_t letter) {
    int fd = OpenNode(resolve_(letter), O_RDONLY);
    if (fd < 0)
        return false;
    int rc = ::ioctl(fd, CDROM_LOCKDOOR, 0);
    ::close(fd);
    return rc == 0;
}

void SgTransport::EjectMedium(char16_t letter) {
    int fd = OpenNode(resolve_(letter), O_RDONLY);
    if (fd < 0)
        return;
    ::ioctl(fd, CDROMEJECT, 0);
    ::close(fd);
}

Transport& PlatformTransport() {
    static SgTransport transport;
    return transport;
}

}  // namespace vestrel
