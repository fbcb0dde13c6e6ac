#include "engine/source_layout.h"

#include <algorithm>

#include "drive/cdb.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"
#include "engine/image_files.h"

namespace vestrel {

namespace {

// CONTROL with the data bit set and the four-channel bit clear.
constexpr uint8_t kControlKindMask = 0x0D;
bool IsDataControl(uint8_t control) {
    const uint8_t kind = control & kControlKindMask;
    return kind == 0x04 || kind == 0x05;
}

}  // namespace

LayoutOutcome TracksFromToc(ByteReader msfReply, ByteReader lbaReply,
                            std::vector<TrackRecord>& tracks) {
    tracks.clear();
    const Toc kinds = ReadTocReply(msfReply);
    const Toc addresses = ReadTocReply(lbaReply);
    if (!kinds.complete || !addresses.complete || kinds.lastTrack != addresses.lastTrack)
        return LayoutOutcome::TocInconsistent;

    std::vector<TrackRecord> read(kinds.lastTrack);
    for (size_t i = 0; i < read.size(); ++i) {
        TrackRecord& t = read[i];
        const uint32_t start = addresses.entries[i].address;
        const uint32_t next = addresses.entries[i + 1].address;
        if (next <= start)
            return LayoutOutcome::TocInconsistent;
        t.isData = IsDataControl(kinds.entries[i].control);
        t.firstLba = start;
        t.lastLba = next - 1;
        t.imageBytes = PlannedImageBytes(t.isData, t.firstLba, t.lastLba);
    }
    tracks = std::move(read);
    return LayoutOutcome::Read;
}

namespace {

// Audio hidden before an audio track 1 (the TOC starts it after LBA 0):
// track 1's image starts at LBA 0 and its INDEX 01 lies where the TOC
// starts it. Sectors there that the drive reads as other than audio (a
// data part hidden before the audio) are left out.
void TakeHiddenAudio(SourceRecord& source) {
    TrackRecord& first = source.tracks.front();
    if (first.isData || first.firstLba == 0)
        return;
    std::vector<uint8_t> sector(kAudioSectorSize);
    const ScsiResult probe =
        SendReadCdAudio(source.driveLetter, 0, 1, SubChannelSelection::None, sector);
    if (IsWrongSectorType(probe))
        return;
    source.marks.tracks.resize(source.tracks.size());
    source.marks.tracks.front().hiddenAudio = first.firstLba;
    first.firstLba = 0;
    first.imageBytes = PlannedImageBytes(first.isData, first.firstLba, first.lastLba);
}

LayoutOutcome ReadTracks(SourceRecord& source) {
    const char16_t letter = source.driveLetter;
    if (!SendTestUnitReady(letter).ok())
        return LayoutOutcome::NotReady;

    std::vector<uint8_t> msfReply(kTocLength);
    if (!SendReadToc(letter, true, msfReply).ok())
        return LayoutOutcome::TocUnreadable;
    std::vector<uint8_t> lbaReply(kTocLength);
    if (!SendReadToc(letter, false, lbaReply).ok())
        return LayoutOutcome::AddressesUnread;
    const LayoutOutcome outcome =
        TracksFromToc(ByteReader(msfReply), ByteReader(lbaReply), source.tracks);
    if (outcome == LayoutOutcome::Read)
        TakeHiddenAudio(source);
    return outcome;
}

}  // namespace

LayoutOutcome ReadSourceLayout(SourceRecord& source) {
    source.tracks.clear();
    source.totalBytes = 0;
    source.marks = {};
    source.hiddenAudioUnread = 0;
    source.cdTextUnread = false;
    const LayoutOutcome outcome = ReadTracks(source);
    if (outcome != LayoutOutcome::Read) {
        source.tracks.clear();
        source.destinations.clear();
    }
    for (const TrackRecord& t : source.tracks)
        source.totalBytes += t.imageBytes;
    return outcome;
}

bool LeftOut(const SourceRecord& source) {
    return source.tracks.empty();
}

std::vector<LayoutOutcome> ReadSourceLayouts() {
    std::vector<LayoutOutcome> outcomes;
    for (SourceRecord& source : SourceTable())
        outcomes.push_back(ReadSourceLayout(source));
    return outcomes;
}

bool AllLayoutsRead(const std::vector<LayoutOutcome>& outcomes) {
    return std::all_of(outcomes.begin(), outcomes.end(),
                       [](LayoutOutcome o) { return o == LayoutOutcome::Read; });
}

}  // namespace vestrel
