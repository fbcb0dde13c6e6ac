#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "wizard/navigation.h"
#include "wizard/page_table.h"

namespace vestrel::wizard {
namespace {

TEST(Navigation, NextMovesOneStepAndPlansImagesOnlyWhenLeavingTheSelectPage) {
    const int dialogs[] = {IDD_WELCOME, IDD_REMOVE_DISCS, IDD_SELECT_DRIVES,
                           IDD_READING, IDD_WRITING,      IDD_FINISH};
    for (int index = 0; index < 5; ++index) {
        SCOPED_TRACE(index);
        NextStep step = NextStepFrom(index);
        EXPECT_TRUE(step.moves);
        EXPECT_EQ(step.newIndex, index + 1);
        EXPECT_EQ(step.needsImageFiles, index == kSelectDrivesPage);
        EXPECT_EQ(PageAt(step.newIndex).dialogId, dialogs[index + 1]);
    }
    EXPECT_FALSE(NextStepFrom(kFinishPage).moves);
    EXPECT_FALSE(NextStepFrom(-1).moves);
    EXPECT_EQ(std::u16string(PageAt(kSelectDrivesPage).title),
              u"Select source and destination drives");
    EXPECT_EQ(std::u16string(PageAt(kFinishPage).number), u"6  ");
}

TEST(Navigation, BackActsOnlyOnTheReadingPage) {
    for (int index = 0; index < kPageCount; ++index)
        EXPECT_EQ(BackLeavesReading(index), index == kReadingPage) << index;
}

TEST(Navigation, ExitAsksAndDeletesOnlyWhereACopyIsUnderWay) {
    struct Case {
        int index;
        bool threadLeft;
        const char16_t* question;
        bool deletes;
        bool stopsPage;
    };
    const Case cases[] = {
        {kWelcomePage, false, nullptr, false, false},
        {kRemoveDiscsPage, false, nullptr, false, true},
        {kSelectDrivesPage, true, nullptr, false, false},
        // Reading has ended: no question, and the image files stay.
        {kReadingPage, false, nullptr, false, false},
        {kReadingPage, true, kExitReadingQuestion, true, false},
        // Writing has ended: no question, but the image files go.
        {kWritingPage, false, nullptr, true, false},
        {kWritingPage, true, kExitWritingQuestion, true, false},
        {kFinishPage, false, nullptr, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << " " << c.threadLeft);
        ExitPlan plan = ExitPlanFor(c.index, c.threadLeft);
        EXPECT_EQ(plan.question, c.question);
        EXPECT_EQ(plan.deleteImageFiles, c.deletes);
        EXPECT_EQ(plan.stopPageFirst, c.stopsPage);
    }
}

}  // namespace
}  // namespace vestrel::wizard
