// How each kind of disc is recorded, as recorders apply it: which commands
// a blank of the kind takes, whether it must be formatted or closed, and
// how many blocks a blank holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vestrel::sim {

enum class MediaFamily { Cd, Dvd, HdDvd, Bd, Other };

enum class Recording {
    Pressed,       // read-only
    Sequential,    // recorded once from the start (CD-R, DVD-R, DVD+R, BD-R SRM...)
    Erasable,      // sequential, emptied again with BLANK (CD-RW, DVD-RW, HD DVD-RW)
    Overwritable,  // formatted, then written anywhere (DVD+RW, DVD-RAM, BD-RE...)
};

struct MediaRules {
    uint16_t profile = 0;
    MediaFamily family = MediaFamily::Other;
    Recording recording = Recording::Pressed;
    uint32_t blankCapacity = 0;    // user blocks of a blank
    uint32_t reservationUnit = 1;  // RESERVE TRACK sizes round up to this (ECC block, cluster)
    bool needsClosing = false;     // unreadable by other drives until CLOSE TRACK/SESSION
    bool erasableBit = false;      // READ DISC INFORMATION byte 2 bit 4

    bool writable() const { return recording != Recording::Pressed; }
    bool takesCueSheet() const { return family == MediaFamily::Cd && writable(); }
    bool takesReserveTrack() const {
        return family != MediaFamily::Cd &&
               (recording == Recording::Sequential || recording == Recording::Erasable);
    }
    bool takesBlank() const { return recording == Recording::Erasable; }
    bool takesFormat() const { return recording == Recording::Overwritable; }
    // Sequential DVD-R family media honour the write parameters page.
    bool usesWriteParameters() const;
};

// Rules for a profile; profiles no recorder knows are read-only "Other".
MediaRules RulesForProfile(uint16_t profile);

// The disc type names the system shows ("DVD+R", "BD-RE", ...) to the
// profile a blank of that type reports; also accepts a hexadecimal
// profile number ("0x0020" or "0020").
std::optional<uint16_t> ProfileFromName(std::string_view name);
std::string ProfileName(uint16_t profile);

}  // namespace vestrel::sim
