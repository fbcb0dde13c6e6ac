// One simulated drive: its model, tray, the disc in it, and the state a
// recorder keeps between commands (write parameters, cue sheet, track
// reservations, speeds). Commands are answered the way MMC drives answer
// them; everything is guarded by the drive's own mutex, so commands to
// different drives run in parallel.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "drive/transport.h"
#include "simulator/disc.h"
#include "simulator/drive_model.h"
#include "simulator/fault.h"

namespace vestrel::sim {

class QChannel;

struct DriveOptions {
    uint32_t becomingReadyMs = 800;
    bool instant = true;            // no transfer time
    bool openFails = false;         // status 24
    uint32_t passThroughError = 0;  // status 255 with this OS error
    std::vector<Fault> faults;
};

// A tray movement, for the events and the operator.
struct TrayEvent {
    bool opened = false;
    bool discInside = false;
    uint32_t readyAt = 0;  // tick when the disc can be read (closings)
};

struct DriveState {
    bool trayOpen = false;
    bool removalPrevented = false;
    bool hasDisc = false;
    uint16_t currentProfile = 0;
    DiscStatus discStatus = DiscStatus::Empty;
    std::string discName;
    uint32_t cdReadSpeed = 0;  // SET CD SPEED (FFFFh = maximum)
    uint32_t cdWriteSpeed = 0;
    uint32_t streamingReadSpeed = 0;  // SET STREAMING, kB/s; 0 = drive defaults
    uint32_t streamingWriteSpeed = 0;
    uint32_t setStreamingCount = 0;
    std::vector<uint8_t> writeParameters;  // current page 05h
    bool cueSheetAccepted = false;
    size_t reservations = 0;
    // Byte 4 of the last accepted FORMAT UNIT descriptor (type << 2 |
    // subtype); -1 before any.
    int lastFormat = -1;
    bool busy = false;  // an immediate close or format still running
};

class VirtualDrive {
  public:
    VirtualDrive(char16_t letter, DriveModel model, DriveOptions options);

    char16_t letter() const { return letter_; }
    const DriveModel& model() const { return model_; }

    ScsiResult Execute(const ScsiCommand& command);

    // Storage requests and hands at the tray.
    bool AllowRemoval();
    bool OpenTray();  // false while removal is prevented
    void CloseTray();
    void PreventRemoval(bool prevent);
    // The tray must be open: a disc goes in or comes out.
    bool InsertDisc(std::unique_ptr<Disc> disc);
    std::unique_ptr<Disc> RemoveDisc();
    // The state the bay starts in: no events, the disc ready at once.
    void Preload(std::unique_ptr<Disc> disc, bool trayOpen);

    std::vector<TrayEvent> TakeTrayEvents();
    DriveState State();
    // The disc's volume label when the drive could read it now.
    std::optional<std::string> ReadableLabel();
    void AddFault(const Fault& fault);
    void SetInstant(bool instant);
    // Runs `f` on the disc in the drive (or nullptr) under the drive's lock.
    template <typename F>
    auto WithDisc(F f) {
        std::lock_guard lock(mutex_);
        return f(disc_.get());
    }

  private:
    // A Session At Once recording's layout from its cue sheet, and the
    // tracks reserved for a recording under way.
    struct CueRegion {
        int32_t start = 0;
        uint32_t count = 0;
        uint8_t dataForm = 0;
        bool audio = false;
    };
    struct CuePlan {
        std::vector<CueRegion> regions;
        std::vector<DiscTrack> tracks;
        int32_t leadOut = 0;
        DiscMetadata metadata;  // what the recorded disc carries besides its sectors
        bool leadInRw = false;  // the host sends the lead-in's R-W (data form 41h)
        int32_t leadInStart = 0;
        std::vector<uint8_t> leadIn;  // its 96-byte blocks as written, from leadInStart
        bool LeadInWritten() const;
    };
    struct Reservation {
        uint8_t number = 1;
        int32_t start = 0;
        uint32_t length = 0;
        uint32_t written = 0;
    };

    // State, readiness and faults (virtual_drive.cpp).
    std::optional<ScsiResult> NotReady();
    bool BusyNow();
    // A close or format, taking as long as the drive's `slow` fault says: an
    // immediate one answers at once and leaves the drive busy (2/04/`ascq`),
    // another blocks. Under the `failing` fault it ends in `failure`, which an
    // immediate one leaves to the next command. Returns the command's answer
    // when the operation fails.
    std::optional<ScsiResult> RunLongOperation(bool immediate, uint8_t ascq, FaultKind slow,
                                               FaultKind failing, ScsiResult failure);
    uint32_t FaultCount(FaultKind kind) const;
    bool Ready() const;
    bool Compatible() const;
    bool ReadableHere() const;
    uint16_t CurrentProfile() const;
    ScsiResult Reply(const ScsiCommand& c, const std::vector<uint8_t>& bytes, size_t allocation);
    bool Transfer(uint64_t bytes, bool write, uint32_t timeoutSeconds);
    // True when a fault of `kind` applies (and uses one of its counts); for
    // faults at an address, `hit` receives that address.
    bool TakeFault(FaultKind kind, int32_t lba, uint32_t count, int32_t* hit = nullptr);
    bool HasFault(FaultKind kind) const;
    void OpenTrayLocked();

    // Commands on the drive's state (virtual_drive.cpp).
    ScsiResult TestUnitReady();
    ScsiResult RequestSense(const ScsiCommand& c);
    ScsiResult Inquiry(const ScsiCommand& c);
    ScsiResult GetConfiguration(const ScsiCommand& c);
    ScsiResult StartStopUnit(const ScsiCommand& c);

    // Reading (virtual_drive_reading.cpp).
    ScsiResult ReadDiscInformation(const ScsiCommand& c);
    ScsiResult ReadTrackInformation(const ScsiCommand& c);
    ScsiResult ReadToc(const ScsiCommand& c);
    ScsiResult ReadCapacity(const ScsiCommand& c);
    ScsiResult Read10(const ScsiCommand& c);
    ScsiResult ReadCd(const ScsiCommand& c);
    uint8_t* AppendSubChannel(const QChannel& q, int32_t lba, uint8_t selection, uint8_t* out);
    ScsiResult ReadSubChannel(const ScsiCommand& c);
    ScsiResult ReadTocCdText(const ScsiCommand& c);
    ScsiResult ReadAtip(const ScsiCommand& c);

    // Recording (virtual_drive_recording.cpp).
    ScsiResult Write10(const ScsiCommand& c);
    ScsiResult WriteCd(const ScsiCommand& c, int32_t lba, uint32_t count);
    ScsiResult WriteLeadIn(const ScsiCommand& c, int32_t lba, uint32_t count);
    ScsiResult SendCueSheet(const ScsiCommand& c);
    ScsiResult ReserveTrack(const ScsiCommand& c);
    void FinishRecording();
    ScsiResult SynchronizeCache();
    ScsiResult CloseTrackSession(const ScsiCommand& c);
    ScsiResult Blank(const ScsiCommand& c);
    ScsiResult FormatUnit(const ScsiCommand& c);
    ScsiResult ReadFormatCapacities(const ScsiCommand& c);

    // Speeds and mode pages (virtual_drive_speeds_pages.cpp).
    uint32_t EffectiveWriteSpeed() const;
    uint32_t EffectiveReadSpeed() const;
    ScsiResult ModeSense(const ScsiCommand& c);
    ScsiResult ModeSelect(const ScsiCommand& c);
    ScsiResult SetCdSpeed(const ScsiCommand& c);
    ScsiResult SetStreaming(const ScsiCommand& c);
    ScsiResult GetPerformance(const ScsiCommand& c);

    const char16_t letter_;
    const DriveModel model_;
    DriveOptions options_;

    std::mutex mutex_;
    // The tray and the disc.
    bool trayOpen_ = false;
    bool prevented_ = false;
    std::unique_ptr<Disc> disc_;
    uint32_t readyAt_ = 0;
    uint32_t notReadyReplies_ = 0;
    std::vector<TrayEvent> events_;

    // Speeds and the write parameters page as the host set them.
    std::vector<uint8_t> writeParameters_;
    uint32_t cdReadSpeed_ = 0xFFFF;
    uint32_t cdWriteSpeed_ = 0xFFFF;
    uint32_t streamingRead_ = 0;
    uint32_t streamingWrite_ = 0;
    uint32_t setStreamingCount_ = 0;

    // The recording under way.
    std::optional<CuePlan> cue_;
    int32_t nextCdLba_ = 0;
    std::vector<Reservation> reservations_;
    int32_t overwriteEnd_ = 0;
    int lastFormat_ = -1;
    // An immediate close or format under way: the answer ASCQ (04h
    // format, 07h operation in progress), when it began and ends, and the
    // error it ends in.
    bool busy_ = false;
    uint8_t busyAscq_ = 0;
    uint32_t busyFrom_ = 0;
    uint32_t busyUntil_ = 0;
    std::optional<ScsiResult> deferred_;
    bool dirty_ = false;  // written since the last SYNCHRONIZE CACHE
    // Pacing of a stream of transfers: when it began and the time its
    // bytes take at the drive's speed.
    uint32_t paceTick_ = 0;
    uint64_t pacedMicros_ = 0;
    bool streaming_ = false;
};

// ScsiResult of a Check Condition.
constexpr ScsiResult Sense(uint8_t key, uint8_t asc, uint8_t ascq) {
    return ScsiResult{StatusCheckCondition, 0, key, asc, ascq};
}

}  // namespace vestrel::sim
