// The writer: one thread per recorder, writing every copy assigned to it,
// source after source, and steering the person through its panel's links.
#pragma once

#include <cstdint>
#include <vector>

#include "drive/source_table.h"
#include "engine/recording.h"
#include "engine/worker_threads.h"

namespace vestrel {

// The jobs of one recorder: every source whose destinations name it, in
// table order, with that destination's copies.
std::vector<WriterJob> WriterJobsFor(char16_t recorder, const std::vector<SourceRecord>& sources);

// The thread body. block.first is the recorder's drive letter; block.panel
// its panel.
void WriterThread(ThreadStartBlock& block);

}  // namespace vestrel
