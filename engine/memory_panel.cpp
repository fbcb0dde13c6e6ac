#include "engine/memory_panel.h"

#include "drive/drive_lock.h"
#include "drive/transport.h"

namespace vestrel {

namespace {

// One field read or written under the drive lock.
template <typename T>
T Locked(const T& field) {
    DriveLockGuard lock;
    return field;
}

template <typename T>
void SetLocked(T& field, const T& value) {
    DriveLockGuard lock;
    field = value;
}

}  // namespace

MemoryPanel::MemoryPanel(char16_t driveLetter) {
    state_.driveLetter = driveLetter;
    state_.status = u"Preparing.";
}

void MemoryPanel::Click(uint32_t link, bool confirmed) {
    switch (link) {
        case panel_link::SkipSource:
            if (confirmed)
                SetSkipFlag(1);
            break;
        case panel_link::Eject:
        case panel_link::ChangeDisc:
            EjectMedium(state_.driveLetter);
            SetUserReply(panel_link::ChangeDisc);
            break;
        case panel_link::DiscTypes:
        case panel_link::ShowContents:
            break;  // they only show something to the person
        default:
            SetUserReply(link);
            break;
    }
}

void MemoryPanel::RequestStop() {
    SetRunState(RunState::Stopped);
}

PanelState MemoryPanel::State() {
    return Locked(state_);
}

uint32_t MemoryPanel::Links() {
    return Locked(links_);
}

uint32_t MemoryPanel::Progress() {
    return Locked(progress_);
}

bool MemoryPanel::Busy() {
    return Locked(busy_);
}

std::vector<MemoryPanel::Update> MemoryPanel::Updates() {
    return Locked(updates_);
}

std::vector<std::u16string> MemoryPanel::Statuses() {
    DriveLockGuard lock;
    std::vector<std::u16string> statuses;
    for (const Update& u : updates_) {
        if (statuses.empty() || statuses.back() != u.status)
            statuses.push_back(u.status);
    }
    return statuses;
}

std::vector<std::u16string> MemoryPanel::Information() {
    return Locked(information_);
}

std::vector<uint32_t> MemoryPanel::ProgressPositions() {
    return Locked(positions_);
}

void MemoryPanel::SetStatus(const std::u16string& text) {
    SetLocked(state_.status, text);
}

void MemoryPanel::SetCaption(const std::u16string& text) {
    SetLocked(state_.caption, text);
}

RunState MemoryPanel::GetRunState() {
    return Locked(runState_);
}

void MemoryPanel::SetRunState(RunState state) {
    DriveLockGuard lock;
    // Nothing leaves the stopped or finished state.
    if (runState_ == RunState::Stopped || runState_ == RunState::Finished)
        return;
    runState_ = state;
}

uint32_t MemoryPanel::GetSkipFlag() {
    return Locked(skipFlag_);
}

void MemoryPanel::SetSkipFlag(uint32_t flag) {
    SetLocked(skipFlag_, flag);
}

uint32_t MemoryPanel::GetUserReply() {
    return Locked(userReply_);
}

void MemoryPanel::SetUserReply(uint32_t reply) {
    SetLocked(userReply_, reply);
}

void MemoryPanel::PostUpdate(uint32_t how, uint32_t links) {
    Update update;
    {
        DriveLockGuard lock;
        if (!panel_update::IsNormal(how)) {
            progress_ = 0;
            if (runState_ != RunState::Finished)
                runState_ = RunState::Stopped;
        }
        if (panel_update::ReplacesLinks(how))
            links_ = links;
        update.how = how;
        update.links = links_;
        update.status = state_.status;
        update.caption = state_.caption;
        updates_.push_back(update);
    }
    if (panel_update::ReplacesLinks(how)) {
        const uint32_t clicks = LinksClickedAtOnce(links);
        for (uint32_t link = 1; link != 0 && link <= clicks; link <<= 1) {
            if (clicks & link)
                Click(link);
        }
    }
    if (observer_)
        observer_(*this, update);
}

void MemoryPanel::EndBusyAnimation() {
    DriveLockGuard lock;
    busy_ = false;
    progress_ = 0;
}

void MemoryPanel::SetProgress(uint32_t position) {
    DriveLockGuard lock;
    progress_ = position;
    positions_.push_back(position);
}

void MemoryPanel::ShowInformation(const std::u16string& text) {
    DriveLockGuard lock;
    information_.push_back(text);
}

// The observer is set before the worker starts and is not changed while
// it runs, so it is read without the lock.
void MemoryPanel::CopyStarted(const CopyAttempt& attempt) {
    if (copyObserver_)
        copyObserver_(attempt);
}

void MemoryPanel::CopyEnded(const CopyAttempt& attempt) {
    if (copyObserver_)
        copyObserver_(attempt);
}

}  // namespace vestrel
