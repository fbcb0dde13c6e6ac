// What a drive can read and write, derived from its capabilities mode page
// and its feature list, and which profile names the drive as a whole.
#pragma once

#include <cstdint>
#include <optional>

#include "drive/bytes.h"
#include "drive/disc_types.h"

namespace vestrel {

// The drive's top profile from a GET CONFIGURATION reply. HD DVD profiles
// never displace a BD profile that is already the maximum.
std::optional<uint16_t> HighestProfile(ByteReader configurationReply);

struct DriveCapabilities {
    DiscTypeMask reads = 0;
    DiscTypeMask writes = 0;
};

// The masks from the two replies; a reply that is absent (its command
// failed) contributes nothing.
DriveCapabilities CapabilitiesFromReplies(const ByteReader* capabilitiesPage,
                                          const ByteReader* configuration);

// Whether the recorder writes the R-W sub-channels the host gives it, as
// CD-Text in the lead-in needs: feature 002Eh (CD Mastering) current with
// its R-W bit (byte 4 bit 0) set. Current only while a CD blank is in.
bool RecordsLeadInRw(ByteReader configurationReply);

// Asks the drive (MODE SENSE page 2Ah, GET CONFIGURATION). Never fails: a
// failed command only removes its own contribution. Callers that may run
// while copies are written hold the drive lock around it.
DriveCapabilities ReadDriveCapabilities(char16_t letter);

// CompatibleBlankTypes(source, blocks) within what the drive writes;
// queries the drive under the drive lock. Without a size, the source is
// taken by its type alone.
DiscTypeMask WritableBlankTypes(char16_t letter, DiscType source, uint64_t blocks);
DiscTypeMask WritableBlankTypes(char16_t letter, DiscType source);

}  // namespace vestrel
