#include "simulator/virtual_drive.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "drive/bytes.h"
#include "drive/cdb.h"
#include "drive/clock.h"
#include "simulator/cd_sector.h"

namespace vestrel::sim {

namespace {

constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kPreventAllow = 0x1E;
constexpr uint8_t kReadCapacity = 0x25;

constexpr uint32_t kErrorIoDevice = 1117;   // the OS error of a failed transfer
constexpr uint32_t kErrorSemTimeout = 121;  // the OS error of a timed-out request

ScsiResult Good() {
    return ScsiResult{};
}

ScsiResult IoFailure(uint32_t osError) {
    ScsiResult r;
    r.status = StatusIoControlFailed;
    r.osError = osError;
    return r;
}

// The refusals, named once.
ScsiResult InvalidOpcode() {
    return Sense(5, 0x20, 0);
}
ScsiResult InvalidField() {
    return Sense(5, 0x24, 0);
}
ScsiResult InvalidParameter() {
    return Sense(5, 0x26, 0);
}
ScsiResult ParameterLength() {
    return Sense(5, 0x1A, 0);
}
ScsiResult SequenceError() {
    return Sense(5, 0x2C, 0);
}
ScsiResult OutOfRange() {
    return Sense(5, 0x21, 0);
}
ScsiResult InvalidWriteAddress() {
    return Sense(5, 0x21, 0x02);
}
ScsiResult IncompatibleFormat() {  // the medium does not take this command
    return Sense(5, 0x30, 0x05);
}
ScsiResult IllegalMode() {
    return Sense(5, 0x64, 0);
}

// How far a stream of transfers may fall behind its pace and still catch up.
constexpr uint32_t kStreamGapMs = 250;

bool Before(uint32_t now, uint32_t t) {
    return static_cast<int32_t>(now - t) < 0;
}

bool ValidBlockType(uint8_t t) {
    return t <= 3 || (t >= 8 && t <= 13);
}

std::vector<uint8_t> ModeHeader(size_t pageBytes) {
    std::vector<uint8_t> h(8, 0);
    ByteWriter(h.data(), h.size()).Be16(0, static_cast<uint16_t>(6 + pageBytes));
    return h;
}

}  // namespace

ScsiResult Sense(uint8_t key, uint8_t asc, uint8_t ascq) {
    ScsiResult r;
    r.status = StatusCheckCondition;
    r.senseKey = key;
    r.asc = asc;
    r.ascq = ascq;
    return r;
}

VirtualDrive::VirtualDrive(char16_t letter, DriveModel model, DriveOptions options)
    : letter_(letter), model_(std::move(model)), options_(std::move(options)) {
    writeParameters_ = model_.writeParametersPage;
}

// --- tray and medium ---------------------------------------------------

bool VirtualDrive::AllowRemoval() {
    std::lock_guard lock(mutex_);
    prevented_ = false;
    return true;
}

void VirtualDrive::PreventRemoval(bool prevent) {
    std::lock_guard lock(mutex_);
    prevented_ = prevent;
}

bool VirtualDrive::OpenTray() {
    std::lock_guard lock(mutex_);
    if (prevented_ || BusyNow())
        return false;
    OpenTrayLocked();
    return true;
}

void VirtualDrive::OpenTrayLocked() {
    if (trayOpen_)
        return;
    // A drive writes out its cache before it lets a disc go.
    if (dirty_)
        FinishRecording();
    cue_.reset();
    reservations_.clear();
    trayOpen_ = true;
    events_.push_back(TrayEvent{true, disc_ != nullptr, 0});
}

void VirtualDrive::CloseTray() {
    std::lock_guard lock(mutex_);
    if (!trayOpen_)
        return;
    trayOpen_ = false;
    readyAt_ = ActiveClock().TickCount() + (disc_ ? options_.becomingReadyMs : 0);
    notReadyReplies_ = 0;
    busy_ = false;
    deferred_.reset();
    events_.push_back(TrayEvent{false, disc_ != nullptr, readyAt_});
}

void VirtualDrive::Preload(std::unique_ptr<Disc> disc, bool trayOpen) {
    std::lock_guard lock(mutex_);
    disc_ = std::move(disc);
    trayOpen_ = trayOpen;
    readyAt_ = ActiveClock().TickCount();
}

bool VirtualDrive::InsertDisc(std::unique_ptr<Disc> disc) {
    std::lock_guard lock(mutex_);
    if (!trayOpen_ || disc_ || !disc)
        return false;
    disc_ = std::move(disc);
    return true;
}

std::unique_ptr<Disc> VirtualDrive::RemoveDisc() {
    std::lock_guard lock(mutex_);
    if (!trayOpen_)
        return nullptr;
    return std::move(disc_);
}

std::vector<TrayEvent> VirtualDrive::TakeTrayEvents() {
    std::lock_guard lock(mutex_);
    return std::exchange(events_, {});
}

DriveState VirtualDrive::State() {
    std::lock_guard lock(mutex_);
    DriveState s;
    s.trayOpen = trayOpen_;
    s.removalPrevented = prevented_;
    s.hasDisc = disc_ != nullptr;
    s.currentProfile = CurrentProfile();
    if (disc_) {
        s.discStatus = disc_->status();
        s.discName = disc_->name;
    }
    s.cdReadSpeed = cdReadSpeed_;
    s.cdWriteSpeed = cdWriteSpeed_;
    s.streamingReadSpeed = streamingRead_;
    s.streamingWriteSpeed = streamingWrite_;
    s.setStreamingCount = setStreamingCount_;
    s.writeParameters = writeParameters_;
    s.cueSheetAccepted = cue_.has_value();
    s.reservations = reservations_.size();
    s.lastFormat = lastFormat_;
    s.busy = BusyNow();
    return s;
}

std::optional<std::string> VirtualDrive::ReadableLabel() {
    std::lock_guard lock(mutex_);
    if (!Ready() || !ReadableHere() || disc_->tracks().empty() || disc_->label.empty())
        return std::nullopt;
    return disc_->label;
}

void VirtualDrive::AddFault(const Fault& fault) {
    std::lock_guard lock(mutex_);
    options_.faults.push_back(fault);
}

void VirtualDrive::SetInstant(bool instant) {
    std::lock_guard lock(mutex_);
    options_.instant = instant;
}

// --- shared checks -------------------------------------------------------

bool VirtualDrive::Compatible() const {
    uint16_t p = disc_->profile();
    return model_.Reads(p) || RulesForProfile(p).family == MediaFamily::Other;
}

bool VirtualDrive::Ready() const {
    return !trayOpen_ && disc_ && !Before(ActiveClock().TickCount(), readyAt_) && Compatible();
}

// Discs that must be closed can be read only by their recorder until then.
bool VirtualDrive::ReadableHere() const {
    return !disc_->rules().needsClosing || disc_->closed || disc_->recordedBy == letter_;
}

uint16_t VirtualDrive::CurrentProfile() const {
    return Ready() ? disc_->profile() : 0;
}

std::optional<ScsiResult> VirtualDrive::NotReady() {
    if (trayOpen_)
        return Sense(2, 0x3A, 0x02);
    if (!disc_)
        return Sense(2, 0x3A, 0x01);
    if (Before(ActiveClock().TickCount(), readyAt_))
        return Sense(2, 0x04, 0x01);
    if (notReadyReplies_ > 0) {
        --notReadyReplies_;
        return Sense(2, 0x04, 0x07);
    }
    if (BusyNow())
        return Sense(2, 0x04, busyAscq_);
    if (deferred_)
        return std::exchange(deferred_, std::nullopt);
    if (!Compatible())
        return Sense(2, 0x30, 0x00);
    return std::nullopt;
}

bool VirtualDrive::BusyNow() {
    if (busy_ && !Before(ActiveClock().TickCount(), busyUntil_))
        busy_ = false;
    return busy_;
}

uint32_t VirtualDrive::FaultCount(FaultKind kind) const {
    for (const Fault& f : options_.faults) {
        if (f.kind == kind)
            return f.count;
    }
    return 0;
}

void VirtualDrive::StartLongOperation(uint8_t ascq, FaultKind slow,
                                      std::optional<ScsiResult> deferred) {
    busyFrom_ = ActiveClock().TickCount();
    busyUntil_ = busyFrom_ + FaultCount(slow);
    busyAscq_ = ascq;
    busy_ = busyUntil_ != busyFrom_;
    deferred_ = deferred;
}

ScsiResult VirtualDrive::Reply(const ScsiCommand& c, const std::vector<uint8_t>& bytes,
                               size_t allocation) {
    if (c.transferLength > 0 && c.direction != DataDirection::FromDevice)
        return IoFailure(kErrorIoDevice);
    size_t n = std::min({bytes.size(), allocation, size_t{c.transferLength}});
    if (n > 0 && c.data)
        std::memcpy(c.data, bytes.data(), n);
    return Good();
}

bool VirtualDrive::TakeFault(FaultKind kind, int32_t lba, uint32_t count, int32_t* hit) {
    auto take = [&](std::vector<Fault>& faults) {
        for (Fault& f : faults) {
            if (f.kind != kind || f.count == 0)
                continue;
            bool addressed = kind == FaultKind::ReadError || kind == FaultKind::WriteError ||
                             kind == FaultKind::CorruptWrite;
            bool covers = !addressed || (f.lba >= lba && f.lba - int64_t{lba} < count);
            if (covers) {
                --f.count;
                if (hit)
                    *hit = f.lba;
                return true;
            }
        }
        return false;
    };
    return take(options_.faults) || (disc_ && take(disc_->faults));
}

bool VirtualDrive::HasFault(FaultKind kind) const {
    return std::any_of(options_.faults.begin(), options_.faults.end(),
                       [kind](const Fault& f) { return f.kind == kind; });
}

uint32_t VirtualDrive::EffectiveWriteSpeed() const {
    if (!disc_)
        return 0;
    auto it = model_.writeSpeeds.find(disc_->rules().family);
    if (it == model_.writeSpeeds.end() || it->second.empty())
        return 0;
    uint32_t wanted = streamingWrite_ ? streamingWrite_ : cdWriteSpeed_;
    for (uint32_t s : it->second) {  // fastest first
        if (s <= wanted)
            return s;
    }
    return it->second.back();
}

uint32_t VirtualDrive::EffectiveReadSpeed() const {
    if (!disc_)
        return 0;
    auto it = model_.readSpeed.find(disc_->rules().family);
    uint32_t max = it == model_.readSpeed.end() ? 1385 : it->second;
    uint32_t wanted = streamingRead_ ? streamingRead_ : cdReadSpeed_;
    return std::min(max, wanted ? wanted : max);
}

// Transfer time at the drive's speed. False when it would outlast the
// command's timeout; the request then fails as a timed-out one does.
bool VirtualDrive::Transfer(uint64_t bytes, bool write, uint32_t timeoutSeconds) {
    if (options_.instant || bytes == 0)
        return true;
    uint32_t speed = write ? EffectiveWriteSpeed() : EffectiveReadSpeed();
    if (speed == 0)
        return true;
    uint64_t micros = bytes * 1000 / speed;  // kB/s is bytes per millisecond
    if (timeoutSeconds && micros > uint64_t{timeoutSeconds} * 1000000) {
        ActiveClock().Sleep(timeoutSeconds * 1000);
        return false;
    }
    // Each transfer ends when the stream's bytes so far would have taken at
    // this speed, so time lost to the host between commands or to
    // oversleeping is made up, as a drive's buffer does, instead of adding
    // up. A pause longer than the buffer covers starts a new stream.
    const uint32_t now = ActiveClock().TickCount();
    if (!streaming_ || static_cast<int32_t>(now - (paceTick_ + pacedMicros_ / 1000)) >
                           static_cast<int32_t>(kStreamGapMs)) {
        streaming_ = true;
        paceTick_ = now;
        pacedMicros_ = 0;
    }
    pacedMicros_ += micros;
    const uint32_t due = paceTick_ + static_cast<uint32_t>(pacedMicros_ / 1000);
    if (Before(now, due))
        ActiveClock().Sleep(due - now);
    return true;
}

// --- dispatch --------------------------------------------------------------

ScsiResult VirtualDrive::Execute(const ScsiCommand& c) {
    if (options_.openFails) {
        ScsiResult r;
        r.status = StatusOpenFailed;
        r.osError = 2;  // the file cannot be found
        return r;
    }
    if (options_.passThroughError)
        return IoFailure(options_.passThroughError);
    if (!c.cdb || c.cdbLength < 6)
        return IoFailure(87);  // invalid parameter
    std::lock_guard lock(mutex_);
    if (TakeFault(FaultKind::UnitAttention, 0, 1))
        return Sense(0x06, 0x29, 0x00);  // power on or reset occurred
    switch (c.cdb[0]) {
        case opcode::TestUnitReady:
            return TestUnitReady();
        case opcode::RequestSense:
            return RequestSense(c);
        case opcode::ReadTrackInformation:
            return ReadTrackInformation(c);
        case opcode::Inquiry:
            return Inquiry(c);
        case opcode::GetConfiguration:
            return GetConfiguration(c);
        case opcode::ModeSense10:
            return ModeSense(c);
        case opcode::ModeSelect10:
            return ModeSelect(c);
        case opcode::ReadDiscInformation:
            return ReadDiscInformation(c);
        case opcode::ReadToc:
            return ReadToc(c);
        case kReadCapacity:
            return ReadCapacity(c);
        case opcode::Read10:
            return Read10(c);
        case opcode::ReadCd:
            return ReadCd(c);
        case opcode::Write10:
            return Write10(c);
        case opcode::SendCueSheet:
            return SendCueSheet(c);
        case opcode::ReserveTrack:
            return ReserveTrack(c);
        case opcode::SynchronizeCache: {
            if (auto r = NotReady())
                return *r;
            if (TakeFault(FaultKind::LongSync, 0, 0))
                return Sense(2, 0x04, 0x08);
            return SynchronizeCache();
        }
        case opcode::CloseTrackSession:
            return CloseTrackSession(c);
        case opcode::Blank:
            return Blank(c);
        case opcode::FormatUnit:
            return FormatUnit(c);
        case opcode::ReadFormatCapacities:
            return ReadFormatCapacities(c);
        case opcode::SetCdSpeed:
            return SetCdSpeed(c);
        case opcode::SetStreaming:
            return SetStreaming(c);
        case opcode::GetPerformance:
            return GetPerformance(c);
        case kPreventAllow:
            prevented_ = (c.cdb[4] & 1) != 0;
            return Good();
        case kStartStopUnit:
            return StartStopUnit(c);
        default:
            return InvalidOpcode();
    }
}

ScsiResult VirtualDrive::TestUnitReady() {
    if (auto r = NotReady())
        return *r;
    return Good();
}

// Fixed-format sense data of the drive's condition now, with the progress
// of an immediate close or format while it runs.
ScsiResult VirtualDrive::RequestSense(const ScsiCommand& c) {
    std::vector<uint8_t> d(kRequestSenseLength, 0);
    ByteWriter w(d.data(), d.size());
    w.U8(0, 0x70);
    w.U8(7, 10);  // additional length
    const bool busy = BusyNow();
    const bool deferred = !busy && deferred_.has_value();
    if (std::optional<ScsiResult> condition = NotReady()) {
        w.U8(0, deferred ? 0x71 : 0x70);
        w.U8(2, condition->senseKey);
        w.U8(12, condition->asc);
        w.U8(13, condition->ascq);
    }
    if (busy) {
        const uint64_t done = ActiveClock().TickCount() - busyFrom_;
        const uint64_t whole = busyUntil_ - busyFrom_;
        w.U8(15, 0x80);  // SKSV: the progress indication
        w.Be16(16, static_cast<uint16_t>(std::min<uint64_t>(done * 65536 / whole, 0xFFFF)));
    }
    return Reply(c, d, c.cdb[4]);
}

ScsiResult VirtualDrive::Inquiry(const ScsiCommand& c) {
    if (c.cdb[1] & 0x01)  // vital product data pages are not modelled
        return InvalidField();
    ByteReader cdb(c.cdb, c.cdbLength);
    return Reply(c, InquiryData(model_), cdb.Be16(3));
}

ScsiResult VirtualDrive::GetConfiguration(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    uint8_t rt = c.cdb[1] & 0x03;
    if (rt == 3)
        return InvalidField();
    return Reply(c, ConfigurationData(model_, CurrentProfile(), rt, cdb.Be16(2)), cdb.Be16(7));
}

ScsiResult VirtualDrive::StartStopUnit(const ScsiCommand& c) {
    bool loadEject = c.cdb[4] & 0x02;
    bool start = c.cdb[4] & 0x01;
    if (!loadEject)
        return Good();
    if (start) {
        if (trayOpen_) {
            trayOpen_ = false;
            readyAt_ = ActiveClock().TickCount() + (disc_ ? options_.becomingReadyMs : 0);
            events_.push_back(TrayEvent{false, disc_ != nullptr, readyAt_});
        }
        return Good();
    }
    if (prevented_)
        return Sense(5, 0x53, 0x02);  // medium removal prevented
    OpenTrayLocked();
    return Good();
}

// --- mode pages ----------------------------------------------------------

ScsiResult VirtualDrive::ModeSense(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    uint8_t control = c.cdb[2] >> 6;
    uint8_t page = c.cdb[2] & 0x3F;
    if (c.cdb[3] != 0)
        return InvalidField();
    if (control == 3)
        return Sense(5, 0x39, 0);  // saving parameters not supported
    std::vector<uint8_t> pages;
    auto add = [&](const std::vector<uint8_t>& p) {
        pages.insert(pages.end(), p.begin(), p.end());
    };
    auto writePage = [&]() {
        std::vector<uint8_t> p = control == 2 ? model_.writeParametersPage : writeParameters_;
        if (control == 1) {
            for (size_t i = 2; i < p.size(); ++i)
                p[i] = 0xFF;
        }
        return p;
    };
    if (page == 0x2A && !model_.capabilitiesPage.empty()) {
        add(model_.capabilitiesPage);
    } else if (page == 0x05 && !model_.writeParametersPage.empty()) {
        add(writePage());
    } else if (page == 0x3F) {
        if (!model_.writeParametersPage.empty())
            add(writePage());
        add(model_.capabilitiesPage);
    } else {
        return InvalidField();
    }
    std::vector<uint8_t> reply = ModeHeader(pages.size());
    reply.insert(reply.end(), pages.begin(), pages.end());
    return Reply(c, reply, cdb.Be16(7));
}

ScsiResult VirtualDrive::ModeSelect(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if (c.cdb[1] & 0x01)
        return InvalidField();  // save pages
    uint16_t length = cdb.Be16(7);
    if (length == 0)
        return Good();
    if (c.direction != DataDirection::ToDevice || c.transferLength < length || !c.data)
        return IoFailure(kErrorIoDevice);
    if (TakeFault(FaultKind::RefuseModeSelect, 0, 0) || HasFault(FaultKind::RefuseModeSelect))
        return InvalidParameter();
    ByteReader list(c.data, length);
    if (length < 8)
        return ParameterLength();
    size_t offset = 8 + size_t{list.Be16(6)};
    if (offset > length)
        return ParameterLength();
    std::vector<uint8_t> page05;
    while (offset + 2 <= length) {
        uint8_t code = list.U8(offset) & 0x3F;
        uint8_t pageLength = list.U8(offset + 1);
        if (code == 0 && pageLength == 0) {
            // The rest of a fixed-size parameter list is padding.
            bool padding = true;
            for (size_t i = offset; i < length; ++i)
                padding = padding && list.U8(i) == 0;
            if (padding)
                break;
        }
        if (!list.Has(offset, size_t{pageLength} + 2))
            return ParameterLength();
        if (code != 0x05 || model_.writeParametersPage.empty() ||
            pageLength != model_.writeParametersPage[1])
            return InvalidParameter();
        uint8_t writeType = list.U8(offset + 2) & 0x0F;
        uint8_t blockType = list.U8(offset + 4) & 0x0F;
        if (writeType > 4 || !ValidBlockType(blockType))
            return InvalidParameter();
        page05.assign(list.data() + offset, list.data() + offset + pageLength + 2);
        page05[0] &= 0x3F;  // the PS bit is the drive's to report
        offset += size_t{pageLength} + 2;
    }
    if (!page05.empty())
        writeParameters_ = std::move(page05);
    return Good();
}

// --- disc information ------------------------------------------------------

ScsiResult VirtualDrive::ReadDiscInformation(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if ((c.cdb[1] & 0x07) != 0)
        return InvalidField();
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
        w.Be32(16, 0x00611A00);  // lead-in start 97:26:00
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
        return InvalidField();  // by address and by session are not modelled
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
        return InvalidField();
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
    if (!ReadableHere())
        return Sense(5, 0x30, 0x02);  // cannot read medium, incompatible format
    if (HasFault(FaultKind::TocUnreadable))
        return Sense(3, 0x57, 0x00);  // unable to recover table of contents
    const std::vector<DiscTrack>& tracks = disc_->tracks();
    if (tracks.empty() || format > 1)
        return InvalidField();
    auto address = [&](int32_t lba) -> uint32_t {
        if (!msf)
            return static_cast<uint32_t>(lba);
        Msf m = LbaToMsf(lba);
        return (uint32_t{m.minute} << 16) | (uint32_t{m.second} << 8) | m.frame;
    };
    auto control = [](const DiscTrack& t) -> uint8_t { return t.audio ? 0x10 : 0x14; };
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
            return InvalidField();
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

// --- reading ---------------------------------------------------------------

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
        return OutOfRange();
    if (TakeFault(FaultKind::ReadError, lba, count))
        return Sense(3, 0x11, 0x00);
    if (disc_->rules().takesCueSheet() && int64_t{lba} + count > disc_->recordedEnd)
        return Sense(3, 0x11, 0x00);  // a recording that stopped short
    switch (disc_->ReadUserData(lba, count, c.data)) {
        case SectorRead::Ok:
            break;
        case SectorRead::IllegalMode:
            return IllegalMode();
        case SectorRead::OutOfRange:
            return OutOfRange();
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
    if (cdb.U8(10) != 0 || (fields != 0xF8 && fields != 0x10) || expected > 2)
        return InvalidField();  // sub-channels and partial headers are not modelled
    if (auto r = NotReady())
        return *r;
    if (disc_->rules().family != MediaFamily::Cd)
        return IllegalMode();
    if (count == 0)
        return Good();
    if (!disc_->tracks().empty() && lba >= 0 && int64_t{lba} + count <= disc_->LeadOut()) {
        for (uint32_t i = 0; i < count; ++i) {
            bool audio = disc_->IsAudio(lba + static_cast<int32_t>(i));
            if ((expected == 1 && !audio) || (expected == 2 && audio))
                return IllegalMode();
        }
    } else {
        return OutOfRange();
    }
    bool userOnly = fields == 0x10;
    uint64_t need = 0;
    for (uint32_t i = 0; i < count; ++i) {
        bool audio = disc_->IsAudio(lba + static_cast<int32_t>(i));
        need += userOnly && !audio ? kUserDataSize : kRawSectorSize;
    }
    if (c.direction != DataDirection::FromDevice || !c.data || c.transferLength < need)
        return IoFailure(kErrorIoDevice);
    if (TakeFault(FaultKind::ReadError, lba, count))
        return Sense(3, 0x11, 0x00);
    if (int64_t{lba} + count > disc_->recordedEnd)
        return Sense(3, 0x11, 0x00);
    uint8_t* out = c.data;
    std::vector<uint8_t> raw(kRawSectorSize);
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
    }
    if (!Transfer(need, false, c.timeoutSeconds))
        return IoFailure(kErrorSemTimeout);
    return Good();
}

// --- recording -------------------------------------------------------------

ScsiResult VirtualDrive::Write10(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    int32_t lba = static_cast<int32_t>(cdb.Be32(2));
    uint32_t count = cdb.Be16(7);
    if (auto r = NotReady())
        return *r;
    const MediaRules& rules = disc_->rules();
    if (!rules.writable() || !model_.Writes(disc_->profile()))
        return IncompatibleFormat();
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
            return OutOfRange();
    } else {
        if (disc_->status() == DiscStatus::Complete)
            return InvalidWriteAddress();
        if (rules.usesWriteParameters()) {
            uint8_t writeType = writeParameters_.size() > 4 ? writeParameters_[2] & 0x0F : 0;
            uint8_t blockType = writeParameters_.size() > 4 ? writeParameters_[4] & 0x0F : 0;
            if ((writeType != 0 && writeType != 2) || blockType != 8)
                return IllegalMode();
        }
        if (reservations_.empty())
            return SequenceError();  // no track reserved for the data
        auto track = std::find_if(reservations_.begin(), reservations_.end(), [&](auto& r) {
            return lba >= r.start && lba - int64_t{r.start} < r.length;
        });
        if (track == reservations_.end() ||
            lba != track->start + static_cast<int32_t>(track->written) ||
            track->written + count > track->length)
            return InvalidWriteAddress();
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
        return SequenceError();  // Session At Once needs its cue sheet first
    if (lba != nextCdLba_)
        return InvalidWriteAddress();
    if (int64_t{lba} + count > cue_->leadOut)
        return OutOfRange();
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
            return OutOfRange();
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

ScsiResult VirtualDrive::SendCueSheet(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    uint32_t length = cdb.Be24(6);
    if (auto r = NotReady())
        return *r;
    if (!disc_->rules().takesCueSheet() || !model_.Writes(disc_->profile()))
        return IncompatibleFormat();
    if (disc_->status() != DiscStatus::Empty)
        return SequenceError();
    if (writeParameters_.size() < 5 || (writeParameters_[2] & 0x0F) != 2)
        return SequenceError();  // the write type is not Session At Once
    if (c.direction != DataDirection::ToDevice || !c.data || c.transferLength < length)
        return IoFailure(kErrorIoDevice);
    if (HasFault(FaultKind::RefuseCueSheet))
        return InvalidParameter();
    if (length == 0 || length % 8 != 0)
        return ParameterLength();

    // Session At Once rules: the lead-in, then tracks 1, 2, ... each with
    // indexes rising from 0 or 1 and index 1 present, the first track with
    // a pre-gap from 00:00:00 of at least two seconds, times rising, data
    // forms matching the track's CTL, and the lead-out last.
    ByteReader sheet(c.data, length);
    struct Entry {
        uint8_t ctl, adr, tno, index, form;
        int32_t lba;
    };
    std::vector<Entry> entries;
    for (size_t at = 0; at + 8 <= length; at += 8) {
        Entry e{static_cast<uint8_t>(sheet.U8(at) >> 4),
                static_cast<uint8_t>(sheet.U8(at) & 0x0F),
                sheet.U8(at + 1),
                sheet.U8(at + 2),
                sheet.U8(at + 3),
                0};
        if (e.adr == 2 || e.adr == 3)
            continue;  // catalogue number and ISRC entries carry no layout
        uint8_t m = sheet.U8(at + 5), s = sheet.U8(at + 6), f = sheet.U8(at + 7);
        if (e.adr != 1 || s >= 60 || f >= 75)
            return InvalidParameter();
        e.lba = MsfToLba(m, s, f);
        entries.push_back(e);
    }
    auto dataForm = [](uint8_t form) { return form == 0x10 || form == 0x11 || form == 0x14; };
    auto audioForm = [](uint8_t form) { return form == 0x00 || form == 0x01; };
    if (entries.size() < 4)
        return InvalidParameter();
    const Entry& leadIn = entries.front();
    const Entry& leadOut = entries.back();
    if (leadIn.tno != 0 || leadIn.index != 0 || !(dataForm(leadIn.form) || audioForm(leadIn.form)))
        return InvalidParameter();
    if (leadOut.tno != 0xAA || leadOut.index != 1 ||
        !(dataForm(leadOut.form) || audioForm(leadOut.form)))
        return InvalidParameter();
    CuePlan plan;
    int32_t previous = INT32_MIN;
    for (size_t i = 1; i + 1 < entries.size(); ++i) {
        const Entry& e = entries[i];
        bool firstOfTrack = i == 1 || entries[i - 1].tno != e.tno;
        if (e.lba <= previous)
            return InvalidParameter();
        previous = e.lba;
        if (e.form != 0x00 && e.form != 0x10 && e.form != 0x11)
            return InvalidParameter();  // only host-supplied audio and Mode 1 data
        if (((e.ctl & 0x4) != 0) != dataForm(e.form))
            return InvalidParameter();
        if (firstOfTrack) {
            uint8_t expectedTno = i == 1 ? 1 : static_cast<uint8_t>(entries[i - 1].tno + 1);
            if (e.tno != expectedTno || e.tno > 99 || e.index > 1)
                return InvalidParameter();
            if (i == 1 && (e.index != 0 || e.lba != -kLeadInFrames))
                return InvalidParameter();
            if (i > 1 && entries[i - 1].index == 0)
                return InvalidParameter();  // the previous track never reached index 1
        } else if (e.index != entries[i - 1].index + 1 || e.form != entries[i - 1].form) {
            return InvalidParameter();
        }
        if (e.index == 1)
            plan.tracks.push_back(DiscTrack{e.tno, e.form == 0x00, e.lba, 0});
        if (e.tno == 1 && e.index == 1 && e.lba < 0)
            return InvalidParameter();  // pre-gap shorter than two seconds
        plan.regions.push_back(CueRegion{e.lba, 0, e.form, e.form == 0x00});
    }
    if (entries[entries.size() - 2].index == 0 || leadOut.lba <= previous)
        return InvalidParameter();
    if (leadOut.lba > static_cast<int32_t>(disc_->capacity()))
        return InvalidParameter();  // more than the disc holds
    plan.leadOut = leadOut.lba;
    for (size_t i = 0; i < plan.regions.size(); ++i) {
        int32_t end = i + 1 < plan.regions.size() ? plan.regions[i + 1].start : plan.leadOut;
        plan.regions[i].count = static_cast<uint32_t>(end - plan.regions[i].start);
    }
    for (size_t i = 0; i < plan.tracks.size(); ++i) {
        int32_t end = i + 1 < plan.tracks.size() ? plan.tracks[i + 1].start : plan.leadOut;
        plan.tracks[i].length = static_cast<uint32_t>(end - plan.tracks[i].start);
    }
    nextCdLba_ = plan.regions.front().start;
    cue_ = std::move(plan);
    return Good();
}

ScsiResult VirtualDrive::ReserveTrack(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if (c.cdb[1] & 0x01)
        return InvalidField();  // reservation by address is not modelled
    uint32_t size = cdb.Be32(5);
    if (auto r = NotReady())
        return *r;
    const MediaRules& rules = disc_->rules();
    if (!rules.takesReserveTrack() || !model_.Writes(disc_->profile()))
        return IncompatibleFormat();
    if (HasFault(FaultKind::RefuseReserveTrack) || disc_->status() == DiscStatus::Complete)
        return Sense(5, 0x72, 0x05);  // no more track reservations allowed
    if (size == 0)
        return InvalidField();
    uint32_t unit = rules.reservationUnit;
    uint64_t rounded = (uint64_t{size} + unit - 1) / unit * unit;
    int32_t start = disc_->LeadOut();
    uint8_t number = disc_->tracks().empty() ? 1 : disc_->tracks().back().number + 1;
    if (!reservations_.empty()) {
        start = reservations_.back().start + static_cast<int32_t>(reservations_.back().length);
        number = reservations_.back().number + 1;
    }
    if (start + rounded > disc_->capacity() || number > 99)
        return InvalidField();
    reservations_.push_back(Reservation{number, start, static_cast<uint32_t>(rounded), 0});
    return Good();
}

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
        disc.recordedEnd = nextCdLba_;
        disc.recordedBy = letter_;
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
    disc.closed = finished;
    reservations_.clear();
}

ScsiResult VirtualDrive::SynchronizeCache() {
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
        return IncompatibleFormat();
    if (function != 1 && function != 2 && function != 3 && function != 5 && function != 6)
        return InvalidField();
    if (dirty_)
        FinishRecording();
    const bool nothingRecorded = disc_->status() == DiscStatus::Empty && !rules.takesFormat();
    if (nothingRecorded)
        return SequenceError();
    // A close takes the drive's time: an immediate one answers at once and
    // reports how it ended to a later command, another blocks meanwhile.
    const bool fails = HasFault(FaultKind::CloseFails);
    const ScsiResult failure = Sense(3, 0x0C, 0x00);
    if (immediate) {
        StartLongOperation(0x07, FaultKind::LongClose,
                           fails ? std::optional<ScsiResult>(failure) : std::nullopt);
    } else if (uint32_t ms = FaultCount(FaultKind::LongClose)) {
        ActiveClock().Sleep(ms);
    }
    if (fails)
        return immediate ? Good() : failure;
    if (rules.takesFormat() || rules.takesCueSheet() || function == 1)
        return Good();  // a track was padded when the cache was written out
    disc_->closed = true;
    if (function >= 5 || !rules.needsClosing)
        disc_->SetStatus(DiscStatus::Complete);
    return Good();
}

ScsiResult VirtualDrive::Blank(const ScsiCommand& c) {
    uint8_t type = c.cdb[1] & 0x07;
    if (auto r = NotReady())
        return *r;
    if (type > 1)
        return InvalidField();
    if (!disc_->rules().takesBlank() || !model_.Writes(disc_->profile()))
        return IncompatibleFormat();
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
        return InvalidField();
    if (!disc_->rules().takesFormat() || !model_.Writes(disc_->profile()))
        return Sense(5, 0x30, 0x06);  // cannot format medium, incompatible medium
    if (c.direction != DataDirection::ToDevice || !c.data || c.transferLength < 12)
        return IoFailure(kErrorIoDevice);
    ByteReader list(c.data, c.transferLength);
    if (list.Be16(2) != 8)
        return ParameterLength();
    const uint8_t flags = list.U8(1);
    if ((flags & 0x02) && !(flags & 0x80))
        return InvalidParameter();  // IMMED counts only with FOV
    const bool immediate = flags & 0x02;
    const uint8_t formatType = list.U8(8) >> 2;
    const uint8_t subtype = list.U8(8) & 0x03;
    std::vector<uint8_t> types = FormatTypes(disc_->profile());
    if (std::find(types.begin(), types.end(), formatType) == types.end())
        return InvalidParameter();
    // Subtypes: 30h takes quick reformat, no certification, full and quick
    // certification; the other types take none.
    if (subtype != 0 && formatType != 0x30)
        return InvalidParameter();
    const bool fails = HasFault(FaultKind::FormatFails);
    const ScsiResult failure = Sense(3, 0x31, 0x01);  // format command failed
    if (immediate) {
        StartLongOperation(0x04, FaultKind::LongFormat,
                           fails ? std::optional<ScsiResult>(failure) : std::nullopt);
    } else if (uint32_t ms = FaultCount(FaultKind::LongFormat)) {
        ActiveClock().Sleep(ms);
    }
    if (fails)
        return immediate ? Good() : failure;
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

// --- speeds ----------------------------------------------------------------

ScsiResult VirtualDrive::SetCdSpeed(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    cdReadSpeed_ = cdb.Be16(2);
    cdWriteSpeed_ = cdb.Be16(4);
    return Good();
}

ScsiResult VirtualDrive::SetStreaming(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if (c.cdbLength < 12 || cdb.U8(8) != 0)
        return InvalidField();  // only the performance descriptor is modelled
    uint16_t length = cdb.Be16(9);
    if (length == 0)
        return Good();
    if (c.direction != DataDirection::ToDevice || !c.data || c.transferLength < length)
        return IoFailure(kErrorIoDevice);
    if (length < kStreamingDescriptorLength)
        return ParameterLength();
    ByteReader d(c.data, length);
    ++setStreamingCount_;
    if (d.U8(0) & 0x04) {  // RDD: back to the drive's defaults
        streamingRead_ = 0;
        streamingWrite_ = 0;
        cdReadSpeed_ = 0xFFFF;
        cdWriteSpeed_ = 0xFFFF;
        return Good();
    }
    uint32_t readTime = d.Be32(16);
    uint32_t writeTime = d.Be32(24);
    if (readTime == 0 || writeTime == 0 || d.Be32(4) > d.Be32(8))
        return InvalidParameter();
    streamingRead_ = static_cast<uint32_t>(uint64_t{d.Be32(12)} * 1000 / readTime);
    streamingWrite_ = static_cast<uint32_t>(uint64_t{d.Be32(20)} * 1000 / writeTime);
    return Good();
}

ScsiResult VirtualDrive::GetPerformance(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    if (c.cdbLength < 12 || cdb.U8(10) != 0x03)
        return InvalidField();  // write speed descriptors are what is modelled
    if (HasFault(FaultKind::RefuseGetPerformance))
        return InvalidField();
    if (auto r = NotReady())
        return *r;
    uint16_t maxDescriptors = cdb.Be16(8);
    return Reply(c, WriteSpeedData(model_, disc_->profile(), disc_->capacity(), maxDescriptors),
                 c.transferLength);
}

}  // namespace vestrel::sim
