// A seeded soak: many whole copy runs on random simulated bays with faults
// injected at random (read and write failures, refused commands, trays
// opened mid-run, image files that vanish, a full disk, the person
// stopping at a random moment). Every run must end without a hang; no copy
// reported as done may differ from its source; no image file may be left
// behind; and the final outcome must agree with the copies that were made.
//
// VESTREL_SOAK_RUNS (default 4) and VESTREL_SOAK_SEED (default 1) choose
// the runs; each run prints one line, and the soak a summary.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "drive/clock.h"
#include "drive/drive_list.h"
#include "drive/drive_lock.h"
#include "drive/file_system.h"
#include "drive/inventory.h"
#include "drive/text.h"
#include "engine/copy_coordination.h"
#include "engine/image_store.h"
#include "engine/memory_panel.h"
#include "engine/reader_thread.h"
#include "engine/source_layout.h"
#include "engine/worker_threads.h"
#include "engine/writer_thread.h"
#include "tests/simulator/sim_fixture.h"
#include "tests/support/forwarding_file_system.h"

namespace vestrel {
namespace {

using namespace vestrel::sim::testing;

// Time runs `kSpeedUp` times faster than the wall clock, so the writers'
// pauses (1.5 s before detecting a disc, 3 s after an erase) cost little
// while every thread still sees the same, steadily rising clock.
class FastClock : public Clock {
  public:
    static constexpr uint64_t kSpeedUp = 20;
    uint32_t TickCount() override {
        auto elapsed = std::chrono::steady_clock::now() - start_;
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * kSpeedUp /
            1000);
    }
    void Sleep(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::microseconds(uint64_t{ms} * 1000 / kSpeedUp));
    }
    void WaitDispatchingMessages(uint32_t ms) override { Sleep(ms); }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The platform's files, except that writing stops once `limit` bytes have
// been written in all: the disk is full.
class FillingFileSystem : public testing::ForwardingFileSystem {
  public:
    explicit FillingFileSystem(uint64_t limit) : left_(limit) {}
    std::unique_ptr<File> CreateNew(std::u16string_view p, uint32_t& e) override {
        auto file = next_.CreateNew(p, e);
        if (!file)
            return nullptr;
        return std::make_unique<Filling>(std::move(file), left_);
    }

  private:
    class Filling : public File {
      public:
        Filling(std::unique_ptr<File> f, std::atomic<int64_t>& left)
            : file_(std::move(f)), left_(left) {}
        bool Write(const uint8_t* d, size_t n, uint32_t& e) override {
            if (left_.fetch_sub(static_cast<int64_t>(n)) < static_cast<int64_t>(n)) {
                e = 112;  // there is not enough space on the disk
                return false;
            }
            return file_->Write(d, n, e);
        }
        size_t Read(uint8_t* d, size_t n, uint32_t& e) override { return file_->Read(d, n, e); }
        bool Seek(uint64_t o) override { return file_->Seek(o); }
        bool Size(uint64_t& s) override { return file_->Size(s); }

      private:
        std::unique_ptr<File> file_;
        std::atomic<int64_t>& left_;
    };
    std::atomic<int64_t> left_;
};

enum class Kind { DataCd, AudioCd, MixedCd, Dvd, Bd };

struct Source {
    Kind kind = Kind::DataCd;
    char16_t letter = 0;
    std::string label;
    std::vector<SourceTrack> tracks;
    uint32_t copies = 1;
};

// A fault or a hand at the bay. Harmless ones must not change the outcome.
enum class Fault {
    ReadRetried,     // a source block fails a few times, then reads
    ReadFails,       // a source block fails every attempt
    WriteRetried,    // a recorder's write fails a few times, then succeeds
    WriteFails,      // a recorder's write fails every attempt
    LongWrite,       // a recorder reports a long write in progress for a while
    Refuses,         // a recorder refuses one of the recording commands
    TrayOpened,      // a tray is opened and closed again while the run goes on
    ImageVanishes,   // an image file is deleted while the recorders write
    FullAtPlanning,  // too little room for the image files
    FullWhileReading,
    StopReading,    // the person presses Exit while the sources are read
    StopWriting,    // or while the recorders write
    Corrupts,       // a recorder records a block wrongly yet reports success
    TocUnreadable,  // a source's table of contents cannot be read: it is left out
};
const char* FaultName(Fault f) {
    static const char* names[] = {
        "read-retried", "read-fails",   "write-retried",  "write-fails",      "long-write",
        "refuses",      "tray-opened",  "image-vanishes", "full-at-planning", "full-while-reading",
        "stop-reading", "stop-writing", "corrupts",       "toc-unreadable"};
    return names[static_cast<int>(f)];
}
bool Harmless(Fault f) {
    return f == Fault::ReadRetried || f == Fault::WriteRetried || f == Fault::LongWrite;
}

// What one run found.
struct Outcome {
    bool onlyHarmless = true;  // no fault that may cost a copy
    bool stopped = false;      // the person pressed Exit
    bool leftOut = false;      // a source could not be read and was left out
    bool hung = false;
    int copyOutcome = 0;
    uint32_t requested = 0;
    uint32_t done = 0;
    uint32_t differing = 0;
    uint32_t filesLeft = 0;
    std::string notes;
};

class SoakRun {
  public:
    SoakRun(uint32_t seed, const fs::path& folder) : seed_(seed), random_(seed), folder_(folder) {}
    Outcome Run();
    std::string Describe() const;

  private:
    uint32_t Pick(uint32_t low, uint32_t high) {
        return std::uniform_int_distribution<uint32_t>(low, high)(random_);
    }
    void MakeBay();
    BaySpec Description();
    void Chaos(const std::atomic<int>& phase, std::atomic<bool>& quit);
    void Answer(MemoryPanel& panel, const MemoryPanel::Update& u);
    void CheckCopy(char16_t recorder, size_t job);
    bool FollowAll(std::vector<std::unique_ptr<MemoryPanel>>& panels);
    uint32_t FilesLeft();

    uint32_t seed_;
    std::mt19937 random_;
    fs::path folder_;
    std::vector<Source> sources_;
    struct Recorder {
        char16_t letter = 0;
        std::string model;
        std::vector<std::string> blanks;  // the person's shelf for it
    };
    std::vector<Recorder> recorders_;
    std::vector<Fault> faults_;
    std::string faultText_;
    bool verify_ = false;  // writers read their copies back
    std::optional<sim::Simulator> bay_;
    std::vector<SourceRecord> table_;

    std::mutex mutex_;  // guards what the panels' observers and the chaos thread touch
    std::vector<std::unique_ptr<MemoryPanel>>* page_ = nullptr;
    std::map<char16_t, size_t> currentJob_;
    std::map<char16_t, std::vector<size_t>> jobsOf_;  // source indices per recorder
    bool stopped_ = false;
    Outcome out_;
};

void SoakRun::MakeBay() {
    const uint32_t sourceCount = Pick(1, 3);
    verify_ = Pick(0, 1);
    char16_t letter = u'D';
    for (uint32_t i = 0; i < sourceCount; ++i) {
        Source s;
        s.kind = static_cast<Kind>(Pick(0, 4));
        s.letter = letter++;
        s.label = "SOAK_" + std::to_string(i);
        s.copies = Pick(1, 2);
        const uint32_t seed = seed_ * 16 + i;
        switch (s.kind) {
            case Kind::DataCd:
            case Kind::Dvd:
            case Kind::Bd:
                s.tracks.push_back({true, LabelledData(Pick(40, 400), s.label, seed)});
                break;
            case Kind::MixedCd:
                s.tracks.push_back({true, LabelledData(Pick(40, 200), s.label, seed)});
                [[fallthrough]];
            case Kind::AudioCd:
                for (uint32_t t = Pick(1, 3); t > 0; --t)
                    s.tracks.push_back(
                        {false, PatternBytes(size_t{Pick(30, 200)} * kAudioSectorSize, seed + t)});
                break;
        }
        sources_.push_back(std::move(s));
    }
    // One recorder that writes every kind present, sometimes a second.
    bool bd = false, dvd = false;
    for (const Source& s : sources_) {
        bd |= s.kind == Kind::Bd;
        dvd |= s.kind == Kind::Dvd;
    }
    auto shelf = [&](const std::string& model) {
        std::vector<std::string> blanks = {"CD-R", "CD-RW"};
        if (model != "cd-rw-recorder")
            blanks.insert(blanks.end(), {"DVD-R", "DVD+R", "DVD+RW", "DVD-RW"});
        if (model == "bd-re-recorder")
            blanks.insert(blanks.end(), {"BD-R", "BD-RE"});
        std::shuffle(blanks.begin(), blanks.end(), random_);
        return blanks;
    };
    // A drive that holds a BD source is a BD recorder: it may be planned
    // to write copies once its source is read, so the person has blanks
    // for it too.
    for (const Source& s : sources_) {
        if (s.kind == Kind::Bd)
            recorders_.push_back({s.letter, "", shelf("bd-re-recorder")});
    }
    std::string first = bd ? "bd-re-recorder" : dvd ? "dvd-rw-dl-recorder" : "cd-rw-recorder";
    recorders_.push_back({letter++, first, shelf(first)});
    if (Pick(0, 1)) {
        std::string second = Pick(0, 1) ? first : "bd-re-recorder";
        recorders_.push_back({letter++, second, shelf(second)});
    }

    // Up to three faults, each at most once.
    for (uint32_t n = Pick(0, 3); n > 0; --n) {
        Fault f = static_cast<Fault>(Pick(0, 13));
        if (std::find(faults_.begin(), faults_.end(), f) == faults_.end())
            faults_.push_back(f);
    }
}

BaySpec SoakRun::Description() {
    BaySpec bay;
    bool fullAtPlanning = std::count(faults_.begin(), faults_.end(), Fault::FullAtPlanning) > 0;
    bay.Top(std::string("appdata-free = ") + (fullAtPlanning ? "50M" : "20G"));
    std::ostringstream faults;
    auto note = [&](Fault f, const std::string& what) {
        faults << (faults.tellp() > 0 ? ", " : "") << FaultName(f) << what;
    };
    std::map<char16_t, std::vector<std::string>> driveFaults;
    for (Fault f : faults_) {
        Source& s = sources_[Pick(0, static_cast<uint32_t>(sources_.size() - 1))];
        Recorder& r = recorders_[Pick(0, static_cast<uint32_t>(recorders_.size() - 1))];
        const uint32_t lba = Pick(0, s.tracks.front().blocks() - 1);
        switch (f) {
            case Fault::ReadRetried:
            case Fault::ReadFails:
            case Fault::WriteRetried:
            case Fault::WriteFails: {
                const bool read = f == Fault::ReadRetried || f == Fault::ReadFails;
                const bool retried = f == Fault::ReadRetried || f == Fault::WriteRetried;
                const char16_t letter = read ? s.letter : r.letter;
                const uint32_t count = retried ? Pick(1, 10) : 15;
                driveFaults[letter].push_back(std::string("fault = ") +
                                              (read ? "read-error " : "write-error ") +
                                              std::to_string(lba) + " " + std::to_string(count));
                note(f, " " + ToUtf8(std::u16string(1, letter)) + ":" + std::to_string(lba));
                break;
            }
            case Fault::Corrupts:
                // Only verification can tell; without it the copy would be
                // reported done.
                verify_ = true;
                driveFaults[r.letter].push_back("fault = corrupt-write " + std::to_string(lba) +
                                                " 1");
                note(f, " " + ToUtf8(std::u16string(1, r.letter)) + ":" + std::to_string(lba));
                break;
            case Fault::TocUnreadable:
                driveFaults[s.letter].push_back("fault = toc-unreadable");
                note(f, " " + ToUtf8(std::u16string(1, s.letter)));
                break;
            case Fault::LongWrite:
                driveFaults[r.letter].push_back("fault = long-write " +
                                                std::to_string(Pick(1, 30)));
                note(f, " " + ToUtf8(std::u16string(1, r.letter)));
                break;
            case Fault::Refuses: {
                static const char* commands[] = {"send-cue-sheet", "reserve-track", "mode-select",
                                                 "get-performance"};
                std::string c = commands[Pick(0, 3)];
                driveFaults[r.letter].push_back("fault = refuse " + c);
                note(f, " " + ToUtf8(std::u16string(1, r.letter)) + ":" + c);
                break;
            }
            default:
                note(f, "");
                break;
        }
    }
    faultText_ = faults.str();
    // Drives take 200 ms to become ready after a disc goes in.
    auto drive = [&](char16_t letter, const std::string& model, const std::string& disc) {
        bay.Drive(static_cast<char>(letter), model, disc).With("becoming-ready = 200");
        for (const std::string& fault : driveFaults[letter])
            bay.With(fault);
    };
    for (size_t i = 0; i < sources_.size(); ++i) {
        const Source& s = sources_[i];
        const std::string name = "s" + std::to_string(i);
        if (s.kind == Kind::AudioCd || s.kind == Kind::MixedCd)
            bay.Cue(name, s.tracks);
        else
            bay.Iso(name,
                    s.kind == Kind::DataCd ? "CD-ROM"
                    : s.kind == Kind::Dvd  ? "DVD-ROM"
                                           : "BD-ROM",
                    s.tracks.front().bytes);
        drive(s.letter, s.kind == Kind::Bd ? "bd-re-recorder" : "dvd-rom-reader", name);
    }
    for (const Recorder& r : recorders_) {
        if (!r.model.empty())  // else a source drive, described above
            drive(r.letter, r.model, "");
    }
    return bay;
}

// The person at a writer's panel: brings a blank from the shelf when asked,
// agrees to erase, changes a disc when that is the only way on, and skips
// past errors, so that a fault ends the run rather than holding it up.
void SoakRun::Answer(MemoryPanel& panel, const MemoryPanel::Update& u) {
    const char16_t letter = panel.State().driveLetter;
    if (u.status == u"Insert a compatible blank disc to write to.") {
        const DiscTypeMask wanted = CompatibleBlankTypes(panel.GetUserReply());
        for (const Recorder& r : recorders_) {
            if (r.letter != letter)
                continue;
            for (const std::string& name : r.blanks) {
                std::optional<uint16_t> profile = sim::ProfileFromName(name);
                if (profile && (ProfileToDiscType(*profile) & wanted)) {
                    bay_->LoadDisc(letter, bay_->MakeBlank(*profile));
                    return;
                }
            }
        }
    } else if (u.status == u"Writing to this copy is done.") {
        std::u16string caption = panel.State().caption;
        size_t at = caption.find(u"Source: ");
        size_t job =
            at == std::u16string::npos ? 0 : std::stoul(ToUtf8(caption.substr(at + 8))) - 1;
        CheckCopy(letter, job);
    } else if (u.links & panel_link::Yes) {
        panel.Click(panel_link::Yes);
    } else if (u.links == panel_link::SkipCopy) {
        panel.Click(panel_link::SkipCopy);
    } else if (u.links == panel_link::ChangeDisc) {
        panel.Click(panel_link::ChangeDisc);
    } else if ((u.links & panel_link::SkipSource) &&
               !(u.links & (panel_link::Eject | panel_link::DiscTypes))) {
        panel.Click(panel_link::SkipSource, true);
    }
}

// Compares the copy in `recorder` with the source of its job `job`: each
// track's blocks, then zeros to the end of the recorded track (the rest of
// a reservation). Overwritable media hold the tracks one after another.
void SoakRun::CheckCopy(char16_t recorder, size_t job) {
    std::lock_guard lock(mutex_);
    ++out_.done;
    const std::vector<size_t>& jobs = jobsOf_[recorder];
    if (job >= jobs.size()) {
        ++out_.differing;
        out_.notes += " [no job " + std::to_string(job) + "]";
        return;
    }
    const Source& source = sources_[jobs[job]];
    std::string why = bay_->Drive(recorder)->WithDisc([&](sim::Disc* disc) -> std::string {
        if (!disc)
            return "no disc";
        const bool overwritable = disc->rules().takesFormat();
        int32_t lba = 0;
        for (size_t t = 0; t < source.tracks.size(); ++t) {
            const SourceTrack& want = source.tracks[t];
            uint32_t length = want.blocks();
            if (!overwritable) {
                if (t >= disc->tracks().size())
                    return "track " + std::to_string(t + 1) + " missing";
                lba = disc->tracks()[t].start;
                length = disc->tracks()[t].length;
                if (length < want.blocks())
                    return "track " + std::to_string(t + 1) + " short";
            }
            const uint32_t size = want.data ? kDataSectorSize : kAudioSectorSize;
            std::vector<uint8_t> block(size);
            for (uint32_t b = 0; b < length; ++b) {
                auto r = want.data ? disc->ReadUserData(lba + b, 1, block.data())
                                   : disc->ReadRaw(lba + b, 1, block.data());
                bool same = r == sim::SectorRead::Ok &&
                            (b < want.blocks() ? std::equal(block.begin(), block.end(),
                                                            want.bytes.begin() + size_t{b} * size)
                                               : std::all_of(block.begin(), block.end(),
                                                             [](uint8_t x) { return x == 0; }));
                if (!same)
                    return "track " + std::to_string(t + 1) + " block " + std::to_string(b);
            }
            lba += static_cast<int32_t>(length);
        }
        return {};
    });
    if (!why.empty()) {
        ++out_.differing;
        out_.notes += " [" + ToUtf8(std::u16string(1, recorder)) + " copy of " + source.label +
                      " differs: " + why + "]";
    }
}

// Scheduled hands at the bay: trays opened, image files deleted, Exit.
void SoakRun::Chaos(const std::atomic<int>& phase, std::atomic<bool>& quit) {
    struct Step {
        Fault fault;
        int phase;
        uint32_t at;
    };
    std::vector<Step> steps;
    for (Fault f : faults_) {
        if (f == Fault::TrayOpened)
            steps.push_back({f, static_cast<int>(Pick(1, 2)), Pick(0, 6000)});
        else if (f == Fault::ImageVanishes)
            steps.push_back({f, 2, Pick(0, 6000)});
        else if (f == Fault::StopReading)
            steps.push_back({f, 1, Pick(0, 3000)});
        else if (f == Fault::StopWriting)
            steps.push_back({f, 2, Pick(0, 12000)});
    }
    std::vector<char16_t> letters = bay_->OpticalLetters();
    const char16_t tray = letters[Pick(0, static_cast<uint32_t>(letters.size() - 1))];
    const uint32_t imageIndex = Pick(0, 1000);
    Clock& clock = ActiveClock();
    int seenPhase = 0;
    uint32_t phaseStart = clock.TickCount();
    while (!quit && !steps.empty()) {
        if (phase != seenPhase) {
            seenPhase = phase;
            phaseStart = clock.TickCount();
        }
        for (auto it = steps.begin(); it != steps.end();) {
            if (it->phase != seenPhase || clock.TickCount() - phaseStart < it->at) {
                ++it;
                continue;
            }
            if (it->fault == Fault::TrayOpened) {
                bay_->OpenTray(tray);
                clock.Sleep(500);
                bay_->CloseTray(tray);
            } else if (it->fault == Fault::ImageVanishes) {
                std::vector<std::u16string> paths;
                for (const SourceRecord& s : table_) {
                    for (const TrackRecord& t : s.tracks)
                        paths.push_back(t.imagePath);
                }
                uint32_t error = 0;
                if (!paths.empty())
                    ActiveFileSystem().RemoveFile(paths[imageIndex % paths.size()], error);
            } else {
                // Exit while threads run: the panels stop, the files go.
                std::lock_guard lock(mutex_);
                if (page_) {
                    for (auto& p : *page_)
                        p->RequestStop();
                    DeleteImageFiles(table_);
                    stopped_ = true;
                }
            }
            it = steps.erase(it);
        }
        clock.Sleep(20);
    }
}

// Waits until every worker has ended; a run that takes far longer than it
// should counts as hung and is stopped.
bool SoakRun::FollowAll(std::vector<std::unique_ptr<MemoryPanel>>& panels) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool hung = false;
    while (PruneThreadList() > 0) {
        if (!hung && std::chrono::steady_clock::now() > deadline) {
            hung = true;
            for (auto& p : panels)
                p->RequestStop();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    JoinAllWorkers();
    return !hung;
}

// Image files anywhere the run could have put them: the home folder's
// image folder and every fixed drive's.
uint32_t SoakRun::FilesLeft() {
    uint32_t n = 0;
    std::error_code ec;
    fs::path home = fs::path(bay_->AppDataFolder()) / "t4k" / "Temp";
    for (const auto& e : fs::recursive_directory_iterator(home, ec)) {
        (void)e;
        ++n;
    }
    return n;
}

Outcome SoakRun::Run() {
    MakeBay();
    bay_.emplace();
    std::string error;
    const BaySpec spec = Description();
    spec.WriteImages(folder_);
    if (!bay_->LoadText(spec.Text(), folder_, error)) {
        ADD_FAILURE() << error;
        return out_;
    }
    bay_->Install();
    std::unique_ptr<FillingFileSystem> filling;
    if (std::count(faults_.begin(), faults_.end(), Fault::FullWhileReading)) {
        filling = std::make_unique<FillingFileSystem>(Pick(0, 400) * uint64_t{kDataSectorSize});
    }

    DriveList list;
    EnumerateOpticalDrives(list);
    for (size_t i = 0; i < list.rows().size(); ++i) {
        for (const Source& s : sources_) {
            if (s.letter == list.rows()[i].record.letter && s.copies > 1)
                list.StepCopies(i, +1);
        }
    }
    std::atomic<int> phase{0};
    std::atomic<bool> quit{false};
    std::thread chaos;
    std::vector<std::unique_ptr<MemoryPanel>> readers, writers;
    // A source whose table of contents cannot be read is left out; the
    // others are copied.
    bool planned = list.Replan().nextEnabled;
    if (planned)
        ReadSourceLayouts();
    {
        DriveLockGuard lock;
        planned = planned && !WriterLetters(SourceTable()).empty() && PlanImageFiles(SourceTable());
        table_ = SourceTable();
    }
    out_.leftOut = std::any_of(table_.begin(), table_.end(), LeftOut);
    for (const SourceRecord& s : table_) {
        for (const DestinationEntry& d : s.destinations)
            out_.requested += d.copies;
    }
    class Overwrite : public OverwritePrompt {
        bool AskOverwrite(const std::u16string&) override { return true; }
        void ShowMessage(const std::u16string&) override {}
    } prompt;
    if (planned && ConfirmOverwrite(table_, prompt)) {
        chaos = std::thread([&] { Chaos(phase, quit); });
        ResetProgressRationing();
        {
            std::lock_guard lock(mutex_);
            page_ = &readers;
            for (size_t i = 0; i < table_.size(); ++i) {
                readers.push_back(std::make_unique<MemoryPanel>(table_[i].driveLetter));
                ThreadStartBlock block;
                block.first = static_cast<uint32_t>(i);
                block.panel = readers.back().get();
                StartWorker(block, ReaderThread);
            }
        }
        phase = 1;
        out_.hung |= !FollowAll(readers);
        std::vector<RunState> states;
        for (auto& p : readers)
            states.push_back(p->GetRunState());
        bool readAll = EvaluateReadingPanels(states, table_).nextEnabled;
        std::lock_guard lock(mutex_);
        if (readAll && !stopped_) {
            for (size_t i = 0; i < table_.size(); ++i) {
                for (const DestinationEntry& d : table_[i].destinations)
                    jobsOf_[d.recorderLetter].push_back(i);
            }
            page_ = &writers;
            for (char16_t letter : WriterLetters(table_)) {
                auto panel = std::make_unique<MemoryPanel>(letter);
                panel->SetObserver(
                    [this](MemoryPanel& p, const MemoryPanel::Update& u) { Answer(p, u); });
                writers.push_back(std::move(panel));
            }
            for (auto& panel : writers) {
                ThreadStartBlock block;
                block.first = panel->State().driveLetter;
                block.panel = panel.get();
                block.options = verify_ ? writer_option::VerifyCopies : 0;
                StartWorker(block, WriterThread);
            }
            phase = 2;
        }
    }
    if (phase == 2) {
        out_.hung |= !FollowAll(writers);
        std::vector<RunState> states;
        for (auto& p : writers)
            states.push_back(p->GetRunState());
        WritingEnd end = WritingPageEnd(states, table_);
        out_.copyOutcome = end.copyOutcome;
        // A writer that finished ended with its last copy done and ejected.
        for (auto& p : writers) {
            if (p->GetRunState() == RunState::Finished) {
                char16_t letter = p->State().driveLetter;
                CheckCopy(letter, jobsOf_[letter].size() - 1);
            }
        }
    }
    quit = true;
    if (chaos.joinable())
        chaos.join();
    for (Fault f : faults_)
        out_.onlyHarmless &= Harmless(f);
    out_.stopped = stopped_;
    {
        std::lock_guard lock(mutex_);
        page_ = nullptr;
    }
    // Leaving the wizard (Finish, Back or Exit) deletes the image files.
    DeleteImageFiles(table_);
    InstallFileSystem(nullptr);
    out_.filesLeft = FilesLeft();
    bay_->Uninstall();
    return out_;
}

std::string SoakRun::Describe() const {
    std::ostringstream line;
    line << "seed " << seed_ << ":";
    for (const Source& s : sources_) {
        static const char* kinds[] = {"data-cd", "audio-cd", "mixed-cd", "dvd", "bd"};
        line << " " << static_cast<char>(s.letter) << "=" << kinds[static_cast<int>(s.kind)] << "x"
             << s.copies;
    }
    line << " ->";
    for (const Recorder& r : recorders_) {
        if (!r.model.empty())
            line << " " << static_cast<char>(r.letter) << "=" << r.model;
    }
    line << (verify_ ? " verified" : "")
         << " | faults: " << (faultText_.empty() ? "none" : faultText_) << " | "
         << (out_.copyOutcome == 1 ? "all copied" : "not all copied") << ", copies done "
         << out_.done << "/" << out_.requested << ", differing " << out_.differing
         << ", files left " << out_.filesLeft << (out_.hung ? ", HUNG" : "") << out_.notes;
    return line.str();
}

uint32_t FromEnvironment(const char* name, uint32_t fallback) {
    const char* v = std::getenv(name);
    return v && *v ? static_cast<uint32_t>(std::strtoul(v, nullptr, 10)) : fallback;
}

TEST(Soak, RandomFaultsNeverHangLoseDataLeaveFilesOrMisreport) {
    const uint32_t runs = FromEnvironment("VESTREL_SOAK_RUNS", 4);
    const uint32_t base = FromEnvironment("VESTREL_SOAK_SEED", 1);
    FastClock clock;
    InstallClock(&clock);
    uint32_t requested = 0, done = 0, allCopied = 0, harmed = 0;
    for (uint32_t i = 0; i < runs; ++i) {
        TempFolder folder;
        SoakRun run(base + i, folder.path());
        Outcome o = run.Run();
        std::printf("%s\n", run.Describe().c_str());
        SCOPED_TRACE(run.Describe());
        EXPECT_FALSE(o.hung);
        EXPECT_EQ(o.differing, 0u);
        EXPECT_EQ(o.filesLeft, 0u);
        // "All copied" only when every copy asked for was made.
        // "Not all copied" only when a copy is missing or the person left.
        if (o.copyOutcome == 1) {
            EXPECT_EQ(o.done, o.requested);
        } else {
            EXPECT_TRUE(o.done < o.requested || o.stopped || o.leftOut);
        }
        // Faults the system recovers from never cost a copy.
        if (o.onlyHarmless) {
            EXPECT_EQ(o.copyOutcome, 1);
        }
        requested += o.requested;
        done += o.done;
        allCopied += o.copyOutcome == 1;
        harmed += o.copyOutcome != 1;
    }
    InstallClock(nullptr);
    std::printf("soak: %u runs, %u all copied, %u not; copies done %u of %u\n", runs, allCopied,
                harmed, done, requested);
}

}  // namespace
}  // namespace vestrel
