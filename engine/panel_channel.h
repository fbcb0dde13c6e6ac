// How a reader or writer thread meets its progress panel: the texts it
// shows, the run state, the skip flag and user reply it polls, the progress
// bar, and the PanelUpdate notification that makes the panel redraw. The
// wizard's panel keeps these in window properties and posts messages; the
// console runner and the tests keep them in memory.
#pragma once

#include <cstdint>
#include <string>

#include "engine/copy_attempt.h"

namespace vestrel {

enum class RunState : uint32_t {
    Idle = 0,
    Reading = 1,
    Writing = 2,
    Stopped = 3,  // an error, the last source skipped, or a stop request
    Finished = 4,
};

// The links a panel can show; a link's value is its bit.
namespace panel_link {
constexpr uint32_t SkipSource = 0x001;
constexpr uint32_t Eject = 0x002;
constexpr uint32_t ChangeDisc = 0x004;
constexpr uint32_t DiscTypes = 0x008;
constexpr uint32_t ShowContents = 0x010;
constexpr uint32_t Yes = 0x020;
constexpr uint32_t ShowPath = 0x040;
constexpr uint32_t Retry = 0x080;
constexpr uint32_t SkipCopy = 0x100;
constexpr uint32_t Continue = 0x200;
}  // namespace panel_link

// Of the links an update shows, those the panel clicks itself at once, to
// be clicked from the lowest bit up: Eject (the tray opens and the user
// reply becomes 4) and then Continue (the reply becomes 200h).
constexpr uint32_t LinksClickedAtOnce(uint32_t links) {
    return links & (panel_link::Eject | panel_link::Continue);
}

// The caption of link 40h: it sits beside Retry and Skip Source when an
// image file cannot be opened while recording, and shows that file's path.
inline constexpr char16_t kShowPathCaption[] = u"Show File";

// PanelUpdate's first argument: the high word says normal (1) or error or
// stop (0); the low word says whether the links are replaced by the second
// argument (1) or kept (0).
namespace panel_update {
constexpr uint32_t Normal = 0x10000;
constexpr uint32_t NormalWithLinks = 0x10001;
constexpr uint32_t Stopped = 0x00000;
constexpr uint32_t StoppedWithLinks = 0x00001;
constexpr bool IsNormal(uint32_t w) {
    return (w >> 16) != 0;
}
constexpr bool ReplacesLinks(uint32_t w) {
    return (w & 0xFFFF) == 1;
}
}  // namespace panel_update

// What a panel shows of its drive.
struct PanelState {
    char16_t driveLetter = 0;
    uint16_t topProfile = 0;
    std::u16string vendor;
    std::u16string caption;
    std::u16string status;
};

// A worker thread's view of its panel. Implementations guard every value
// with the drive lock, so a worker may call any of these at any time; none
// of them waits for the user-interface thread.
class PanelChannel {
  public:
    virtual ~PanelChannel() = default;

    virtual void SetStatus(const std::u16string& text) = 0;
    virtual void SetCaption(const std::u16string& text) = 0;

    virtual RunState GetRunState() = 0;
    virtual void SetRunState(RunState state) = 0;
    virtual uint32_t GetSkipFlag() = 0;
    virtual void SetSkipFlag(uint32_t flag) = 0;
    virtual uint32_t GetUserReply() = 0;
    virtual void SetUserReply(uint32_t reply) = 0;

    // Asks the panel to redraw from its state; see panel_update.
    virtual void PostUpdate(uint32_t how, uint32_t links) = 0;

    // True once the panel's progress bar exists.
    virtual bool ProgressBarReady() = 0;
    // Switches the bar from its busy animation to a plain bar at 0.
    virtual void EndBusyAnimation() = 0;
    virtual void SetProgress(uint32_t position) = 0;  // 0..1000

    // An information message owned by the panel; returns once dismissed.
    virtual void ShowInformation(const std::u16string& text) = 0;

    // A writer's copy began recording onto a ready blank, and ended. Told on
    // the worker's thread; the next copy starts only once these return, so
    // a record kept here is up to date before the recorder goes on.
    virtual void CopyStarted(const CopyAttempt& /*attempt*/) {}
    virtual void CopyEnded(const CopyAttempt& /*attempt*/) {}
};

// The progress positions posted to panels are rationed: 0 and 1000 always
// pass, others only when at least 500 ms have passed since the last update
// of any panel (or the clock went back). Shared by all workers.
bool ProgressUpdateDue(uint32_t position);
// Forgets the last update time (a new run starts afresh).
void ResetProgressRationing();

}  // namespace vestrel
