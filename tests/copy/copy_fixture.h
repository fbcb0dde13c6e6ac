// Shared pieces of the copy engine's tests: a source planned into a scratch
// folder as the reading page plans it, and workers run to their end.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "drive/drive_lock.h"
#include "drive/source_table.h"
#include "engine/image_files.h"
#include "engine/memory_panel.h"
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

    TempFolder folder_;
};

}  // namespace vestrel::testing
