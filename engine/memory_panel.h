// A progress panel kept in memory, for the console runner and the tests. It
// behaves as the wizard's panel does: an update with the error flag stops
// it, showing the Eject link ejects the tray and answers 4, showing the
// Continue link answers 200h; links are clicked through Click. An observer
// sees every update, which is how an automatic operator answers links.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/panel_channel.h"

namespace vestrel {

class MemoryPanel : public PanelChannel {
  public:
    struct Update {
        uint32_t how = 0;
        uint32_t links = 0;  // the links shown after this update
        std::u16string status;
        std::u16string caption;
    };
    // Called after every update, outside the drive lock, on the worker's
    // thread. It may click links.
    using Observer = std::function<void(MemoryPanel&, const Update&)>;

    explicit MemoryPanel(char16_t driveLetter);

    void SetObserver(Observer observer) { observer_ = std::move(observer); }
    // Sees the writer's copies start and end, on the worker's thread.
    using CopyObserver = std::function<void(const CopyAttempt&)>;
    void SetCopyObserver(CopyObserver observer) { copyObserver_ = std::move(observer); }

    // The user-interface side.
    // Clicks a link as a person would. Skip Source asks for confirmation:
    // `confirmed` is the answer.
    void Click(uint32_t link, bool confirmed = true);
    // Stops the worker as destroying the panel or the Exit button would.
    void RequestStop();

    // Snapshots, each taken under the drive lock.
    PanelState State();
    uint32_t Links();
    uint32_t Progress();
    bool Busy();  // still showing the busy animation
    std::vector<Update> Updates();
    std::vector<std::u16string> Statuses();  // every status shown, in order
    std::vector<std::u16string> Information();
    std::vector<uint32_t> ProgressPositions();

    // PanelChannel
    void SetStatus(const std::u16string& text) override;
    void SetCaption(const std::u16string& text) override;
    RunState GetRunState() override;
    void SetRunState(RunState state) override;
    uint32_t GetSkipFlag() override;
    void SetSkipFlag(uint32_t flag) override;
    uint32_t GetUserReply() override;
    void SetUserReply(uint32_t reply) override;
    void PostUpdate(uint32_t how, uint32_t links) override;
    bool ProgressBarReady() override { return true; }
    void EndBusyAnimation() override;
    void SetProgress(uint32_t position) override;
    void ShowInformation(const std::u16string& text) override;
    void CopyStarted(const CopyAttempt& attempt) override;
    void CopyEnded(const CopyAttempt& attempt) override;

  private:
    PanelState state_;
    RunState runState_ = RunState::Idle;
    uint32_t skipFlag_ = 0;
    uint32_t userReply_ = 0;
    uint32_t links_ = 0;
    uint32_t progress_ = 0;
    bool busy_ = true;
    std::vector<Update> updates_;
    std::vector<std::u16string> information_;
    std::vector<uint32_t> positions_;
    Observer observer_;
    CopyObserver copyObserver_;
};

}  // namespace vestrel
