#include "engine/copy_coordination.h"

#include <algorithm>

namespace vestrel {

std::vector<char16_t> WriterLetters(const std::vector<SourceRecord>& sources) {
    std::vector<char16_t> letters;
    for (const SourceRecord& source : sources) {
        for (const DestinationEntry& d : source.destinations) {
            if (std::find(letters.begin(), letters.end(), d.recorderLetter) == letters.end()) {
                letters.push_back(d.recorderLetter);
            }
        }
    }
    return letters;
}

PanelsOutcome EvaluatePanels(const std::vector<RunState>& runStates) {
    PanelsOutcome o;
    o.allFinished = !runStates.empty();
    for (RunState s : runStates) {
        if (s != RunState::Finished)
            o.allFinished = false;
        if (s == RunState::Stopped)
            o.anyFailed = true;
        if (s == RunState::Idle || s == RunState::Reading || s == RunState::Writing) {
            o.anyRunning = true;
        }
    }
    return o;
}

WritingEnd WritingPageEnd(const std::vector<RunState>& writerStates) {
    PanelsOutcome o = EvaluatePanels(writerStates);
    WritingEnd end;
    if (o.anyRunning)
        return end;
    end.deleteImageFiles = true;
    end.copyOutcome = o.allFinished ? 1 : 0;
    return end;
}

}  // namespace vestrel
