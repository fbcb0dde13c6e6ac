// Shared pieces of the copy engine's tests: a source planned into a scratch
// folder as the reading page plans it, and workers run to their end.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "drive/clock.h"
#include "drive/drive_list.h"
#include "drive/drive_lock.h"
#include "drive/inventory.h"
#include "drive/source_table.h"
#include "drive/text.h"
#include "engine/copy_coordination.h"
#include "engine/image_files.h"
#include "engine/image_store.h"
#include "engine/memory_panel.h"
#include "engine/reader_thread.h"
#include "engine/source_layout.h"
#include "engine/worker_threads.h"
#include "engine/writer_thread.h"
#include "simulator/quick_clock.h"
#include "tests/simulator/sim_fixture.h"

namespace vestrel::testing {

using namespace vestrel::sim::testing;

using sim::QuickClock;

// The discs, each in a DVD-ROM reader from D: on, and recorder F:, which
// writes CDs and DVDs, with the person bringing `blank`s.
inline sim::testing::BaySpec WriterBay(sim::testing::BaySpec discs, const std::string& blank) {
    return discs.InReaders().Drive('F', "dvd-rw-dl-recorder").Blanks('F', blank);
}

// Every copy test runs on the quick clock unless it installs another.
class CopyTest : public ::testing::Test {
  protected:
    // The source in `letter` with its layout read and its image files
    // planned in the scratch folder, as the whole source table.
    SourceRecord PlanSource(char16_t letter, DiscType type,
                            std::vector<DestinationEntry> destinations = {}) {
        SourceRecord source;
        source.driveLetter = letter;
        source.discType = type;
        EXPECT_EQ(ReadSourceLayout(source), LayoutOutcome::Read);
        std::u16string folder = (folder_.path() / "img").u16string();
        folder += kPathSeparator;
        for (size_t i = 0; i < source.tracks.size(); ++i) {
            source.tracks[i].imagePath =
                ImageFileName(folder, letter, static_cast<uint32_t>(i), source.tracks[i].isData);
        }
        source.destinations = std::move(destinations);
        DriveLockGuard lock;
        SourceTable() = {source};
        return source;
    }

    // Runs a worker to its end. A worker that waits for the person longer
    // than any of these runs needs is stopped, so a fault shows as a failed
    // test rather than a hung one.
    void Run(void (*body)(ThreadStartBlock&), uint32_t first, MemoryPanel& panel,
             uint32_t options = 0) {
        ThreadStartBlock block;
        block.first = first;
        block.panel = &panel;
        block.options = options;
        auto worker = StartWorker(block, body);
        ASSERT_TRUE(worker) << ToUtf8(panel.State().status);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (worker->Running() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_FALSE(worker->Running()) << "stopped after waiting too long";
        panel.RequestStop();
        JoinAllWorkers();
    }

    // A source to read: its drive, its type and its recorders.
    struct Planned {
        char16_t letter = 0;
        DiscType type = disc::None;
        std::vector<DestinationEntry> destinations;
    };
    // Plans every source into the scratch folder and reads it into its image
    // files, as the Next button and the reading page do; together they
    // become the source table.
    std::vector<SourceRecord> ReadSources(const std::vector<Planned>& planned) {
        std::vector<SourceRecord> sources;
        for (const Planned& p : planned)
            sources.push_back(PlanSource(p.letter, p.type, p.destinations));
        {
            DriveLockGuard lock;
            SourceTable() = sources;
        }
        for (size_t i = 0; i < sources.size(); ++i) {
            MemoryPanel panel(sources[i].driveLetter);
            Run(ReaderThread, static_cast<uint32_t>(i), panel);
            EXPECT_EQ(panel.State().status, u"Finished sucessfully.");
        }
        // The readers keep what they found of an audio CD's marks in the table.
        DriveLockGuard lock;
        for (size_t i = 0; i < sources.size() && i < SourceTable().size(); ++i)
            sources[i].marks = SourceTable()[i].marks;
        return sources;
    }

    // A source that exists only as image files, as after reading: data
    // tracks of the given block counts, each patterned after its number or,
    // above kPatternedBlocks, a sparse file of zeros; the whole source table.
    static constexpr uint32_t kPatternedBlocks = 4096;
    SourceRecord ImageSource(DiscType type, const std::vector<uint32_t>& trackBlocks,
                             std::vector<DestinationEntry> destinations) {
        SourceRecord source;
        source.driveLetter = u'S';
        source.discType = type;
        fs::create_directories(folder_ / "img");
        for (size_t i = 0; i < trackBlocks.size(); ++i) {
            TrackRecord t;
            t.isData = true;
            const fs::path path = folder_ / "img" / ("S00" + std::to_string(i) + ".iso");
            if (trackBlocks[i] <= kPatternedBlocks)
                WriteFile(path, PatternBytes(size_t{trackBlocks[i]} * 2048, uint32_t(i + 1)));
            else
                std::ofstream(path, std::ios::binary).close();
            fs::resize_file(path, uint64_t{trackBlocks[i]} * 2048);
            t.imagePath = path.u16string();
            source.tracks.push_back(t);
        }
        source.destinations = std::move(destinations);
        DriveLockGuard lock;
        SourceTable() = {source};
        return source;
    }

    // Every copy the person took out, put into the reader and read back.
    std::vector<std::vector<SourceTrack>> CopiesBack(sim::Simulator& sim, char16_t reader) {
        std::vector<std::vector<SourceTrack>> copies;
        for (sim::FinishedCopy& copy : sim.TakeFinishedCopies()) {
            EXPECT_TRUE(sim.LoadDisc(reader, std::move(copy.disc)));
            copies.push_back(ReadBack(reader));
        }
        return copies;
    }

    // The names of the image files in the scratch image folder, sorted.
    std::vector<std::string> ImageFilesLeft() {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder_ / "img", ec))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    QuickClock clock_;
    TempFolder folder_;
};

// True when the panel once showed `status` with exactly `links`.
inline bool Offered(MemoryPanel& panel, const std::u16string& status, uint32_t links) {
    for (const MemoryPanel::Update& u : panel.Updates()) {
        if (u.status == status && u.links == links)
            return true;
    }
    return false;
}

inline bool EverShown(MemoryPanel& panel, const std::u16string& status) {
    std::vector<std::u16string> statuses = panel.Statuses();
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
}

// Forwards everything to the simulator and keeps, per drive, the opcodes
// sent and the eject requests (as kEject), in order.
class CommandTrail : public Transport {
  public:
    static constexpr uint16_t kEject = 0x100;
    explicit CommandTrail(Transport& next) : next_(next) { InstallTransport(this); }
    ~CommandTrail() override { InstallTransport(&next_); }
    ScsiResult Execute(const ScsiCommand& c) override {
        Note(c.letter, c.cdbLength > 0 ? c.cdb[0] : 0xFFFF);
        return next_.Execute(c);
    }
    bool AllowMediumRemoval(char16_t letter) override { return next_.AllowMediumRemoval(letter); }
    void EjectMedium(char16_t letter) override {
        Note(letter, kEject);
        next_.EjectMedium(letter);
    }
    std::vector<uint16_t> Of(char16_t letter) {
        std::lock_guard lock(mutex_);
        std::vector<uint16_t> out;
        for (const auto& [l, op] : sent_) {
            if (l == letter)
                out.push_back(op);
        }
        return out;
    }

  private:
    void Note(char16_t letter, uint16_t op) {
        std::lock_guard lock(mutex_);
        sent_.emplace_back(letter, op);
    }
    Transport& next_;
    std::mutex mutex_;
    std::vector<std::pair<char16_t, uint16_t>> sent_;
};

// The blank types the person at each recorder has at hand, by the names
// the simulator knows ("CD-R", "BD-RE").
using BlankShelf = std::map<char16_t, std::vector<std::string>>;

// What a whole copy run left: the source table as planned, the panels and
// what the reading and writing pages made of them.
struct WholeRun {
    std::vector<SourceRecord> sources;
    std::vector<std::unique_ptr<MemoryPanel>> readers;  // in source order
    std::vector<std::unique_ptr<MemoryPanel>> writers;  // in WriterLetters order
    std::vector<LayoutOutcome> layouts;                 // in source order
    PanelsOutcome reading;
    ReadingOutcome readingPage;
    WritingEnd writing;

    MemoryPanel* Writer(char16_t letter) {
        for (auto& w : writers) {
            if (w->State().driveLetter == letter)
                return w.get();
        }
        return nullptr;
    }
};

// The person at a writer's panel: when the recorder asks for a blank, takes
// out whatever the tray holds (a source already read, a finished copy) and
// puts in the first blank on the shelf that the source's copy can go to.
// Errors are skipped past, so a fault ends the run instead of hanging it.
inline void AnswerAsOperator(sim::Simulator& bay, const BlankShelf& shelf, MemoryPanel& panel,
                             const MemoryPanel::Update& update) {
    const char16_t letter = panel.State().driveLetter;
    if (update.status == u"Insert a compatible blank disc to write to.") {
        // While the writer waits for a blank the user reply holds the source's
        // type; its size, which may call for a dual-layer blank, is in the
        // source table.
        const DiscType type = panel.GetUserReply();
        DiscTypeMask wanted = 0;
        {
            DriveLockGuard lock;
            for (const SourceRecord& s : SourceTable()) {
                for (const DestinationEntry& d : s.destinations) {
                    if (s.discType == type && d.recorderLetter == letter)
                        wanted |= CompatibleBlankTypes(type, s.discBlocks);
                }
            }
        }
        if (wanted == 0)
            wanted = CompatibleBlankTypes(type);
        auto blanks = shelf.find(letter);
        if (blanks == shelf.end())
            return;
        for (const std::string& name : blanks->second) {
            std::optional<uint16_t> profile = sim::ProfileFromName(name);
            if (profile && (ProfileToDiscType(*profile) & wanted)) {
                bay.LoadDisc(letter, bay.MakeBlank(*profile));
                return;
            }
        }
    } else if (update.links == panel_link::SkipCopy) {
        panel.Click(panel_link::SkipCopy);
    } else if ((update.links & panel_link::SkipSource) &&
               !(update.links & (panel_link::Eject | panel_link::DiscTypes))) {
        panel.Click(panel_link::SkipSource, true);
    }
}

// Waits until every panel's worker has ended; after `seconds` the workers are
// stopped, so a fault shows as a failed test rather than a hung one.
inline std::vector<RunState> FollowPanels(std::vector<std::unique_ptr<MemoryPanel>>& panels,
                                          int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (PruneThreadList() > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "workers stopped after waiting too long";
            for (auto& p : panels)
                p->RequestStop();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    JoinAllWorkers();
    std::vector<RunState> states;
    for (auto& p : panels)
        states.push_back(p->GetRunState());
    return states;
}

// The drives found and planned as the select-drives page does, `copies`
// per source drive (1 where not named); the plan's Next.
inline bool FindAndPlan(const std::map<char16_t, uint32_t>& copies) {
    DriveList list;
    {
        // The pause after each new row lets a window settle; there is none.
        class NoSettling : public Clock {
            uint32_t TickCount() override { return PlatformClock().TickCount(); }
            void Sleep(uint32_t ms) override { PlatformClock().Sleep(ms); }
            void WaitDispatchingMessages(uint32_t) override {}
        } clock;
        InstallClock(&clock);
        EnumerateOpticalDrives(list);
        InstallClock(nullptr);
    }
    for (size_t i = 0; i < list.rows().size(); ++i) {
        auto wanted = copies.find(list.rows()[i].record.letter);
        for (uint32_t n = 1; wanted != copies.end() && n < wanted->second; ++n)
            EXPECT_TRUE(list.StepCopies(i, +1));
    }
    return list.Replan().nextEnabled;
}

// Starts one reader per source of the table, as the reading page does, and
// waits for them; their panels in source order.
inline std::vector<std::unique_ptr<MemoryPanel>> ReadEverySource(
    const std::vector<SourceRecord>& sources, int seconds) {
    ResetProgressRationing();
    std::vector<std::unique_ptr<MemoryPanel>> readers;
    for (size_t i = 0; i < sources.size(); ++i) {
        readers.push_back(std::make_unique<MemoryPanel>(sources[i].driveLetter));
        ThreadStartBlock block;
        block.first = static_cast<uint32_t>(i);
        block.panel = readers.back().get();
        StartWorker(block, ReaderThread);
    }
    FollowPanels(readers, seconds);
    return readers;
}

// A whole copy run as the wizard makes it: the drives found and planned
// (`copies` per source drive, 1 where not named), the sources' layouts read
// (a source whose table of contents cannot be read is left out) and their
// image files planned under the bay's application-data folder, every
// source read at once, then, when the reading page allows it, every
// recorder writing at once with `shelf` as the person's blanks, and the
// image files deleted at the end.
inline WholeRun RunWholeCopy(sim::Simulator& bay, const std::map<char16_t, uint32_t>& copies,
                             const BlankShelf& shelf, int seconds = 120) {
    WholeRun run;
    if (!FindAndPlan(copies)) {
        ADD_FAILURE() << "no source has a recorder that can write it";
        return run;
    }
    run.layouts = ReadSourceLayouts();
    bool planned = false;
    {
        DriveLockGuard lock;
        planned = PlanImageFiles(SourceTable());
        run.sources = SourceTable();
    }
    if (!planned) {
        ADD_FAILURE() << ToUtf8(kNotEnoughSpaceMessage);
        return run;
    }
    class NoStaleFiles : public OverwritePrompt {
        bool AskOverwrite(const std::u16string& files) override {
            ADD_FAILURE() << "stale image files: " << ToUtf8(files);
            return false;
        }
        void ShowMessage(const std::u16string&) override {}
    } prompt;
    if (!ConfirmOverwrite(run.sources, prompt))
        return run;

    run.readers = ReadEverySource(run.sources, seconds);
    std::vector<RunState> states;
    for (auto& p : run.readers)
        states.push_back(p->GetRunState());
    run.reading = EvaluatePanels(states);
    run.readingPage = EvaluateReadingPanels(states, run.sources);
    if (!run.readingPage.nextEnabled)
        return run;

    for (char16_t letter : WriterLetters(run.sources)) {
        auto panel = std::make_unique<MemoryPanel>(letter);
        panel->SetObserver([&bay, &shelf](MemoryPanel& p, const MemoryPanel::Update& u) {
            AnswerAsOperator(bay, shelf, p, u);
        });
        run.writers.push_back(std::move(panel));
    }
    for (auto& panel : run.writers) {
        ThreadStartBlock block;
        block.first = panel->State().driveLetter;
        block.panel = panel.get();
        StartWorker(block, WriterThread);
    }
    run.writing = WritingPageEnd(FollowPanels(run.writers, seconds), run.sources);
    if (run.writing.deleteImageFiles)
        DeleteImageFiles(run.sources);
    return run;
}

}  // namespace vestrel::testing
