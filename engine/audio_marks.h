// The marks of an audio CD as the reader finds them: the Q sub-channel
// read along with the audio (READ CD, formatted Q) gives the pre-gaps, the
// index marks, each track's flags and the codes; READ SUB-CHANNEL fills in
// codes the Q frames did not give; READ TOC format 0101b gives the texts.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "drive/bytes.h"
#include "drive/disc_marks.h"
#include "drive/source_table.h"
#include "drive/subchannel_q.h"

namespace vestrel {

// The formatted Q of every sector read, kept until the read ends.
class QScan {
  public:
    // The kFormattedQBytes after the audio of the sector at `lba`.
    void Add(int32_t lba, ByteReader q);
    bool empty() const { return sectors_.empty(); }

    // The marks of `tracks` (in disc order, track 1 first), whose TOC CONTROL
    // nibbles are `tocControls` and whose track 1 has INDEX 01
    // `hiddenAudio` blocks after its first: a track without usable Q frames
    // keeps its TOC flags. Frames with a bad CRC are not counted; where they
    // or code frames hide the sector an index begins at, the frame's own
    // content, when it names the index before or after, or else the P bit
    // decides. A drive whose Q runs a few sectors off the audio is read by
    // the frames' own addresses; each track's ISRC is the one most of the
    // ISRC frames among its position frames give.
    DiscMarks Marks(std::span<const TrackRecord> tracks, std::span<const uint8_t> tocControls,
                    uint32_t hiddenAudio) const;

  private:
    struct Sector {
        int32_t lba = 0;
        std::array<uint8_t, kFormattedQBytes> q{};
    };
    std::vector<Sector> sectors_;
};

// The TOC flags and the hidden audio alone, for a drive that gives no Q
// with its audio.
DiscMarks MarksFromToc(std::span<const TrackRecord> tracks, std::span<const uint8_t> tocControls,
                       uint32_t hiddenAudio);

// READ SUB-CHANNEL for the codes `marks` lacks, and READ TOC format 0101b
// for the texts (none when the drive refuses it). Data tracks get no ISRC.
// False when the drive could not read the CD-Text area.
bool AddDriveMarks(char16_t letter, std::span<const TrackRecord> tracks, DiscMarks& marks);

// The CONTROL nibble of each track from a READ TOC (MSF) reply; empty when
// the reply does not describe whole tracks.
std::vector<uint8_t> TocControls(ByteReader msfReply);

}  // namespace vestrel
