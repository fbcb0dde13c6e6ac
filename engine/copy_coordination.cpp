#include "engine/copy_coordination.h"

#include <algorithm>

#include "engine/source_layout.h"

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

ReadingOutcome EvaluateReadingPanels(const std::vector<RunState>& readerStates,
                                     const std::vector<SourceRecord>& sources) {
    ReadingOutcome o;
    bool anyRead = false;
    for (size_t i = 0; i < readerStates.size(); ++i) {
        const RunState s = readerStates[i];
        const bool leftOut = i < sources.size() && LeftOut(sources[i]);
        if (s == RunState::Idle || s == RunState::Reading || s == RunState::Writing) {
            o.anyRunning = true;
        } else if (leftOut) {
            o.anyLeftOut = true;
        } else if (s == RunState::Stopped) {
            o.anyFailed = true;
        } else {
            anyRead = true;
        }
    }
    o.allRead = !o.anyRunning && !o.anyFailed && !o.anyLeftOut && anyRead;
    o.nextEnabled = !o.anyRunning && !o.anyFailed && anyRead;
    return o;
}

WritingEnd WritingPageEnd(const std::vector<RunState>& writerStates,
                          const std::vector<SourceRecord>& sources) {
    PanelsOutcome o = EvaluatePanels(writerStates);
    WritingEnd end;
    if (o.anyRunning)
        return end;
    const bool anyLeftOut = std::any_of(sources.begin(), sources.end(), LeftOut);
    end.deleteImageFiles = true;
    end.copyOutcome = o.allFinished && !anyLeftOut ? 1 : 0;
    return end;
}

}  // namespace vestrel
