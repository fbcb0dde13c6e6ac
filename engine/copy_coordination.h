// The rules the reading and writing pages apply to their panels: which
// recorders get a panel, in what order, and what the page shows and does
// as the panels' run states change.
#pragma once

#include <vector>

#include "drive/source_table.h"
#include "engine/panel_channel.h"

namespace vestrel {

// The recorders named as destinations, in order of first appearance
// (sources in table order, destinations in list order): one writer panel
// each.
std::vector<char16_t> WriterLetters(const std::vector<SourceRecord>& sources);

struct PanelsOutcome {
    bool allFinished = false;  // every panel at run state 4
    bool anyFailed = false;    // some panel at run state 3
    bool anyRunning = false;   // some panel at 0, 1 or 2
};
PanelsOutcome EvaluatePanels(const std::vector<RunState>& runStates);

// What the writing page does once no writer runs any longer: the image
// files are deleted and the copy outcome is 1 only when every writer
// finished.
struct WritingEnd {
    bool deleteImageFiles = false;
    int copyOutcome = 0;
};
// Nothing to do (deleteImageFiles false) while a writer still runs.
WritingEnd WritingPageEnd(const std::vector<RunState>& writerStates);

}  // namespace vestrel
