// SCSI commands on Linux through the SG_IO ioctl of the optical device
// nodes. Drive letters stand for nodes: 'D' is /dev/sr0, 'E' /dev/sr1 and so
// on up to 'Z' (/dev/sr22), so the rest of the system can name Linux drives
// the way it names Windows ones.
#pragma once

#include <functional>
#include <string>

#include "drive/transport.h"

namespace vestrel {

// The device node of a letter, or "" when the letter names none.
std::string LinuxDevicePath(char16_t letter);
// The letter of /dev/srN, or 0 when N is beyond the letters.
char16_t LinuxDriveLetter(unsigned srIndex);

class SgTransport : public Transport {
  public:
    using PathResolver = std::function<std::string(char16_t)>;

    SgTransport() : resolve_(LinuxDevicePath) {}
    // Tests point letters at other nodes.
    explicit SgTransport(PathResolver resolve) : resolve_(std::move(resolve)) {}

    ScsiResult Execute(const ScsiCommand& command) override;
    bool AllowMediumRemoval(char16_t letter) override;
    void EjectMedium(char16_t letter) override;

  private:
    PathResolver resolve_;
};

}  // namespace vestrel
