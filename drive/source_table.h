// The source table: one record per source disc with its tracks and the
// recorders that write its copies. The select-drives page builds it, the
// image store fills in tracks, sizes and paths; reader and writer threads
// copy what they need when they start and never touch it afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "drive/disc_marks.h"
#include "drive/disc_types.h"

namespace vestrel {

struct TrackRecord {
    bool isData = false;
    uint32_t firstLba = 0;
    uint32_t lastLba = 0;
    // (lastLba - firstLba + 1) x 2048 for data, x 2352 for audio; the
    // header of an audio image file is not counted.
    uint64_t imageBytes = 0;
    // Full path of the track's image file; empty until one is planned.
    std::u16string imagePath;
};

struct DestinationEntry {
    char16_t recorderLetter = 0;
    uint32_t copies = 0;
};

struct SourceRecord {
    char16_t driveLetter = 0;
    DiscType discType = disc::None;
    // The disc's size in 2048-byte blocks as its drive reports it (the
    // lead-out); 0 when unknown. Decides whether a pressed DVD or HD DVD
    // needs a dual-layer blank.
    uint64_t discBlocks = 0;
    std::u16string volumeLabel;
    uint32_t copies = 0;
    std::vector<TrackRecord> tracks;
    uint64_t totalBytes = 0;
    std::vector<DestinationEntry> destinations;
    // An audio CD's codes, flags, gaps, indexes and texts; empty for
    // other discs.
    DiscMarks marks;
    // Blocks of the audio hidden before track 1 that the drive could not
    // read: its image holds silence there.
    uint32_t hiddenAudioUnread = 0;
    // The drive refused to read the CD's CD-Text: copies carry none.
    bool cdTextUnread = false;
};

// The process-wide source table. Only the user-interface thread changes
// it, and only while no reader or writer runs.
std::vector<SourceRecord>& SourceTable();

}  // namespace vestrel
