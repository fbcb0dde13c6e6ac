// Image files a person gives as a source instead of a disc: an ISO file, or
// a cue sheet over ISO, WAV and raw BIN files (the forms a backup writes,
// and the single-file bin/cue of other CD tools). Each becomes the source
// record the reader would have made of the disc, so that the planner, the
// writers and the recording recipe take it as they take a disc. Tracks
// whose file is not already an image file as the reader writes it are
// copied out into one first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drive/disc_types.h"
#include "drive/source_table.h"

namespace vestrel {

// What the blanks of each family hold at most, in blocks: an 80-minute
// CD-R (its last possible lead-out), a DVD-R DL, a BD-R DL.
constexpr uint64_t kCdBlankBlocks = 359849;
constexpr uint64_t kDvdDualLayerBlocks = 4171712;
constexpr uint64_t kBdDualLayerBlocks = 24438784;

enum class MediaFamily { Smallest, Cd, Dvd, Bd };

// The type a source of `blocks` gets: a source with audio is a CD; data
// alone takes the smallest family that holds it (CD, DVD, BD; a DVD-ROM
// larger than a layer goes to dual-layer blanks), or the family asked for
// when it holds it. Nothing, with the reason in `why`, otherwise.
std::optional<DiscType> ImageDiscType(uint64_t blocks, bool audio, MediaFamily family,
                                      std::u16string& why);

// Where one track's sectors lie in a file the person gave.
struct ImageTrackPlace {
    std::u16string file;
    uint64_t offset = 0;       // the track's first byte
    uint32_t sectorBytes = 0;  // 2048, or 2352 for audio and raw Mode 1 sectors
    // The file is an image file as the reader writes it (a whole ISO, a
    // WAV with the 44-byte header): the writers read it in place.
    bool inPlace = false;
    size_t line = 0;  // the track's TRACK line in a cue sheet
};

struct ImageSource {
    std::u16string path;  // the ISO file or cue sheet given
    // Tracks with kind, addresses and size; the image path is set for
    // tracks read in place and left empty for those to be copied out.
    SourceRecord record;
    std::vector<ImageTrackPlace> places;  // one per track
};

// Opens an ISO file, or a cue sheet when the name ends in ".cue", and
// checks every file it names: present, whole sectors, no track past its
// end, an ISO 9660 volume no larger than its track. Fails with one line
// naming the file and, for a cue sheet, the line: "PATH:LINE: text".
bool OpenImageSource(std::u16string_view path, MediaFamily family, ImageSource& source,
                     std::u16string& error);

// The source records of opened images, in their order, as the planner
// takes them: `copies` asked of each, the i-th under the letter 'A' + i,
// which names the image files copied out of it.
std::vector<SourceRecord> ImageSourceRecords(const std::vector<ImageSource>& images,
                                             uint32_t copies);

// Copies a track out of its place into `track.imagePath` in the reader's
// format: 2048-byte sectors for data, a WAV file for audio. Fails with the
// reason in `error`; a partly written file is removed.
bool CopyOutTrack(const ImageTrackPlace& place, const TrackRecord& track, std::u16string& error);

}  // namespace vestrel
