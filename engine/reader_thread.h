// The reader: one thread per source disc, copying its tracks into their
// image files in chunks of at most 25 sectors and reporting to its panel.
#pragma once

#include <cstdint>

#include "engine/worker_threads.h"

namespace vestrel {

constexpr uint32_t kReadChunkSectors = 25;
constexpr int kReadAttempts = 15;

// The thread body. block.first is the source's index in the source table;
// block.panel is the source's panel.
void ReaderThread(ThreadStartBlock& block);

// The position of the progress bar (0..1000) after `done` of `total`
// sectors.
uint32_t ProgressPosition(uint64_t done, uint64_t total);

}  // namespace vestrel
