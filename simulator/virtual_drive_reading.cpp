// Reading: the table of contents, capacity, disc and track information,
// user data and raw sectors with their sub-channels, and the codes and
// texts an audio CD carries.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "drive/bytes.h"
#include "drive/cdb.h"
#include "simulator/cd_sector.h"
#include "simulator/subchannel.h"
#include "simulator/virtual_drive.h"
#include "simulator/virtual_drive_replies.h"

namespace vestrel::sim {

// --- disc and track information -------------------------------------------

ScsiResult VirtualDrive::ReadDiscInformation(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if ((c.cdb[1] & 0x07) != 0)
        return kInvalidField;
    if (auto r = NotReady())
        return *r;
    std::vector<uint8_t> d(34, 0);
    ByteWriter w(d.data(), d.size());
    const Disc& disc = *disc_;
    DiscStatus status = disc.status();
    uint8_t sessionState = status == DiscStatus::Empty        ? 0
                           : status == DiscStatus::Incomplete ? 1
                                                              : 3;
    w.Be16(0, 32);
    w.U8(2, static_cast<uint8_t>((disc.rules().erasableBit ? 0x10 : 0) | (sessionState << 2) |
                                 static_cast<uint8_t>(status)));
    uint8_t lastTrack = disc.tracks().empty() ? 1 : disc.tracks().back().number;
    if (status == DiscStatus::Incomplete)
        ++lastTrack;  // the invisible track that takes the next recording
    w.U8(3, 1);
    w.U8(4, 1);
    w.U8(5, 1);
    w.U8(6, lastTrack);
    w.U8(7, 0x20);  // unrestricted use
    if (disc.rules().family == MediaFamily::Cd) {
        Msf end = LbaToMsf(static_cast<int32_t>(disc.capacity()));
        Msf leadIn = SignedLbaToMsf(model_.leadInStart);  // as ATIP gives it
        w.Be32(16, (uint32_t{leadIn.minute} << 16) | (uint32_t{leadIn.second} << 8) | leadIn.frame);
        w.Be32(20, (uint32_t{end.minute} << 16) | (uint32_t{end.second} << 8) | end.frame);
    } else {
        w.Be32(16, 0xFFFFFFFF);
        w.Be32(20, disc.capacity());
    }
    return Reply(c, d, cdb.Be16(7));
}

// By track number (address type 1) only: the recorded tracks, the
// reservations of the recording under way, and the invisible track (FFh)
// that takes the next one, as long as the disc takes more.
ScsiResult VirtualDrive::ReadTrackInformation(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    const uint8_t addressType = c.cdb[1] & 0x03;
    const uint32_t wanted = cdb.Be32(2);
    if (auto r = NotReady())
        return *r;
    if (addressType != 1)
        return kInvalidField;  // by address and by session are not modelled
    struct Info {
        uint32_t number = 0;
        int32_t start = 0;
        uint32_t size = 0;
        bool audio = false;
        bool reserved = false;
        bool blank = false;
        bool nwaValid = false;
        int64_t nwa = 0;
        uint32_t free = 0;
    };
    const Disc& disc = *disc_;
    std::vector<Info> tracks;
    for (const DiscTrack& t : disc.tracks())
        tracks.push_back(Info{t.number, t.start, t.length, t.audio});
    for (const Reservation& r : reservations_) {
        tracks.push_back(Info{r.number, r.start, r.length, false, true, r.written == 0,
                              r.written < r.length, int64_t{r.start} + r.written,
                              r.length - r.written});
    }
    const bool appendable = disc.rules().writable() && !disc.rules().takesFormat() &&
                            disc.status() != DiscStatus::Complete && !cue_;
    if (appendable) {
        Info invisible;
        invisible.number = tracks.empty() ? 1 : tracks.back().number + 1;
        invisible.start =
            tracks.empty() ? 0 : tracks.back().start + static_cast<int32_t>(tracks.back().size);
        invisible.size = disc.capacity() - static_cast<uint32_t>(invisible.start);
        invisible.blank = invisible.nwaValid = true;
        invisible.nwa = invisible.start;
        invisible.free = invisible.size;
        tracks.push_back(invisible);
    }
    const Info* found = nullptr;
    for (const Info& t : tracks) {
        if (t.number == wanted || (wanted == kInvisibleTrack && &t == &tracks.back()))
            found = &t;
    }
    if (!found)
        return kInvalidField;
    const int64_t nwa = found->nwa + FaultCount(FaultKind::NwaOffset);
    std::vector<uint8_t> d(kTrackInformationLength, 0);
    ByteWriter w(d.data(), d.size());
    w.Be16(0, static_cast<uint16_t>(d.size() - 2));
    w.U8(2, static_cast<uint8_t>(found->number));
    w.U8(32, static_cast<uint8_t>(found->number >> 8));
    w.U8(3, 1);  // session
    w.U8(5, found->audio ? 0x00 : 0x04);
    w.U8(6, static_cast<uint8_t>((found->reserved ? 0x80 : 0) | (found->blank ? 0x40 : 0) |
                                 (found->audio ? 0x0F : 0x01)));
    w.U8(7, found->nwaValid ? 0x01 : 0x00);
    w.Be32(8, static_cast<uint32_t>(found->start));
    w.Be32(12, found->nwaValid ? static_cast<uint32_t>(nwa) : 0);
    w.Be32(16, found->free);
    w.Be32(20, disc.rules().reservationUnit);
    w.Be32(24, found->size);
    return Reply(c, d, cdb.Be16(7));
}

ScsiResult VirtualDrive::ReadToc(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    bool msf = c.cdb[1] & 0x02;
    uint8_t format = c.cdb[2] & 0x0F;
    if (auto r = NotReady())
        return *r;
    if (format == 4)
        return ReadAtip(c);
    if (!ReadableHere())
        return Sense(5, 0x30, 0x02);  // cannot read medium, incompatible format
    if (HasFault(FaultKind::TocUnreadable))
        return Sense(3, 0x57, 0x00);  // unable to recover table of contents
    const std::vector<DiscTrack>& tracks = disc_->tracks();
    if (tracks.empty() || (format > 1 && format != 5))
        return kInvalidField;
    if (format == 5)
        return ReadTocCdText(c);
    auto address = [&](int32_t lba) -> uint32_t {
        if (!msf)
            return static_cast<uint32_t>(lba);
        Msf m = LbaToMsf(lba);
        return (uint32_t{m.minute} << 16) | (uint32_t{m.second} << 8) | m.frame;
    };
    // ADR 1 in the high nibble, the track's CONTROL bits in the low one.
    auto control = [&](const DiscTrack& t) -> uint8_t {
        return static_cast<uint8_t>(0x10 | disc_->TrackControl(t));
    };
    std::vector<uint8_t> d(4, 0);
    auto descriptor = [&](uint8_t adrControl, uint8_t number, uint32_t addr) {
        size_t at = d.size();
        d.resize(at + 8, 0);
        ByteWriter w(d.data(), d.size());
        w.U8(at + 1, adrControl);
        w.U8(at + 2, number);
        w.Be32(at + 4, addr);
    };
    if (format == 1) {  // session information: the first track of the last session
        descriptor(control(tracks.front()), tracks.front().number, address(tracks.front().start));
        d[2] = 1;
        d[3] = 1;
    } else {
        uint8_t first = c.cdb[6];
        if (first > tracks.back().number && first != 0xAA)
            return kInvalidField;
        for (const DiscTrack& t : tracks) {
            if (t.number >= first && first != 0xAA)
                descriptor(control(t), t.number, address(t.start));
        }
        descriptor(control(tracks.back()), 0xAA, address(disc_->LeadOut()));
        d[2] = tracks.front().number;
        d[3] = tracks.back().number;
    }
    ByteWriter(d.data(), d.size()).Be16(0, static_cast<uint16_t>(d.size() - 2));
    return Reply(c, d, cdb.Be16(7));
}

ScsiResult VirtualDrive::ReadCapacity(const ScsiCommand& c) {
    if (auto r = NotReady())
        return *r;
    std::vector<uint8_t> d(8, 0);
    ByteWriter w(d.data(), d.size());
    int32_t end = disc_->LeadOut();
    w.Be32(0, end > 0 ? static_cast<uint32_t>(end - 1) : 0);
    w.Be32(4, kUserDataSize);
    return Reply(c, d, 8);
}

// --- user data and raw sectors ---------------------------------------------

ScsiResult VirtualDrive::Read10(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    int32_t lba = static_cast<int32_t>(cdb.Be32(2));
    uint32_t count = cdb.Be16(7);
    if (auto r = NotReady())
        return *r;
    if (count == 0)
        return Good();
    if (c.direction != DataDirection::FromDevice || !c.data ||
        c.transferLength < uint64_t{count} * kUserDataSize)
        return IoFailure(kErrorIoDevice);
    if (!ReadableHere())
        return Sense(5, 0x30, 0x02);
    if (disc_->tracks().empty() || lba < disc_->tracks().front().start ||
        int64_t{lba} + count > disc_->LeadOut())
        return kOutOfRange;
    if (TakeFault(FaultKind::ReadError, lba, count))
        return Sense(3, 0x11, 0x00);
    if (disc_->rules().takesCueSheet() && int64_t{lba} + count > disc_->recordedEnd)
        return Sense(3, 0x11, 0x00);  // a recording that stopped short
    switch (disc_->ReadUserData(lba, count, c.data)) {
        case SectorRead::Ok:
            break;
        case SectorRead::IllegalMode:
            return kIllegalMode;
        case SectorRead::OutOfRange:
            return kOutOfRange;
        default:
            return Sense(3, 0x11, 0x00);
    }
    if (!Transfer(uint64_t{count} * kUserDataSize, false, c.timeoutSeconds))
        return IoFailure(kErrorSemTimeout);
    return Good();
}

ScsiResult VirtualDrive::ReadCd(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    uint8_t expected = (c.cdb[1] >> 2) & 0x07;
    int32_t lba = static_cast<int32_t>(cdb.Be32(2));
    uint32_t count = cdb.Be24(6);
    uint8_t fields = cdb.U8(9);
    const uint8_t selection = cdb.U8(10);
    // Sub-channels: none, raw P-W or formatted Q; partial headers, C2
    // pointers and corrected R-W are not modelled.
    const uint32_t subBytes = selection == 0   ? 0
                              : selection == 1 ? kRawSubChannelBytes
                              : selection == 2 ? kFormattedQBytes
                                               : UINT32_MAX;
    if (subBytes == UINT32_MAX || (fields != 0xF8 && fields != 0x10) || expected > 2)
        return kInvalidField;
    if (auto r = NotReady())
        return *r;
    if (disc_->rules().family != MediaFamily::Cd)
        return kIllegalMode;
    if (count == 0)
        return Good();
    if (!disc_->tracks().empty() && lba >= 0 && int64_t{lba} + count <= disc_->LeadOut()) {
        for (uint32_t i = 0; i < count; ++i) {
            bool audio = disc_->IsAudio(lba + static_cast<int32_t>(i));
            if ((expected == 1 && !audio) || (expected == 2 && audio))
                return kIllegalMode;
        }
    } else {
        return kOutOfRange;
    }
    bool userOnly = fields == 0x10;
    uint64_t need = 0;
    for (uint32_t i = 0; i < count; ++i) {
        bool audio = disc_->IsAudio(lba + static_cast<int32_t>(i));
        need += (userOnly && !audio ? kUserDataSize : kRawSectorSize) + subBytes;
    }
    if (c.direction != DataDirection::FromDevice || !c.data || c.transferLength < need)
        return IoFailure(kErrorIoDevice);
    if (TakeFault(FaultKind::ReadError, lba, count))
        return Sense(3, 0x11, 0x00);
    if (int64_t{lba} + count > disc_->recordedEnd)
        return Sense(3, 0x11, 0x00);
    if (HasFault(FaultKind::HiddenAudioUnreadable) && lba < disc_->tracks().front().start)
        return Sense(3, 0x11, 0x00);
    uint8_t* out = c.data;
    std::vector<uint8_t> raw(kRawSectorSize);
    std::optional<QChannel> q;
    if (subBytes != 0)
        q.emplace(*disc_);
    for (uint32_t i = 0; i < count; ++i) {
        int32_t at = lba + static_cast<int32_t>(i);
        if (disc_->ReadRaw(at, 1, raw.data()) != SectorRead::Ok)
            return Sense(3, 0x11, 0x00);
        bool audio = disc_->IsAudio(at);
        if (userOnly && !audio) {
            std::memcpy(out, raw.data() + kUserDataOffset, kUserDataSize);
            out += kUserDataSize;
        } else {
            std::memcpy(out, raw.data(), kRawSectorSize);
            out += kRawSectorSize;
        }
        if (q)
            out = AppendSubChannel(*q, at, selection, out);
    }
    if (!Transfer(need, false, c.timeoutSeconds))
        return IoFailure(kErrorSemTimeout);
    return Good();
}

// After each block: the raw P-W bytes (the Q frame in bit 6 as on the
// disc, P in bit 7, R-W 0: no graphics), or the formatted Q: the frame with
// CONTROL high and BCD numbers as on the disc, its CRC, three pad bytes and
// the P bit in bit 7 of byte 15.
uint8_t* VirtualDrive::AppendSubChannel(const QChannel& q, int32_t lba, uint8_t selection,
                                        uint8_t* out) {
    // A drive whose Q runs late hands on an earlier sector's frame; one whose
    // ISRC latch lags keeps the track before's ISRC for a while.
    const int32_t from = lba - static_cast<int32_t>(FaultCount(FaultKind::QShift));
    QFrameBytes frame = q.BytesAt(from, FaultCount(FaultKind::IsrcLatch));
    const bool pause = q.PauseAt(from);
    if (const uint32_t every = FaultCount(FaultKind::QCrcErrors);
        every != 0 && static_cast<uint32_t>(std::max(lba + kQLbaOffset, 0)) % every == 0)
        frame[11] ^= 0x01;
    if (selection == 1) {
        const std::array<uint8_t, kRawSubChannelBytes> raw = RawSubChannel(frame, pause);
        std::memcpy(out, raw.data(), raw.size());
        return out + raw.size();
    }
    // Drives that give binary numbers convert the position frames only and
    // pass no CRC on.
    if (HasFault(FaultKind::QBinary) && (frame[0] & 0x0F) == qadr::Position) {
        for (size_t i = 1; i < 10; ++i) {
            if (frame[i] != kQLeadOutTrack)
                frame[i] = FromBcd(frame[i]).value_or(frame[i]);
        }
        frame[10] = frame[11] = 0;
    }
    std::memset(out, 0, kFormattedQBytes);
    std::memcpy(out, frame.data(), frame.size());
    out[15] = pause ? 0x80 : 0x00;
    return out + kFormattedQBytes;
}

// --- codes and texts ---------------------------------------------------------

// READ SUB-CHANNEL formats 02h (catalogue number) and 03h (ISRC of a
// track): a 4-byte header (no audio status: nothing plays), then 20 bytes:
// the format, ADR 3 high and the track's CONTROL low (ISRC only), the
// track, the valid bit (MCVal, TCVal) and the characters in ASCII, the
// rest 0. Without SubQ the header alone, of data length 0.
ScsiResult VirtualDrive::ReadSubChannel(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    const bool subQ = c.cdb[2] & 0x40;
    const uint8_t format = c.cdb[3];
    const uint8_t trackNumber = c.cdb[6];
    if (format != 2 && format != 3)
        return kInvalidField;  // the current position is not modelled
    if (format == 2 && trackNumber != 0)
        return kInvalidField;
    if (auto r = NotReady())
        return *r;
    if (!ReadableHere())
        return Sense(5, 0x30, 0x02);
    if (disc_->rules().family != MediaFamily::Cd)
        return kIllegalMode;
    constexpr uint8_t kNoAudioStatus = 0x15;
    std::vector<uint8_t> d(subQ ? kSubChannelCodeLength : 4, 0);
    ByteWriter w(d.data(), d.size());
    w.U8(1, kNoAudioStatus);
    if (!subQ)
        return Reply(c, d, cdb.Be16(7));
    w.Be16(2, static_cast<uint16_t>(kSubChannelCodeLength - 4));
    w.U8(4, format);
    std::string code;
    if (format == 2) {
        code = disc_->metadata.mcn;
    } else {
        const DiscTrack* track = nullptr;
        for (const DiscTrack& t : disc_->tracks()) {
            if (t.number == trackNumber)
                track = &t;
        }
        if (!track)
            return kInvalidField;
        const uint8_t control = disc_->TrackControl(*track);
        w.U8(5, static_cast<uint8_t>((qadr::Isrc << 4) | control));
        w.U8(6, trackNumber);
        if (const TrackMetadata* m = disc_->metadata.Track(trackNumber);
            m && !(control & kControlData))
            code = m->isrc;
    }
    if (!code.empty()) {
        w.U8(8, 0x80);
        std::memcpy(d.data() + 9, code.data(), std::min<size_t>(code.size(), 15));
    }
    return Reply(c, d, cdb.Be16(7));
}

// READ TOC format 0100b (ATIP), which only recordable CDs carry: a 4-byte
// header, then one 24-byte descriptor: the disc type (bit 6 of its byte 2
// set for CD-RW), and at reply bytes 8 and 12 where the lead-in starts
// and the last place the lead-out may start, as binary M S F (minutes from
// 90 on before LBA 0).
ScsiResult VirtualDrive::ReadAtip(const ScsiCommand& c) {
    constexpr size_t kAtipLength = 4 + 24;
    constexpr size_t kLeadInAt = 8;
    constexpr size_t kLeadOutAt = 12;
    ByteReader cdb(c.cdb, c.cdbLength);
    if (!disc_->rules().takesCueSheet())
        return kInvalidField;
    std::vector<uint8_t> d(kAtipLength, 0);
    ByteWriter w(d.data(), d.size());
    w.Be16(0, static_cast<uint16_t>(d.size() - 2));
    w.U8(4, 0x80);
    w.U8(6, disc_->rules().takesBlank() ? 0xC0 : 0x80);
    auto msf = [&](size_t at, Msf m) {
        w.U8(at, m.minute);
        w.U8(at + 1, m.second);
        w.U8(at + 2, m.frame);
    };
    msf(kLeadInAt, SignedLbaToMsf(model_.leadInStart));
    msf(kLeadOutAt, LbaToMsf(static_cast<int32_t>(disc_->capacity())));
    return Reply(c, d, cdb.Be16(7));
}

// READ TOC format 0101b: a 4-byte header whose first two bytes count what
// follows them, then the disc's CD-Text packs: those its recorder kept
// from the lead-in, else those of its texts. A disc without texts answers
// with the header alone (length 2).
ScsiResult VirtualDrive::ReadTocCdText(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if (HasFault(FaultKind::CdTextUnsupported))
        return kInvalidField;
    const std::vector<CdTextPack>& kept = disc_->metadata.cdTextPacks;
    const std::vector<CdTextPack> packs = kept.empty() ? DiscCdTextPacks(disc_->metadata) : kept;
    std::vector<uint8_t> d(kCdTextHeaderLength, 0);
    for (const CdTextPack& p : packs)
        d.insert(d.end(), p.begin(), p.end());
    ByteWriter(d.data(), d.size()).Be16(0, static_cast<uint16_t>(d.size() - 2));
    return Reply(c, d, cdb.Be16(7));
}

}  // namespace vestrel::sim
