// Recording one copy onto a blank that is ready in its recorder: the cue
// sheet and pre-gap (CD blanks), one track reservation per track
// (sequential DVD, HD DVD and BD blanks), formatting when new (overwritable
// blanks), the tracks from their image files, SYNCHRONIZE CACHE, closing
// where the medium needs it, and eject.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "drive/disc_types.h"
#include "engine/cue_sheet.h"
#include "engine/panel_channel.h"

namespace vestrel {

constexpr int kWriteAttempts = 15;
constexpr uint32_t kWriteChunkSectors = 25;

// The writer's own copy of one source it writes.
struct WriterJob {
    DiscType discType = disc::None;
    uint64_t discBlocks = 0;  // the source's size; 0 when unknown
    std::u16string label;
    uint32_t copies = 0;
    std::vector<WriterTrack> tracks;
};

// The blank in the recorder, as GET CONFIGURATION named it.
struct Blank {
    DiscType type = disc::None;
    uint16_t profile = 0;
};

// Media written anywhere once formatted: they take no track reservation
// and need no BLANK to be written again.
bool IsOverwritable(const Blank& blank);
// Media other drives can read only after CLOSE TRACK/SESSION.
bool NeedsClosing(const Blank& blank);
// Reservations are whole 16-block units; a track is reserved rounded up and
// the rest of its reservation is written with zeros.
uint32_t ReservedBlocks(uint32_t blockCount);

enum class CopyOutcome {
    Done,
    CopyAbandoned,    // writing failed; the person clicked Skip copy
    SourceAbandoned,  // the person clicked Skip Source after an error
    Stop,             // run state 3
};

CopyOutcome RecordCopy(char16_t letter, PanelChannel& panel, const WriterJob& job,
                       const CueSheet& cueSheet, const Blank& blank);

// Waits in 100 ms steps until `done` holds or the panel is stopped; false
// when stopped.
bool PollPanel(PanelChannel& panel, const std::function<bool()>& done);

}  // namespace vestrel
