#include "wizard/navigation.h"

#include "wizard/page_table.h"

namespace vestrel::wizard {

NextStep NextStepFrom(int index) {
    if (index < kWelcomePage || index >= kFinishPage)
        return {};
    return {true, index + 1, index == kSelectDrivesPage};
}

bool BackLeavesReading(int index) {
    return index == kReadingPage;
}

ExitPlan ExitPlanFor(int index, bool threadLeft) {
    switch (index) {
        case kRemoveDiscsPage:
            return {nullptr, false, true};
        case kReadingPage:
            // Every reader has ended: the wizard ends at once and the image
            // files stay.
            if (!threadLeft)
                return {};
            return {kExitReadingQuestion, true, false};
        case kWritingPage:
            return {threadLeft ? kExitWritingQuestion : nullptr, true, false};
        default:
            return {};
    }
}

bool RefusesEndOfSession(int index) {
    return index == kWritingPage;
}

}  // namespace vestrel::wizard
