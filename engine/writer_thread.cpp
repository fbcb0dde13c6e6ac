#include "engine/writer_thread.h"

#include "drive/capabilities.h"
#include "drive/clock.h"
#include "drive/drive_lock.h"
#include "drive/inventory.h"
#include "drive/mmc_commands.h"
#include "drive/power.h"
#include "drive/replies.h"
#include "drive/text.h"
#include "engine/setup_attempts.h"
#include "engine/write_parameters.h"
#include "engine/write_speed.h"

namespace vestrel {

std::vector<WriterJob> WriterJobsFor(char16_t recorder, const std::vector<SourceRecord>& sources) {
    std::vector<WriterJob> jobs;
    for (size_t i = 0; i < sources.size(); ++i) {
        const SourceRecord& source = sources[i];
        for (const DestinationEntry& d : source.destinations) {
            if (d.recorderLetter != recorder)
                continue;
            WriterJob job;
            job.source = i;
            job.discType = source.discType;
            job.discBlocks = source.discBlocks;
            job.label = source.volumeLabel;
            job.copies = d.copies;
            job.tracks = WriterTracksOf(source.tracks);
            job.marks = source.marks;
            jobs.push_back(std::move(job));
            break;
        }
    }
    return jobs;
}

namespace {

// Passes everything on to the panel and notes what a copy's record needs:
// the last status shown and whether the copy was being verified.
class StatusTap : public PanelChannel {
  public:
    explicit StatusTap(PanelChannel& panel) : panel_(panel) {}
    const std::u16string& last() const { return last_; }
    bool verifying() const { return verifying_; }

    void SetStatus(const std::u16string& text) override {
        last_ = text;
        verifying_ = verifying_ || text == kVerifyingStatus;
        panel_.SetStatus(text);
    }
    void SetCaption(const std::u16string& text) override { panel_.SetCaption(text); }
    RunState GetRunState() override { return panel_.GetRunState(); }
    void SetRunState(RunState state) override { panel_.SetRunState(state); }
    uint32_t GetSkipFlag() override { return panel_.GetSkipFlag(); }
    void SetSkipFlag(uint32_t flag) override { panel_.SetSkipFlag(flag); }
    uint32_t GetUserReply() override { return panel_.GetUserReply(); }
    void SetUserReply(uint32_t reply) override { panel_.SetUserReply(reply); }
    void PostUpdate(uint32_t how, uint32_t links) override { panel_.PostUpdate(how, links); }
    bool ProgressBarReady() override { return panel_.ProgressBarReady(); }
    void EndBusyAnimation() override { panel_.EndBusyAnimation(); }
    void SetProgress(uint32_t position) override { panel_.SetProgress(position); }
    void ShowInformation(const std::u16string& text) override { panel_.ShowInformation(text); }
    void CopyStarted(const CopyAttempt& attempt) override { panel_.CopyStarted(attempt); }
    void CopyEnded(const CopyAttempt& attempt) override { panel_.CopyEnded(attempt); }

  private:
    PanelChannel& panel_;
    std::u16string last_;
    bool verifying_ = false;
};

// How a step of the per-copy sequence ends.
enum class Step {
    Next,        // go on with the next step
    WaitAgain,   // back to waiting for the tray to open
    SkipSource,  // the person gave up this source
    Stop,        // run state 3
    Fatal,       // the writer cannot go on (write parameters)
};

class Writer {
  public:
    Writer(char16_t letter, PanelChannel& panel, uint32_t options, std::vector<WriterJob> jobs)
        : letter_(letter), panel_(panel), options_(options), jobs_(std::move(jobs)) {}
    void Run();

  private:
    void Show(const std::u16string& status, uint32_t links) {
        panel_.SetStatus(status);
        panel_.PostUpdate(panel_update::NormalWithLinks, links);
    }
    // The skip flag or a stop, checked while waiting.
    Step Interrupted() {
        if (panel_.GetSkipFlag() == 1)
            return Step::SkipSource;
        if (panel_.GetRunState() == RunState::Stopped)
            return Step::Stop;
        return Step::Next;
    }
    bool TrayOpen() { return TrayOpenBlocks(letter_) == TrayDecision::HoldsUp; }
    Step WaitForTrayToOpen();
    Step WaitForDisc(const WriterJob& job);
    Step CheckDisc(const WriterJob& job);
    Step CheckSize(const WriterJob& job);
    Step Erase();
    // Polls until the user reply is not 0; false on a stop.
    bool WaitForReply() {
        return PollPanel(panel_, [&] { return panel_.GetUserReply() != 0; });
    }
    Step WriteCopy(const WriterJob& job, uint32_t copy, bool lastCopy);
    // Records the copy, telling the panel when it starts and ends.
    CopyOutcome Record(const WriterJob& job, uint32_t copy);
    Step PrepareJob(WriterJob& job);
    CdTextCopy PlanLeadIn(LeadInText& leadIn);

    char16_t letter_;
    PanelChannel& panel_;
    uint32_t options_ = 0;
    std::vector<WriterJob> jobs_;
    CueSheet cue_;
    // The job's CD-Text and the cue sheet of a copy whose lead-in carries
    // it; both empty when the source has no texts.
    std::vector<CdTextPack> packs_;
    CueSheet cdTextCue_;
    Blank blank_;
    bool recordsRw_ = false;   // the recorder, with the blank in it, records R-W
    DiscInformation disc_;     // from the last READ DISC INFORMATION
    uint32_t writeSpeed_ = 0;  // kB/s, as set for the blank in the recorder
    bool fatal_ = false;
    // A copy or a source was given up on the way: the run must not end as
    // if every copy had been written.
    bool incomplete_ = false;
};

Step Writer::WaitForTrayToOpen() {
    const uint32_t start = ActiveClock().TickCount();
    for (;;) {
        if (TrayOpen())
            return Step::Next;
        if (ActiveClock().TickCount() - start > 2500) {
            PauseRandomly(0, 200);
            return Step::Next;
        }
        AllowMediumRemoval(letter_);
        ActiveClock().Sleep(100);
        if (Step s = Interrupted(); s != Step::Next)
            return s;
    }
}

Step Writer::WaitForDisc(const WriterJob& job) {
    panel_.SetStatus(u"Insert a compatible blank disc to write to.");
    panel_.SetUserReply(job.discType);
    panel_.PostUpdate(panel_update::NormalWithLinks,
                      panel_link::SkipSource | panel_link::DiscTypes);
    while (TrayOpen()) {
        ActiveClock().Sleep(100);
        if (Step s = Interrupted(); s != Step::Next)
            return s;
    }
    return Step::Next;
}

Step Writer::CheckDisc(const WriterJob& job) {
    Show(u"Detecting...", 0);
    ActiveClock().Sleep(1500);
    if (!SendTestUnitReady(letter_).ok()) {
        Show(u"No disc detected. Please insert one.", panel_link::SkipSource | panel_link::Eject);
        return Step::WaitAgain;
    }
    std::vector<uint8_t> config(kGetConfigurationLength);
    SendGetConfiguration(letter_, config);
    blank_.profile = ReadConfigurationHeader(ByteReader(config)).currentProfile;
    blank_.type = ProfileToDiscType(blank_.profile);
    recordsRw_ = RecordsLeadInRw(ByteReader(config));
    DriveCapabilities caps;
    {
        DriveLockGuard lock;
        caps = ReadDriveCapabilities(letter_);
    }
    if ((caps.writes & CompatibleBlankTypes(job.discType, job.discBlocks) & blank_.type) == 0) {
        Show(u"The disc is not of a compatible type.",
             panel_link::SkipSource | panel_link::ChangeDisc);
        return Step::WaitAgain;
    }
    std::vector<uint8_t> info(kDiscInformationLength);
    SendReadDiscInformation(letter_, info);
    DiscInformation d = ReadDiscInformationReply(ByteReader(info));
    disc_ = d;
    if (d.discStatus == kDiscStatusEmpty)
        return Step::Next;
    if (!d.erasable) {
        Show(u"The disc is not empty and can't be erased.",
             panel_link::SkipSource | panel_link::ChangeDisc);
        return Step::WaitAgain;
    }
    panel_.SetUserReply(0);
    Show(u"The disc is not empty. Erase it?",
         panel_link::ChangeDisc | panel_link::ShowContents | panel_link::Yes);
    if (!WaitForReply())
        return Step::Stop;
    return panel_.GetUserReply() == panel_link::ChangeDisc ? Step::WaitAgain : Step::Next;
}

// A blank too small for the copy is refused before anything is written
// to it. A drive that does not tell its blank's capacity is trusted.
Step Writer::CheckSize(const WriterJob& job) {
    const std::optional<uint64_t> capacity = BlankCapacity(letter_, blank_);
    if (!capacity || RecordedBlocks(job.tracks, blank_) <= *capacity)
        return Step::Next;
    Show(u"The disc is too small for this copy.", panel_link::SkipSource | panel_link::ChangeDisc);
    return Step::WaitAgain;
}

// Empties a used rewritable disc. Overwritable media are simply written
// over, so they need no BLANK, which they would refuse.
Step Writer::Erase() {
    Show(u"Erasing disc...", 0);
    if (!IsOverwritable(blank_) && !SendBlank(letter_).ok()) {
        panel_.SetUserReply(0);
        Show(u"An error occurred while erasing the disc.", panel_link::ChangeDisc);
        return WaitForReply() ? Step::WaitAgain : Step::Stop;
    }
    Show(u"Checking disc readiness...", 0);
    bool ready = false;
    std::vector<uint8_t> info(kDiscInformationLength);
    for (int check = 0; check < 60 && !ready; ++check) {
        if (check > 0)
            ActiveClock().Sleep(1000);
        ready = SendReadDiscInformation(letter_, info).ok();
    }
    if (!ready) {
        panel_.SetUserReply(0);
        Show(u"Error: disc not ready.", panel_link::ChangeDisc);
        return WaitForReply() ? Step::WaitAgain : Step::Stop;
    }
    panel_.SetStatus(u"Disc was erased successfully.");
    panel_.SetProgress(1000);
    panel_.PostUpdate(panel_update::NormalWithLinks, 0);
    ActiveClock().Sleep(3000);
    return Step::Next;
}

Step Writer::PrepareJob(WriterJob& job) {
    job.marks.cdText = false;
    ImageMeasure measure = BuildJobCueSheet(job.tracks, cue_, job.marks);
    packs_ = AlbumCdTextPacks(job.marks);
    cdTextCue_.clear();
    if (measure == ImageMeasure::Measured && !packs_.empty()) {
        DiscMarks marks = job.marks;
        marks.cdText = true;
        measure = BuildJobCueSheet(job.tracks, cdTextCue_, marks);
    }
    if (measure == ImageMeasure::Measured)
        return Step::Next;
    panel_.SetStatus(measure == ImageMeasure::NotFound
                         ? u"Error: Temporary disc image files not found."
                         : u"Error: Can't read source's disc image files.");
    panel_.SetSkipFlag(0);
    panel_.PostUpdate(panel_update::NormalWithLinks, panel_link::SkipSource);
    bool skipped = PollPanel(panel_, [&] { return panel_.GetSkipFlag() == 1; });
    return skipped ? Step::SkipSource : Step::Stop;
}

// Whether this copy's lead-in gets the source's CD-Text: the copy must be
// a CD, the recorder record R-W sub-channels and the blank tell where its
// lead-in starts. Otherwise the copy is made without it.
CdTextCopy Writer::PlanLeadIn(LeadInText& leadIn) {
    if (packs_.empty() || !IsCdBlank(blank_.type))
        return CdTextCopy::NoTexts;
    if (!recordsRw_)
        return CdTextCopy::RecorderCannot;
    std::vector<uint8_t> atip(kAtipLength);
    std::optional<int32_t> start;
    if (SendReadTocAtip(letter_, atip).ok())
        start = AtipLeadInStart(ByteReader(atip));
    if (!start)
        return CdTextCopy::NoLeadInStart;
    leadIn.packs = packs_;
    leadIn.startLba = *start;
    return CdTextCopy::Written;
}

CopyOutcome Writer::Record(const WriterJob& job, uint32_t copy) {
    CopyAttempt attempt;
    attempt.recorder = letter_;
    attempt.source = job.source;
    attempt.copy = copy;
    attempt.copies = job.copies;
    attempt.blankType = blank_.type;
    attempt.writeSpeed = writeSpeed_;
    LeadInText leadIn;
    attempt.cdText = PlanLeadIn(leadIn);
    panel_.CopyStarted(attempt);

    StatusTap tap(panel_);
    const CueSheet& cue = leadIn.packs.empty() ? cue_ : cdTextCue_;
    const CopyOutcome outcome = RecordCopy(letter_, tap, job, cue, blank_, options_, leadIn);
    attempt.status = tap.last();
    switch (outcome) {
        case CopyOutcome::Done:
            attempt.end = CopyEnd::Made;
            if (!(options_ & writer_option::VerifyCopies))
                attempt.status = kCopyWrittenStatus;
            break;
        case CopyOutcome::CopyAbandoned:
            attempt.end = CopyEnd::Failed;
            break;
        case CopyOutcome::SourceAbandoned:
            attempt.end = CopyEnd::SourceSkipped;
            break;
        case CopyOutcome::Stop:
            attempt.end = CopyEnd::Stopped;
            attempt.status = u"Terminated by user.";
            break;
    }
    if (options_ & writer_option::VerifyCopies) {
        if (outcome == CopyOutcome::Done)
            attempt.verification = Verification::Identical;
        else if (tap.verifying() && attempt.status.starts_with(u"The copy differs"))
            attempt.verification = Verification::Different;
        else
            attempt.verification = Verification::NotDone;
    }
    panel_.CopyEnded(attempt);
    return outcome;
}

Step Writer::WriteCopy(const WriterJob& job, uint32_t copy, bool lastCopy) {
    Show(u"Ejecting disc...", panel_link::SkipSource | panel_link::Eject);
    for (;;) {
        if (Step s = WaitForTrayToOpen(); s != Step::Next)
            return s;
        if (Step s = WaitForDisc(job); s != Step::Next)
            return s;
        Step s = CheckDisc(job);
        if (s == Step::WaitAgain)
            continue;
        if (s != Step::Next)
            return s;
        // A used disc shows its room only once it is erased.
        const bool erase = disc_.discStatus != kDiscStatusEmpty && disc_.erasable;
        if (!erase && (s = CheckSize(job)) == Step::WaitAgain)
            continue;

        if (!SelectWriteSpeed(letter_, blank_.type, &writeSpeed_) ||
            !SetWriteParameters(letter_, blank_.type)) {
            panel_.SetRunState(RunState::Stopped);
            Show(u"Error: cannot set drive's write parameters.", 0);
            return Step::Fatal;
        }
        if (erase) {
            s = Erase();
            if (s == Step::WaitAgain)
                continue;
            if (s != Step::Next)
                return s;
            if (CheckSize(job) == Step::WaitAgain)
                continue;
        }
        break;
    }

    switch (Record(job, copy)) {
        case CopyOutcome::Done:
            break;
        case CopyOutcome::CopyAbandoned:
            if (lastCopy) {
                panel_.SetRunState(RunState::Stopped);
                return Step::Stop;
            }
            incomplete_ = true;
            Show(u"Skipping to the next copy...", 0);
            PauseRandomly(100, 100);
            return Step::Next;
        case CopyOutcome::SourceAbandoned:
            return Step::SkipSource;
        case CopyOutcome::Stop:
            return Step::Stop;
    }
    if (!lastCopy) {
        panel_.SetUserReply(0);
        Show(kCopyWrittenStatus, panel_link::Continue);
        bool go = PollPanel(panel_, [&] { return panel_.GetUserReply() == panel_link::Continue; });
        if (!go)
            return Step::Stop;
    }
    return Step::Next;
}

void Writer::Run() {
    do {
        PauseRandomly(100, 100);
    } while (!panel_.ProgressBarReady() && panel_.GetRunState() != RunState::Stopped);
    PauseRandomly(100, 100);
    panel_.SetCaption(u"");
    panel_.PostUpdate(panel_update::NormalWithLinks, 0);
    KeepSystemAwake(true);
    panel_.EndBusyAnimation();
    panel_.SetRunState(RunState::Writing);

    bool stopped = false;
    for (size_t j = 0; j < jobs_.size() && !stopped; ++j) {
        WriterJob& job = jobs_[j];
        const bool lastJob = j + 1 == jobs_.size();
        Step step = PrepareJob(job);
        for (uint32_t c = 0; step == Step::Next && c < job.copies; ++c) {
            panel_.SetProgress(0);
            panel_.SetCaption(
                FormatText(u" - Source: %d/%d, Label: %s, Copy: %d/%d",
                           {j + 1, jobs_.size(), job.label.empty() ? u"(None)" : job.label.c_str(),
                            c + 1, job.copies}));
            step = WriteCopy(job, c + 1, lastJob && c + 1 == job.copies);
        }
        if (step == Step::SkipSource) {
            if (lastJob) {
                panel_.SetRunState(RunState::Stopped);
                stopped = true;
            } else {
                incomplete_ = true;
                panel_.SetSkipFlag(0);
                Show(u"Skipping current source.", 0);
                PauseRandomly(100, 100);
            }
        } else if (step == Step::Stop) {
            stopped = true;
        } else if (step == Step::Fatal) {
            stopped = true;
            fatal_ = true;
        }
    }
    if (!stopped)
        panel_.SetRunState(incomplete_ ? RunState::Stopped : RunState::Finished);

    if (panel_.GetRunState() == RunState::Finished) {
        Show(u"Finished sucessfully.", 0);
    } else if (!fatal_) {
        panel_.SetStatus(u"Terminated by user.");
        panel_.PostUpdate(panel_update::StoppedWithLinks, 0);
    }
    RestoreStreamingDefaults(letter_);
    KeepSystemAwake(false);
}

}  // namespace

void WriterThread(ThreadStartBlock& block) {
    char16_t letter;
    PanelChannel* panel;
    uint32_t options;
    // The source table is copied here, under the lock, and never read again
    // by this thread.
    std::vector<WriterJob> jobs;
    {
        DriveLockGuard lock;
        letter = static_cast<char16_t>(block.first);
        panel = block.panel;
        options = block.options;
        jobs = WriterJobsFor(letter, SourceTable());
        block.started = 1;
    }
    if (panel)
        Writer(letter, *panel, options, std::move(jobs)).Run();
}

}  // namespace vestrel
