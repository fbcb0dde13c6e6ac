// The record behind one drive row: what the probe found, what the drive
// reads and writes, the disc it holds now and how many copies of it the user
// wants.
#pragma once

#include <cstdint>
#include <string>

#include "drive/bytes.h"
#include "drive/disc_types.h"
#include "drive/probe.h"

namespace vestrel {

constexpr uint8_t kMinCopies = 1;
constexpr uint8_t kMaxCopies = 99;

struct DriveRecord {
    char16_t letter = 0;
    DriveProbeResult probe;
    uint16_t topProfile = 0;  // names the drive's class in its title
    bool blank = false;       // the disc in the drive is empty
    std::u16string vendor;
    DiscTypeMask reads = 0;
    DiscTypeMask writes = 0;
    DiscType discType = disc::None;  // None: no disc
    // The size of a disc to copy in 2048-byte blocks, from its table of
    // contents' lead-out; 0 when there is none or it could not be read.
    uint64_t discBlocks = 0;
    // 0 when the drive holds no disc or a blank one, 1..99 otherwise.
    uint8_t copies = 0;

    bool usable() const { return probe.usable(); }
    // Holds a disc to copy; such a row has a copies control.
    bool holdsSource() const { return copies >= kMinCopies; }
};

// Probes the drive and, when it is usable, reads its class, vendor, masks
// and current disc (with the size of a disc to copy). Runs on the user-interface thread without the
// drive lock.
DriveRecord CreateDriveRecord(char16_t letter);

// After a disc change: the current disc, its blank state, its size and the
// copies count. A count the user raised to 2 or more survives as long as a disc
// that is not blank is found; probe, class, vendor and masks stay. The
// record of an unusable drive is left as it is.
void RefreshDriveRecord(DriveRecord& record);

// "%s Drive (%C:) [%s]": the class named by the top profile, the letter,
// the vendor.
std::u16string DriveDisplayName(const DriveRecord& record);

// The vendor identification of an INQUIRY reply: bytes 8..15, ended by a
// NUL if there is one, control bytes as spaces, trimmed of spaces. Bytes
// above 7Fh are taken as Latin-1, which is the western ANSI code page apart
// from 80h..9Fh.
std::u16string VendorFromInquiry(ByteReader inquiry);

// The lead-out address of a READ TOC format 0 reply (LBA form): the size
// of the disc in blocks. 0 when the reply names no lead-out.
uint64_t LeadOutFromToc(ByteReader toc);

// Asks the drive for its disc's table of contents; 0 when it cannot be read.
uint64_t ReadDiscBlocks(char16_t letter);

}  // namespace vestrel
