// SCSI commands on Linux through the SG_IO ioctl of the optical device
// nodes. Drive letters stand for nodes: 'D' is /dev/sr0, 'E' /dev/sr1 and so
// on up to 'Z' (/dev/sr22), so the rest of the system can name Linux drives
// the way it names Windows ones.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "drive/transport.h"

namespace vestrel {

// The device node of a letter, or "" when the letter names none.
std::string LinuxDevicePath(char16_t letter);
// The letter of /dev/srN, or 0 when N is beyond the letters.
char16_t LinuxDriveLetter(unsigned srIndex);

// The system calls the back end makes on device nodes; tests put a fake
// device layer in their place. Each may be called from several threads.
class DeviceNodeCalls {
  public:
    virtual ~DeviceNodeCalls() = default;
    // A descriptor, or -1 with errno set.
    virtual int Open(const std::string& path, int flags) = 0;
    // As ioctl(2): -1 with errno set on failure.
    virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual void Close(int fd) = 0;
};

// open(2), ioctl(2) and close(2).
DeviceNodeCalls& SystemDeviceNodeCalls();

// Keeps one open descriptor per drive: each open of a node makes the kernel
// ask the drive about its medium, which costs more than many a command. The
// descriptor is opened at the drive's first use and opened again when a
// request finds its device gone (the node removed, or replaced by another
// drive); the request then goes once more to the new one. Lock and eject use
// the same descriptor, as the kernel refuses them while a node has other
// openers.
class SgTransport : public Transport {
  public:
    using PathResolver = std::function<std::string(char16_t)>;

    SgTransport() : SgTransport(LinuxDevicePath) {}
    // Tests point letters at other nodes, or at a fake device layer.
    explicit SgTransport(PathResolver resolve, DeviceNodeCalls& calls = SystemDeviceNodeCalls())
        : resolve_(std::move(resolve)), calls_(calls) {}
    SgTransport(const SgTransport&) = delete;
    SgTransport& operator=(const SgTransport&) = delete;

    ScsiResult Execute(const ScsiCommand& command) override;
    bool AllowMediumRemoval(char16_t letter) override;
    void EjectMedium(char16_t letter) override;

  private:
    // One open node, closed when the last thread using it lets go.
    class Descriptor;
    using Shared = std::shared_ptr<const Descriptor>;

    struct Slot {
        std::mutex mutex;  // guards descriptor, not the requests made on it
        Shared descriptor;
    };

    // How a request on a drive ended: opened false when no descriptor could
    // be had, else the request's return value and errno.
    struct Outcome {
        bool opened = false;
        int rc = -1;
        int error = 0;
    };

    Shared Acquire(char16_t letter);
    void Forget(char16_t letter, const Shared& stale);
    Outcome OnDrive(char16_t letter, const std::function<int(int fd)>& request);

    PathResolver resolve_;
    DeviceNodeCalls& calls_;
    std::array<Slot, 26> slots_;  // one per letter 'A'..'Z'
};

}  // namespace vestrel
