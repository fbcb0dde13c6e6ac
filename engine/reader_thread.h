// The reader: one thread per source disc, copying its tracks into their
// image files in chunks of at most 25 sectors and reporting to its panel.
#pragma once

#include <cstdint>

#include "engine/worker_threads.h"

namespace vestrel {

constexpr uint32_t kReadChunkSectors = 25;
constexpr int kReadAttempts = 15;

// The status of a reader whose source was left out because its table of
// contents could not be read: it ends stopped at once, reading nothing.
inline constexpr char16_t kTocUnreadableStatus[] = u"Cannot read the disc's table of contents.";

// The thread body. block.first is the source's index in the source table;
// block.panel is the source's panel.
void ReaderThread(ThreadStartBlock& block);

// The position of the progress bar (0..1000) after `done` of `total`
// sectors.
uint32_t ProgressPosition(uint64_t done, uint64_t total);

}  // namespace vestrel
