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

class SystemCalls : public DeviceNodeCalls {
  public:
    int Open(const std::string& path, int flags) override { return ::open(path.c_str(), flags); }
    int Ioctl(int fd, unsigned long request, void* argument) override {
        return ::ioctl(fd, request, argument);
    }
    void Close(int fd) override { ::close(fd); }
};

// What a request on a descriptor whose device has gone fails with; an open
// of a node that is gone fails the same ways.
bool DeviceGone(int error) {
    return error == ENODEV || error == ENXIO || error == ENOENT;
}

}  // namespace

class SgTransport::Descriptor {
  public:
    Descriptor(DeviceNodeCalls& calls, int fd) : calls_(calls), fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { calls_.Close(fd_); }

    int fd() const { return fd_; }

  private:
    DeviceNodeCalls& calls_;
    int fd_;
};

DeviceNodeCalls& SystemDeviceNodeCalls() {
    static SystemCalls& calls = *new SystemCalls;
    return calls;
}

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

SgTransport::Shared SgTransport::Acquire(char16_t letter) {
    if (letter < u'A' || letter > u'Z') {
        errno = ENOENT;
        return nullptr;
    }
    Slot& slot = slots_[letter - u'A'];
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (slot.descriptor)
        return slot.descriptor;
    const std::string path = resolve_(letter);
    if (path.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    // Without O_NONBLOCK the kernel would also refuse a drive with no disc.
    const int fd = calls_.Open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    slot.descriptor = std::make_shared<const Descriptor>(calls_, fd);
    return slot.descriptor;
}

void SgTransport::Forget(char16_t letter, const Shared& stale) {
    Slot& slot = slots_[letter - u'A'];
    std::lock_guard<std::mutex> lock(slot.mutex);
    // Another thread may have replaced it already.
    if (slot.descriptor == stale)
        slot.descriptor.reset();
}

SgTransport::Outcome SgTransport::OnDrive(char16_t letter,
                                          const std::function<int(int fd)>& request) {
    for (int attempt = 0;; ++attempt) {
        const Shared descriptor = Acquire(letter);
        if (!descriptor)
            return Outcome{false, -1, errno};
        const int rc = request(descriptor->fd());
        const int error = rc < 0 ? errno : 0;
        if (rc >= 0 || !DeviceGone(error) || attempt > 0)
            return Outcome{true, rc, error};
        // The device behind the descriptor is gone: nothing reached a drive,
        // so the request goes to whatever the node names now.
        Forget(letter, descriptor);
    }
}

ScsiResult SgTransport::Execute(const ScsiCommand& command) {
    ScsiResult result;
    if (!command.cdb || command.cdbLength == 0 || command.cdbLength > 16) {
        result.status = StatusIoControlFailed;
        result.osError = EINVAL;
        return result;
    }

    unsigned char cdb[16] = {};
    std::memcpy(cdb, command.cdb, command.cdbLength);
    unsigned char sense[kSenseArea];
    sg_io_hdr_t io;

    const Outcome outcome = OnDrive(command.letter, [&](int fd) {
        // Fresh for every attempt: the kernel writes into both.
        std::memset(sense, 0, sizeof sense);
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
        return calls_.Ioctl(fd, SG_IO, &io);
    });
    if (!outcome.opened) {
        result.status = StatusOpenFailed;
        return result;
    }

    result.osError = static_cast<uint32_t>(outcome.error);
    if (outcome.rc < 0) {
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
    const Outcome outcome =
        OnDrive(letter, [&](int fd) { return calls_.Ioctl(fd, CDROM_LOCKDOOR, nullptr); });
    return outcome.opened && outcome.rc == 0;
}

void SgTransport::EjectMedium(char16_t letter) {
    OnDrive(letter, [&](int fd) { return calls_.Ioctl(fd, CDROMEJECT, nullptr); });
}

// Never destroyed: workers that outlive main may still send commands; the
// process's end closes the descriptors.
Transport& PlatformTransport() {
    static SgTransport& transport = *new SgTransport;
    return transport;
}

}  // namespace vestrel
