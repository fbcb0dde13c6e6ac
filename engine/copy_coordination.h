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

// The reading page, one reader panel per source in table order. The panel
// of a source left out at planning (its table of contents could not be
// read) ends stopped at once; it does not hold up the others: once every
// other source is read, Next leads on to writing them, and the page says
// that not every disc can be copied. A reader that fails or is stopped
// while reading a source still disables Next, as does a run in which no
// source at all could be read.
struct ReadingOutcome {
    bool anyRunning = false;
    bool anyFailed = false;   // a source with tracks whose reader failed or was stopped
    bool anyLeftOut = false;  // a source left out at planning
    bool allRead = false;     // every source read, none left out
    bool nextEnabled = false;
};
ReadingOutcome EvaluateReadingPanels(const std::vector<RunState>& readerStates,
                                     const std::vector<SourceRecord>& sources);

// The reading page's texts once its readers have ended: every source read;
// one that failed or was stopped; a source left out while every other
// source was read.
inline constexpr char16_t kReadingFinishedText[] = u"Reading finished successfully.";
inline constexpr char16_t kReadingFailedText[] = u"Error occurred while reading.";
inline constexpr char16_t kGoBackText[] =
    u"Press the 'Back' button to go back and review your selection.";
inline constexpr char16_t kSomeSourcesLeftOutText[] = u"Not every source disc could be read.";
inline constexpr char16_t kWriteTheOthersText[] =
    u"Press the 'Next' button to copy the other discs.";
// The advice below a page's result when Next leads on.
inline constexpr char16_t kContinueText[] = u"Press the 'Next' button to continue.";

// The writing page's texts once its writers have ended: every writer
// finished, or not.
inline constexpr char16_t kWritingFinishedText[] = u"Writing finished successfully.";
inline constexpr char16_t kWritingCancelledText[] =
    u"One or more writing operation was cancelled due to errors or user cancellation.";

// The Finish page's result and advice, by the copy outcome.
inline constexpr char16_t kAllCopiedText[] =
    u"Congratulations! All your discs were copied successfully.";
inline constexpr char16_t kAllCopiedAdvice[] =
    u"Don't forget to label them, and place them in a safe and clean place.";
inline constexpr char16_t kNotAllCopiedText[] = u"Unfortunately, not all your discs were copied.";
inline constexpr char16_t kNotAllCopiedAdvice[] =
    u"You may try other disc brands or recorder drives, or simply, just try again later.";

// What the writing page does once no writer runs any longer: the image
// files are deleted and the copy outcome is 1 only when every writer
// finished and no source was left out at planning.
struct WritingEnd {
    bool deleteImageFiles = false;
    int copyOutcome = 0;
};
// Nothing to do (deleteImageFiles false) while a writer still runs.
// `sources` is the source table the run was planned with.
WritingEnd WritingPageEnd(const std::vector<RunState>& writerStates,
                          const std::vector<SourceRecord>& sources);

}  // namespace vestrel
