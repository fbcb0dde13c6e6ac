// What Next, Back and Exit do on each page, apart from the windows: the
// frame asks these and then does the window work.
#pragma once

namespace vestrel::wizard {

struct NextStep {
    bool moves = false;  // false on the last page: Next only disables itself
    int newIndex = 0;
    bool needsImageFiles = false;  // leaving the select page: plan the image files first
};
NextStep NextStepFrom(int index);

// Back acts only on the reading page (after a question); elsewhere it
// only disables itself.
bool BackLeavesReading(int index);
inline constexpr char16_t kBackQuestion[] =
    u"Are you sure you want to cancel the copy process and go back?";

// Exit on each page. `threadLeft` says whether a reader or writer thread
// still runs (after pruning the thread list).
struct ExitPlan {
    const char16_t* question = nullptr;  // asked first when not null; No keeps the wizard
    bool deleteImageFiles = false;       // after a Yes, or without a question
    bool stopPageFirst = false;          // destroy the page (its thread stops) before ending
};
ExitPlan ExitPlanFor(int index, bool threadLeft);
inline constexpr char16_t kExitReadingQuestion[] =
    u"Source discs have been read (or are being read). Are you sure you want to cancel the "
    u"copy process now?";
inline constexpr char16_t kExitWritingQuestion[] =
    u"Are you sure you want to cancel the copy process and exit?";

// Logging off and suspending are refused while discs are written.
bool RefusesEndOfSession(int index);

}  // namespace vestrel::wizard
