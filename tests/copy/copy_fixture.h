// Shared pieces of the copy engine's tests: a source planned into a scratch
// folder as the reading page plans it, and workers run to their end.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "drive/drive_lock.h"
#include "drive/source_table.h"
#include "engine/image_files.h"
#include "engine/memory_panel.h"
#include "engine/reader_thread.h"
#include "engine/source_layout.h"
#include "engine/worker_threads.h"
#include "tests/simulator/sim_fixture.h"

namespace vestrel::testing {

using namespace vestrel::sim::testing;

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
    void Run(void (*body)(ThreadStartBlock&), uint32_t first, MemoryPanel& panel) {
        ThreadStartBlock block;
        block.first = first;
        block.panel = &panel;
        auto worker = StartWorker(block, body);
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
        return sources;
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

}  // namespace vestrel::testing
