// The Session-at-Once cue sheet of a CD copy and the track sizes it is built
// from. Sizes come from the image files as they are on disc; the cue sheet
// bytes themselves depend only on each track's kind and block count.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "drive/disc_marks.h"
#include "drive/source_table.h"

namespace vestrel {

// One track of a copy, as a writer job holds it.
struct WriterTrack {
    bool isData = false;
    uint64_t dataBytes = 0;  // the image's size without the audio header
    int32_t startLba = 0;    // first block on the copy
    uint32_t blockCount = 0;
    std::u16string imagePath;
};

// The tracks of a source as a writer starts from them: kind and image path;
// the sizes are filled by MeasureImageFiles.
std::vector<WriterTrack> WriterTracksOf(const std::vector<TrackRecord>& tracks);

struct Msf {
    int32_t minutes = 0;
    int32_t seconds = 0;
    int32_t frames = 0;
};

// Addresses count 150 blocks (two seconds) ahead of LBA 0: LBA 0 is
// 00:02:00 and LBA -150 is 00:00:00.
Msf LbaToMsf(int32_t lba);

// An image file's track data (an audio file's bytes after its 44-byte
// header) and the whole blocks of 2048 (data) or 2352 (audio) bytes in it.
uint64_t ImageDataBytes(bool isData, uint64_t fileBytes);
uint64_t BlockCountOf(bool isData, uint64_t dataBytes);

constexpr size_t kCueEntryBytes = 8;

// Eight-byte entries: [the MCN's two], lead-in, then each track's [two
// ISRC entries], [INDEX 00], INDEX 01 and [INDEX 02...], then the lead-out;
// track 1 always has its INDEX 00 at LBA -150. Track positions follow one
// another from LBA 0 in the given order, by blockCount. The session's
// entries take the first track's kind. Empty when there are no tracks (a
// disc without tracks is never described), or when the marks do not fit
// them: a code that is not one, a pre-gap or index outside its track. How
// long a track must be is the recorder's to say.
using CueSheet = std::vector<uint8_t>;
CueSheet BuildCueSheet(std::span<const WriterTrack> tracks, const DiscMarks& marks = {});

enum class ImageMeasure {
    Measured,
    // An image file cannot be opened (or the job has no tracks at all).
    NotFound,
    // A size cannot be read, holds no whole block, or the copy would not be
    // addressable.
    Unreadable,
};

// Opens each track's image file, reads its size and fills dataBytes,
// blockCount and startLba. Holds the drive lock while it does so. A job
// without tracks is NotFound: there is nothing to record from.
ImageMeasure MeasureImageFiles(std::vector<WriterTrack>& tracks);

// A job's cue sheet: MeasureImageFiles, then BuildCueSheet with the
// marks a copy carries; marks.cdText says whether the host writes CD-Text
// into the lead-in. The sheet is left empty unless the files were
// measured; files the marks do not fit (a pre-gap or index past its track)
// are Unreadable.
ImageMeasure BuildJobCueSheet(std::vector<WriterTrack>& tracks, CueSheet& sheet,
                              const DiscMarks& marks = {});

}  // namespace vestrel
