// The drive's state: tray and disc, readiness, faults and transfer
// timing, the commands that report or change that state, and the
// dispatcher that hands each command to its family (reading in
// virtual_drive_reading.cpp, recording in virtual_drive_recording.cpp,
// speeds and mode pages in virtual_drive_speeds_pages.cpp).
#include "simulator/virtual_drive.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "drive/bytes.h"
#include "drive/cdb.h"
#include "drive/clock.h"
#include "simulator/virtual_drive_replies.h"

namespace vestrel::sim {

namespace {

constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kPreventAllow = 0x1E;
constexpr uint8_t kReadCapacity = 0x25;

// How far a stream of transfers may fall behind its pace and still catch up.
constexpr uint32_t kStreamGapMs = 250;

bool Before(uint32_t now, uint32_t t) {
    return static_cast<int32_t>(now - t) < 0;
}

}  // namespace

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

std::optional<ScsiResult> VirtualDrive::RunLongOperation(bool immediate, uint8_t ascq,
                                                         FaultKind slow, FaultKind failing,
                                                         ScsiResult failure) {
    const bool fails = HasFault(failing);
    if (!immediate) {
        if (uint32_t ms = FaultCount(slow))
            ActiveClock().Sleep(ms);
        return fails ? std::optional(failure) : std::nullopt;
    }
    busyFrom_ = ActiveClock().TickCount();
    busyUntil_ = busyFrom_ + FaultCount(slow);
    busyAscq_ = ascq;
    busy_ = busyUntil_ != busyFrom_;
    deferred_ = fails ? std::optional(failure) : std::nullopt;
    return fails ? std::optional(Good()) : std::nullopt;
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
        // The drive's state.
        case opcode::TestUnitReady:
            return TestUnitReady();
        case opcode::RequestSense:
            return RequestSense(c);
        case opcode::Inquiry:
            return Inquiry(c);
        case opcode::GetConfiguration:
            return GetConfiguration(c);
        case kPreventAllow:
            prevented_ = (c.cdb[4] & 1) != 0;
            return Good();
        case kStartStopUnit:
            return StartStopUnit(c);
        // Reading.
        case opcode::ReadToc:
            return ReadToc(c);
        case kReadCapacity:
            return ReadCapacity(c);
        case opcode::ReadDiscInformation:
            return ReadDiscInformation(c);
        case opcode::ReadTrackInformation:
            return ReadTrackInformation(c);
        case opcode::Read10:
            return Read10(c);
        case opcode::ReadCd:
            return ReadCd(c);
        case opcode::ReadSubChannel:
            return ReadSubChannel(c);
        // Recording.
        case opcode::Write10:
            return Write10(c);
        case opcode::SendCueSheet:
            return SendCueSheet(c);
        case opcode::ReserveTrack:
            return ReserveTrack(c);
        case opcode::SynchronizeCache:
            return SynchronizeCache();
        case opcode::CloseTrackSession:
            return CloseTrackSession(c);
        case opcode::Blank:
            return Blank(c);
        case opcode::FormatUnit:
            return FormatUnit(c);
        case opcode::ReadFormatCapacities:
            return ReadFormatCapacities(c);
        // Speeds and mode pages.
        case opcode::ModeSense10:
            return ModeSense(c);
        case opcode::ModeSelect10:
            return ModeSelect(c);
        case opcode::SetCdSpeed:
            return SetCdSpeed(c);
        case opcode::SetStreaming:
            return SetStreaming(c);
        case opcode::GetPerformance:
            return GetPerformance(c);
        default:
            return kInvalidOpcode;
    }
}

// --- commands on the drive's state ----------------------------------------

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
        return kInvalidField;
    ByteReader cdb(c.cdb, c.cdbLength);
    return Reply(c, InquiryData(model_), cdb.Be16(3));
}

ScsiResult VirtualDrive::GetConfiguration(const ScsiCommand& c) {
    ByteReader cdb(c.cdb, c.cdbLength);
    uint8_t rt = c.cdb[1] & 0x03;
    if (rt == 3)
        return kInvalidField;
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

}  // namespace vestrel::sim
