// Recording one copy onto a blank that is ready in its recorder: the cue
// sheet and pre-gap (CD blanks), one track reservation per track at the
// address the drive confirms (sequential DVD, HD DVD and BD blanks),
// formatting when new (overwritable blanks), the tracks from their image
// files, SYNCHRONIZE CACHE, closing where the medium needs it, and eject.
// Closing and formatting run as immediate commands that the drive is
// polled through.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "drive/cd_text.h"
#include "drive/disc_types.h"
#include "drive/replies.h"
#include "engine/cue_sheet.h"
#include "engine/panel_channel.h"

namespace vestrel {

constexpr int kWriteAttempts = 15;
constexpr uint32_t kWriteChunkSectors = 25;

// The writer's own copy of one source it writes.
struct WriterJob {
    size_t source = 0;  // the source's place in the source table
    DiscType discType = disc::None;
    uint64_t discBlocks = 0;  // the source's size; 0 when unknown
    std::u16string label;
    uint32_t copies = 0;
    std::vector<WriterTrack> tracks;
    DiscMarks marks;  // the source's, for the cue sheet of a CD copy
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
// Sequential DVD, HD DVD and BD media: one RESERVE TRACK per track.
bool TakesReservations(const Blank& blank);
// The unit reservations round up to: the ECC block (16) of DVD media, the
// cluster (32) of BD and HD DVD media; 1 where nothing is reserved.
uint32_t ReservationUnit(const Blank& blank);
// A track is reserved rounded up to whole units and the rest of its
// reservation is written with zeros.
uint32_t ReservedBlocks(uint32_t blockCount, uint32_t unit);
// The blocks a copy of `tracks` takes on the blank as it will be recorded,
// reservations rounded up; on a CD, where its lead-out starts.
uint64_t RecordedBlocks(const std::vector<WriterTrack>& tracks, const Blank& blank);
// The blocks the blank in `letter` can take, as the drive reports them:
// the last possible lead-out of a CD (READ DISC INFORMATION), the free
// blocks of the invisible track of other sequential media (READ TRACK
// INFORMATION), the formatted capacity or the quick format's of
// overwritable media (READ FORMAT CAPACITIES). Nothing when the drive does
// not say.
std::optional<uint64_t> BlankCapacity(char16_t letter, const Blank& blank);

// A new overwritable blank gets the quickest format its drive lists:
// background format (26h) on DVD+RW; on BD-RE with spare areas but no
// certification (30h subtype 01b), else without spare areas (31h), else
// the full format (00h); the full format (00h) on other media. The
// choices the drive lists, best first, each with the first size listed
// for its type (the drive's default).
constexpr uint8_t kBdNoCertification = 0x01;  // format 30h subtype
struct FormatChoice {
    FormatDescriptor descriptor;
    uint8_t subtype = 0;
};
std::vector<FormatChoice> QuickFormatChoices(const FormatCapacities& capacities,
                                             const Blank& blank);

enum class CopyOutcome {
    Done,
    CopyAbandoned,    // writing failed; the person clicked Skip copy
    SourceAbandoned,  // the person clicked Skip Source after an error
    Stop,             // run state 3
};

// What a writer is asked to do besides recording (ThreadStartBlock::options).
namespace writer_option {
// Read every finished copy back in its recorder and compare it, sector for
// sector, with the image files; a copy that differs counts as failed.
constexpr uint32_t VerifyCopies = 0x1;
}  // namespace writer_option

// The status a verified copy shows before the writer goes on.
inline constexpr char16_t kCopyVerifiedStatus[] = u"The copy is identical to its source.";
inline constexpr char16_t kVerifyingStatus[] = u"Verifying the copy...";
// What a copy that was written, and not verified, is recorded with.
inline constexpr char16_t kCopyWrittenStatus[] = u"Writing to this copy is done.";

// The CD-Text a copy's lead-in is written with: the packs, repeated from
// the blank's lead-in start (READ TOC ATIP) up to the block before the
// pre-gap. No packs: the lead-in is left to the drive.
struct LeadInText {
    std::vector<CdTextPack> packs;
    int32_t startLba = 0;
};
// Lead-in blocks a WRITE (10) carries at most.
constexpr uint32_t kLeadInChunkBlocks = 150;

// On a CD, the cue sheet must have the lead-in's data form 41h when
// `leadIn` has packs and 01h otherwise.
CopyOutcome RecordCopy(char16_t letter, PanelChannel& panel, const WriterJob& job,
                       const CueSheet& cueSheet, const Blank& blank, uint32_t options = 0,
                       const LeadInText& leadIn = {});

// Waits in 100 ms steps until `done` holds or the panel is stopped; false
// when stopped.
bool PollPanel(PanelChannel& panel, const std::function<bool()>& done);

}  // namespace vestrel
