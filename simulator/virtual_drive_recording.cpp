// Recording: writing user data or a Session At Once CD, cue sheets and
// track reservations, finishing what was written, closing, blanking and
// formatting.
#include <algorithm>
#include <cstring>
#include <utility>

#include "drive/bytes.h"
#include "drive/cd_text.h"
#include "simulator/cd_sector.h"
#include "simulator/virtual_drive.h"
#include "simulator/virtual_drive_replies.h"

namespace vestrel::sim {

// --- writing --------------------------------------------------------------

ScsiResult VirtualDrive::Write10(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    int32_t lba = static_cast<int32_t>(cdb.Be32(2));
    uint32_t count = cdb.Be16(7);
    if (auto r = NotReady())
        return *r;
    const MediaRules& rules = disc_->rules();
    if (!rules.writable() || !model_.Writes(disc_->profile()))
        return kIncompatibleFormat;
    if (TakeFault(FaultKind::LongWrite, 0, 0))
        return Sense(2, 0x04, 0x08);
    if (count == 0)
        return Good();
    if (c.direction != DataDirection::ToDevice || !c.data)
        return IoFailure(kErrorIoDevice);
    if (rules.takesCueSheet())
        return WriteCd(c, lba, count);

    uint64_t bytes = uint64_t{count} * kUserDataSize;
    if (c.transferLength < bytes)
        return IoFailure(kErrorIoDevice);
    if (rules.takesFormat()) {
        if (!disc_->formatted)
            return Sense(5, 0x30, 0x10);  // medium not formatted
        if (lba < 0 || int64_t{lba} + count > disc_->capacity())
            return kOutOfRange;
    } else {
        if (disc_->status() == DiscStatus::Complete)
            return kInvalidWriteAddress;
        if (rules.usesWriteParameters()) {
            uint8_t writeType = writeParameters_.size() > 4 ? writeParameters_[2] & 0x0F : 0;
            uint8_t blockType = writeParameters_.size() > 4 ? writeParameters_[4] & 0x0F : 0;
            if ((writeType != 0 && writeType != 2) || blockType != 8)
                return kIllegalMode;
        }
        if (reservations_.empty())
            return kSequenceError;  // no track reserved for the data
        auto track = std::find_if(reservations_.begin(), reservations_.end(), [&](auto& r) {
            return lba >= r.start && lba - int64_t{r.start} < r.length;
        });
        if (track == reservations_.end() ||
            lba != track->start + static_cast<int32_t>(track->written) ||
            track->written + count > track->length)
            return kInvalidWriteAddress;
    }
    if (TakeFault(FaultKind::WriteError, lba, count))
        return Sense(3, 0x0C, 0x00);
    const uint8_t* data = c.data;
    std::vector<uint8_t> altered;
    if (int32_t bad = 0; TakeFault(FaultKind::CorruptWrite, lba, count, &bad)) {
        altered.assign(c.data, c.data + bytes);
        altered[size_t(bad - lba) * kUserDataSize + 100] ^= 0x5A;
        data = altered.data();
    }
    if (!disc_->StoreSectors(lba, count, data))
        return Sense(3, 0x0C, 0x00);
    if (rules.takesFormat()) {
        overwriteEnd_ = std::max(overwriteEnd_, lba + static_cast<int32_t>(count));
    } else {
        for (Reservation& r : reservations_) {
            if (lba >= r.start && lba - int64_t{r.start} < r.length)
                r.written += count;
        }
    }
    dirty_ = true;
    if (!Transfer(bytes, true, c.timeoutSeconds))
        return IoFailure(kErrorSemTimeout);
    return Good();
}

ScsiResult VirtualDrive::WriteCd(const ScsiCommand& c, int32_t lba, uint32_t count) {
    if (!cue_)
        return kSequenceError;  // Session At Once needs its cue sheet first
    if (lba < -kLeadInFrames)
        return WriteLeadIn(c, lba, count);
    if (!cue_->LeadInWritten())
        return kSequenceError;  // the lead-in's CD-Text comes first, all of it
    if (lba != nextCdLba_)
        return kInvalidWriteAddress;
    if (int64_t{lba} + count > cue_->leadOut)
        return kOutOfRange;
    // Each sector takes the size its cue sheet data form gives it.
    std::vector<const CueRegion*> forms(count);
    uint64_t need = 0;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t at = lba + static_cast<int32_t>(i);
        for (const CueRegion& r : cue_->regions) {
            if (at >= r.start && at - int64_t{r.start} < r.count)
                forms[i] = &r;
        }
        if (!forms[i])
            return kOutOfRange;
        need += forms[i]->dataForm == 0x10 ? kUserDataSize : kRawSectorSize;
    }
    if (c.transferLength < need)
        return IoFailure(kErrorIoDevice);
    if (TakeFault(FaultKind::WriteError, lba, count))
        return Sense(3, 0x0C, 0x00);
    std::vector<uint8_t> raw(size_t{count} * kRawSectorSize);
    const uint8_t* in = c.data;
    for (uint32_t i = 0; i < count; ++i) {
        std::span<uint8_t> sector(raw.data() + size_t{i} * kRawSectorSize, kRawSectorSize);
        if (forms[i]->dataForm == 0x10) {
            BuildMode1Sector(lba + static_cast<int32_t>(i), std::span(in, kUserDataSize), sector);
            in += kUserDataSize;
        } else {
            std::memcpy(sector.data(), in, kRawSectorSize);
            in += kRawSectorSize;
        }
    }
    if (int32_t bad = 0; TakeFault(FaultKind::CorruptWrite, lba, count, &bad))
        raw[size_t(bad - lba) * kRawSectorSize + kUserDataOffset + 100] ^= 0x5A;
    if (!disc_->StoreSectors(lba, count, raw.data()))
        return Sense(3, 0x0C, 0x00);
    nextCdLba_ += static_cast<int32_t>(count);
    dirty_ = true;
    if (!Transfer(need, true, c.timeoutSeconds))
        return IoFailure(kErrorSemTimeout);
    return Good();
}

bool VirtualDrive::CuePlan::LeadInWritten() const {
    return !leadInRw ||
           leadIn.size() >= size_t{CdTextLeadInBlocks(leadInStart)} * kLeadInBlockBytes;
}

// The R-W sub-channel of the lead-in (CD-Text) under a data form 41h cue
// sheet: 96 bytes a block, from the lead-in's start up to LBA -151 in
// order. The block size changes at -150, so no write may span it.
ScsiResult VirtualDrive::WriteLeadIn(const ScsiCommand& c, int32_t lba, uint32_t count) {
    CuePlan& plan = *cue_;
    if (!plan.leadInRw || lba < plan.leadInStart)
        return kOutOfRange;
    if (int64_t{lba} + count > -kLeadInFrames)
        return kInvalidField;
    const size_t written = plan.leadIn.size() / kLeadInBlockBytes;
    if (lba != plan.leadInStart + static_cast<int32_t>(written))
        return kSequenceError;
    const size_t bytes = size_t{count} * kLeadInBlockBytes;
    if (c.transferLength < bytes)
        return IoFailure(kErrorIoDevice);
    plan.leadIn.insert(plan.leadIn.end(), c.data, c.data + bytes);
    dirty_ = true;
    if (!Transfer(bytes, true, c.timeoutSeconds))
        return IoFailure(kErrorSemTimeout);
    return Good();
}

// --- cue sheets and track reservations ------------------------------------

ScsiResult VirtualDrive::SendCueSheet(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    uint32_t length = cdb.Be24(6);
    if (auto r = NotReady())
        return *r;
    if (!disc_->rules().takesCueSheet() || !model_.Writes(disc_->profile()))
        return kIncompatibleFormat;
    if (disc_->status() != DiscStatus::Empty)
        return kSequenceError;
    if (writeParameters_.size() < 5 || (writeParameters_[2] & 0x0F) != 2)
        return kSequenceError;  // the write type is not Session At Once
    if (c.direction != DataDirection::ToDevice || !c.data || c.transferLength < length)
        return IoFailure(kErrorIoDevice);
    if (HasFault(FaultKind::RefuseCueSheet))
        return kInvalidParameter;
    if (length == 0 || length % 8 != 0)
        return kParameterLength;

    // Session At Once rules: the catalogue number's two entries first if
    // given, the lead-in, then tracks 1, 2, ... each with its two ISRC
    // entries just before its first entry if given, indexes rising by one
    // from 0 or 1 with index 1 present, the first track with a pre-gap from
    // 00:00:00 of at least two seconds, times never going back, data forms
    // matching the track's CTL, and the lead-out last.
    const uint8_t* bytes = c.data;
    const size_t count = length / 8;
    auto chars = [&](size_t entry, size_t from, size_t n) {
        return std::string(reinterpret_cast<const char*>(bytes + entry * 8 + from), n);
    };
    struct Entry {
        uint8_t ctl, tno, index, form;
        bool scms;
        int32_t lba;
        std::string isrc;  // from the ISRC entries just before it
    };
    std::vector<Entry> entries;
    CuePlan plan;
    DiscMetadata& metadata = plan.metadata;
    size_t first = 0;
    if (count >= 2 && (bytes[0] & 0x0F) == 2) {
        // MCN: CTL 0, thirteen ASCII digits over two entries, then a zero.
        if (bytes[0] != 0x02 || bytes[8] != 0x02 || bytes[15] != 0)
            return kInvalidParameter;
        metadata.mcn = chars(0, 1, 7) + chars(1, 1, 6);
        if (!IsValidMcn(metadata.mcn))
            return kInvalidParameter;
        first = 2;
    }
    std::string isrc;
    for (size_t i = first; i < count; ++i) {
        const uint8_t* p = bytes + i * 8;
        const uint8_t adr = p[0] & 0x0F;
        if (adr == 3) {
            // ISRC: two entries with the CTL and TNO of the entry that
            // follows them, six ASCII characters each; audio tracks only.
            if (i + 2 >= count || !isrc.empty() || p[8] != p[0] || p[9] != p[1] ||
                p[16] != ((p[0] & 0xF0) | 0x01) || p[17] != p[1] || (p[0] & 0x40) || p[1] == 0)
                return kInvalidParameter;
            isrc = chars(i, 2, 6) + chars(i + 1, 2, 6);
            if (!IsValidIsrc(isrc))
                return kInvalidParameter;
            ++i;
            continue;
        }
        uint8_t m = p[5], s = p[6], f = p[7];
        if (adr != 1 || s >= 60 || f >= 75 || (p[4] != 0x00 && p[4] != 0x80))
            return kInvalidParameter;
        entries.push_back(Entry{static_cast<uint8_t>(p[0] >> 4), p[1], p[2], p[3], p[4] == 0x80,
                                MsfToLba(m, s, f), std::move(isrc)});
        isrc.clear();
    }
    auto dataForm = [](uint8_t form) { return form == 0x10 || form == 0x11 || form == 0x14; };
    auto audioForm = [](uint8_t form) { return form == 0x00 || form == 0x01; };
    if (entries.size() < 4)
        return kInvalidParameter;
    const Entry& leadIn = entries.front();
    const Entry& leadOut = entries.back();
    // Data form 41h: the host sends the lead-in's R-W sub-channel (CD-Text),
    // which only a drive that records R-W takes.
    plan.leadInRw = leadIn.form == 0x41;
    if (plan.leadInRw && !model_.recordsLeadInRw)
        return kInvalidParameter;
    if (leadIn.tno != 0 || leadIn.index != 0 ||
        !(plan.leadInRw || dataForm(leadIn.form) || audioForm(leadIn.form)))
        return kInvalidParameter;
    if (leadOut.tno != 0xAA || leadOut.index != 1 ||
        !(dataForm(leadOut.form) || audioForm(leadOut.form)))
        return kInvalidParameter;
    if (!leadIn.isrc.empty() || !leadOut.isrc.empty())
        return kInvalidParameter;
    int32_t previous = INT32_MIN;
    std::vector<int32_t> trackEnds;  // where each track's first entry lies
    for (size_t i = 1; i + 1 < entries.size(); ++i) {
        const Entry& e = entries[i];
        bool firstOfTrack = i == 1 || entries[i - 1].tno != e.tno;
        if (e.lba < previous)
            return kInvalidParameter;
        previous = e.lba;
        if (e.form != 0x00 && e.form != 0x10 && e.form != 0x11)
            return kInvalidParameter;  // only host-supplied audio and Mode 1 data
        if (((e.ctl & 0x4) != 0) != dataForm(e.form))
            return kInvalidParameter;
        if (firstOfTrack) {
            uint8_t expectedTno = i == 1 ? 1 : static_cast<uint8_t>(entries[i - 1].tno + 1);
            if (e.tno != expectedTno || e.tno > 99 || e.index > 1)
                return kInvalidParameter;
            if (i == 1 && (e.index != 0 || e.lba != -kLeadInFrames))
                return kInvalidParameter;
            if (i > 1 && entries[i - 1].index == 0)
                return kInvalidParameter;  // the previous track never reached index 1
            TrackMetadata track;
            track.number = e.tno;
            track.isrc = e.isrc;
            metadata.tracks.push_back(std::move(track));
            trackEnds.push_back(e.lba);
        } else if (e.index != entries[i - 1].index + 1 || e.form != entries[i - 1].form ||
                   !e.isrc.empty()) {
            return kInvalidParameter;
        }
        TrackMetadata& track = metadata.tracks.back();
        if (e.index == 1) {
            plan.tracks.push_back(DiscTrack{e.tno, e.form == 0x00, e.lba, 0});
            track.control = e.ctl;
            track.scms = e.scms;
            if (track.indexes.empty())
                track.indexes.push_back(e.lba);  // no pre-gap
        }
        track.indexes.push_back(e.lba);
        if (e.tno == 1 && e.index == 1 && e.lba < 0)
            return kInvalidParameter;  // pre-gap shorter than two seconds
        plan.regions.push_back(CueRegion{e.lba, 0, e.form, e.form == 0x00});
    }
    if (entries[entries.size() - 2].index == 0 || leadOut.lba <= previous)
        return kInvalidParameter;
    if (leadOut.lba > static_cast<int32_t>(disc_->capacity()))
        return kInvalidParameter;  // more than the disc holds
    plan.leadOut = leadOut.lba;
    trackEnds.erase(trackEnds.begin());
    trackEnds.push_back(plan.leadOut);
    // Each track holds its index 1 sector; some recorders want 4 s.
    const int32_t shortest = HasFault(FaultKind::RefuseShortTracks) ? 4 * kFramesPerSecond : 1;
    for (size_t i = 0; i < plan.tracks.size(); ++i) {
        if (trackEnds[i] - plan.tracks[i].start < shortest)
            return kInvalidParameter;
    }
    for (size_t i = 0; i < plan.regions.size(); ++i) {
        int32_t end = i + 1 < plan.regions.size() ? plan.regions[i + 1].start : plan.leadOut;
        plan.regions[i].count = static_cast<uint32_t>(end - plan.regions[i].start);
    }
    for (size_t i = 0; i < plan.tracks.size(); ++i) {
        int32_t end = i + 1 < plan.tracks.size() ? plan.tracks[i + 1].start : plan.leadOut;
        plan.tracks[i].length = static_cast<uint32_t>(end - plan.tracks[i].start);
    }
    plan.leadInStart = model_.leadInStart;
    nextCdLba_ = plan.regions.front().start;
    cue_ = std::move(plan);
    return Good();
}

ScsiResult VirtualDrive::ReserveTrack(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if (c.cdb[1] & 0x01)
        return kInvalidField;  // reservation by address is not modelled
    uint32_t size = cdb.Be32(5);
    if (auto r = NotReady())
        return *r;
    const MediaRules& rules = disc_->rules();
    if (!rules.takesReserveTrack() || !model_.Writes(disc_->profile()))
        return kIncompatibleFormat;
    if (HasFault(FaultKind::RefuseReserveTrack) || disc_->status() == DiscStatus::Complete)
        return Sense(5, 0x72, 0x05);  // no more track reservations allowed
    if (size == 0)
        return kInvalidField;
    uint32_t unit = rules.reservationUnit;
    uint64_t rounded = (uint64_t{size} + unit - 1) / unit * unit;
    int32_t start = disc_->LeadOut();
    uint8_t number = disc_->tracks().empty() ? 1 : disc_->tracks().back().number + 1;
    if (!reservations_.empty()) {
        start = reservations_.back().start + static_cast<int32_t>(reservations_.back().length);
        number = reservations_.back().number + 1;
    }
    if (start + rounded > disc_->capacity() || number > 99)
        return kInvalidField;
    reservations_.push_back(Reservation{number, start, static_cast<uint32_t>(rounded), 0});
    return Good();
}

// --- finishing and closing ------------------------------------------------

namespace {

// What a copy keeps of the CD-Text written into its lead-in: the packs
// gathered from the blocks, each valid one once, and the texts of the
// first block (title, performer, songwriter).
void KeepLeadInCdText(ByteReader leadIn, DiscMetadata& metadata) {
    CdTextPackSet set = CollectCdTextPacks(GatherCdTextLeadIn(leadIn));
    if (set.packs.empty())
        return;
    const CdTextReading read = ReadCdTextPacks(set.packs);
    metadata.cdTextPacks = std::move(set.packs);
    const bool firstBlock =
        std::any_of(metadata.cdTextPacks.begin(), metadata.cdTextPacks.end(),
                    [](const CdTextPack& p) { return ((p[3] >> 4) & 0x07) == 0; });
    if (!firstBlock || read.blocks.empty())
        return;
    const CdTextBlock& block = read.blocks.front();
    auto text = [&](uint8_t type, uint8_t track) {
        auto it = block.texts.find(type);
        return it != block.texts.end() && track < it->second.size() ? it->second[track]
                                                                    : std::string{};
    };
    auto texts = [&](uint8_t track) {
        return CdTexts{text(cdtext::Title, track), text(cdtext::Performer, track),
                       text(cdtext::Songwriter, track)};
    };
    metadata.text = texts(0);
    for (TrackMetadata& t : metadata.tracks)
        t.text = texts(t.number);
}

}  // namespace

void VirtualDrive::FinishRecording() {
    Disc& disc = *disc_;
    const MediaRules& rules = disc.rules();
    dirty_ = false;
    if (rules.takesCueSheet()) {
        if (!cue_ || nextCdLba_ <= cue_->regions.front().start)
            return;
        std::vector<SectorRegion> regions;
        for (const CueRegion& r : cue_->regions)
            regions.push_back(disc.RecordingRegion(r.start, r.count, r.audio));
        disc.SetRecorded(cue_->tracks, std::move(regions), DiscStatus::Complete, 0);
        disc.metadata = cue_->metadata;
        KeepLeadInCdText(ByteReader(cue_->leadIn.data(), cue_->leadIn.size()), disc.metadata);
        disc.recordedEnd = nextCdLba_;
        disc.recordedBy = letter_;
        disc.writtenAt = EffectiveWriteSpeed();
        disc.closed = true;
        cue_.reset();
        return;
    }
    if (rules.takesFormat()) {
        disc.SetRecorded({DiscTrack{1, false, 0, disc.capacity()}},
                         {disc.RecordingRegion(0, disc.capacity(), false)}, DiscStatus::Complete,
                         0);
        disc.recordedEnd = std::max(disc.recordedEnd, overwriteEnd_);
        disc.recordedBy = letter_;
        disc.writtenAt = EffectiveWriteSpeed();
        return;
    }
    if (reservations_.empty())
        return;
    std::vector<DiscTrack> tracks = disc.tracks();
    for (const Reservation& r : reservations_)
        tracks.push_back(DiscTrack{r.number, false, r.start, r.length});
    std::vector<SectorRegion> regions;
    for (const DiscTrack& t : tracks)
        regions.push_back(disc.RecordingRegion(t.start, t.length, false));
    // Disc at once on the DVD-R family ends the disc; DVD+R and BD-R stay
    // open (and unreadable elsewhere) until closed.
    bool finished =
        !rules.needsClosing && (!rules.usesWriteParameters() ||
                                (writeParameters_.size() > 2 && (writeParameters_[2] & 0x0F) == 2));
    int32_t end = tracks.back().start + static_cast<int32_t>(tracks.back().length);
    disc.SetRecorded(std::move(tracks), std::move(regions),
                     finished ? DiscStatus::Complete : DiscStatus::Incomplete, 0);
    disc.recordedEnd = end;
    disc.recordedBy = letter_;
    disc.writtenAt = EffectiveWriteSpeed();
    disc.closed = finished;
    reservations_.clear();
}

ScsiResult VirtualDrive::SynchronizeCache() {
    if (auto r = NotReady())
        return *r;
    if (TakeFault(FaultKind::LongSync, 0, 0))
        return Sense(2, 0x04, 0x08);
    if (dirty_)
        FinishRecording();
    return Good();
}

ScsiResult VirtualDrive::CloseTrackSession(const ScsiCommand& c) {
    uint8_t function = c.cdb[2] & 0x07;
    const bool immediate = c.cdb[1] & 0x01;
    if (auto r = NotReady())
        return *r;
    const MediaRules& rules = disc_->rules();
    if (!rules.writable() || !model_.Writes(disc_->profile()))
        return kIncompatibleFormat;
    if (function != 1 && function != 2 && function != 3 && function != 5 && function != 6)
        return kInvalidField;
    if (dirty_)
        FinishRecording();
    const bool nothingRecorded = disc_->status() == DiscStatus::Empty && !rules.takesFormat();
    if (nothingRecorded)
        return kSequenceError;
    // 3/0C/00: the close failed.
    if (auto failed = RunLongOperation(immediate, 0x07, FaultKind::LongClose, FaultKind::CloseFails,
                                       Sense(3, 0x0C, 0x00)))
        return *failed;
    if (rules.takesFormat() || rules.takesCueSheet() || function == 1)
        return Good();  // a track was padded when the cache was written out
    disc_->closed = true;
    if (function >= 5 || !rules.needsClosing)
        disc_->SetStatus(DiscStatus::Complete);
    return Good();
}

// --- blanking and formatting ----------------------------------------------

ScsiResult VirtualDrive::Blank(const ScsiCommand& c) {
    uint8_t type = c.cdb[1] & 0x07;
    if (auto r = NotReady())
        return *r;
    if (type > 1)
        return kInvalidField;
    if (!disc_->rules().takesBlank() || !model_.Writes(disc_->profile()))
        return kIncompatibleFormat;
    if (HasFault(FaultKind::BlankFails))
        return Sense(3, 0x0C, 0x00);
    disc_->Erase();
    cue_.reset();
    reservations_.clear();
    dirty_ = false;
    for (const Fault& f : options_.faults) {
        if (f.kind == FaultKind::NotReadyAfterErase)
            notReadyReplies_ = f.count;
    }
    return Good();
}

namespace {

// The format types a medium takes: background format on DVD+RW, with
// spare areas (30h) or without (31h) on BD-RE, and the full format.
std::vector<uint8_t> FormatTypes(uint16_t profile) {
    if (profile == 0x1A || profile == 0x2A)
        return {0x26};
    if (profile == 0x43)
        return {0x00, 0x30, 0x31};
    return {0x00};
}

}  // namespace

ScsiResult VirtualDrive::FormatUnit(const ScsiCommand& c) {
    bool formatData = c.cdb[1] & 0x10;
    uint8_t code = c.cdb[1] & 0x07;
    if (auto r = NotReady())
        return *r;
    if (!formatData || code != 1)
        return kInvalidField;
    if (!disc_->rules().takesFormat() || !model_.Writes(disc_->profile()))
        return Sense(5, 0x30, 0x06);  // cannot format medium, incompatible medium
    if (c.direction != DataDirection::ToDevice || !c.data || c.transferLength < 12)
        return IoFailure(kErrorIoDevice);
    ByteReader list(c.data, c.transferLength);
    if (list.Be16(2) != 8)
        return kParameterLength;
    const uint8_t flags = list.U8(1);
    if ((flags & 0x02) && !(flags & 0x80))
        return kInvalidParameter;  // IMMED counts only with FOV
    const bool immediate = flags & 0x02;
    const uint8_t formatType = list.U8(8) >> 2;
    const uint8_t subtype = list.U8(8) & 0x03;
    std::vector<uint8_t> types = FormatTypes(disc_->profile());
    if (std::find(types.begin(), types.end(), formatType) == types.end())
        return kInvalidParameter;
    // Subtypes: 30h takes quick reformat, no certification, full and quick
    // certification; the other types take none.
    if (subtype != 0 && formatType != 0x30)
        return kInvalidParameter;
    // 3/31/01: format command failed.
    if (auto failed = RunLongOperation(immediate, 0x04, FaultKind::LongFormat,
                                       FaultKind::FormatFails, Sense(3, 0x31, 0x01)))
        return *failed;
    disc_->Format();
    overwriteEnd_ = 0;
    lastFormat_ = list.U8(8);
    return Good();
}

ScsiResult VirtualDrive::ReadFormatCapacities(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    std::vector<uint8_t> d(12, 0);
    ByteWriter w(d.data(), d.size());
    if (trayOpen_ || !disc_ || !Ready()) {
        w.U8(3, 8);
        w.U8(8, 3);  // no medium
        w.Be24(9, kUserDataSize);
        return Reply(c, d, cdb.Be16(7));
    }
    const MediaRules& rules = disc_->rules();
    uint32_t capacity = disc_->capacity();
    w.Be32(4, capacity);
    w.U8(8, rules.takesFormat() && !disc_->formatted ? 1 : 2);
    w.Be24(9, kUserDataSize);
    if (rules.takesFormat()) {
        for (uint8_t t : FormatTypes(disc_->profile())) {
            size_t at = d.size();
            d.resize(at + 8, 0);
            ByteWriter x(d.data(), d.size());
            x.Be32(at, capacity);
            x.U8(at + 4, static_cast<uint8_t>(t << 2));
            x.Be24(at + 5, t == 0x26 ? 0 : kUserDataSize);
        }
    }
    ByteWriter(d.data(), d.size()).U8(3, static_cast<uint8_t>(d.size() - 4));
    return Reply(c, d, cdb.Be16(7));
}

}  // namespace vestrel::sim
