#include <gtest/gtest.h>

#include "wizard/page_layout.h"
#include "wizard/step_list_layout.h"

namespace vestrel::wizard {
namespace {

TEST(StepList, MetricsFollowTheScreenDpiAsMulDivRounds) {
    struct Case {
        int dpi;
        int panelWidth;
        StepListMetrics expected;
    };
    // Panel widths: 117 dialog units of Tahoma 8 at each dpi.
    const Case cases[] = {
        {96, 176, {38, 33, 12, 2, 157}},
        {120, 219, {48, 41, 15, 3, 195}},  // 47.5 rounds up, 41.25 down
        {144, 263, {57, 50, 18, 3, 235}},  // 49.5 rounds up
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        StepListMetrics m = StepListMetricsFor(c.dpi, c.dpi, c.panelWidth);
        EXPECT_EQ(m.numberLeft, c.expected.numberLeft);
        EXPECT_EQ(m.firstTop, c.expected.firstTop);
        EXPECT_EQ(m.markerLeft, c.expected.markerLeft);
        EXPECT_EQ(m.markerRise, c.expected.markerRise);
        EXPECT_EQ(m.textRight, c.expected.textRight);
    }
}

TEST(StepList, StepsFollowEachOtherByTitleAndNextNumberHeight) {
    // A one-line title of 14 px, then a wrapped one of 28 px.
    int y = NextStepTop(50, 14, 14);
    EXPECT_EQ(y, 85);
    EXPECT_EQ(NextStepTop(y, 28, 15), 135);
}

TEST(StepList, WebLinkIsCentredBesideTheAboutButton) {
    // Odd heights truncate each half on its own.
    Point p = BesideButton(35, 428, 28, 13, 3);
    EXPECT_EQ(p.x, 38);
    EXPECT_EQ(p.y, 428 + 14 - 6);
}

TEST(PageLayout, PanelEndsLevelWithTheSidePanelAndReachesTheExitButton) {
    // 96 dpi: page at 189,37 in the frame, Exit ends at 669, the side panel
    // at 411; the reference control starts at 5.
    PanelPlacement p = PanelOnPage(55, 5, 189, 37, 669, 411);
    EXPECT_EQ(p.height, 277);
    EXPECT_EQ(p.y, 411 - 37 - 277);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.width, 669 - 189 - 5 - 1);

    HeadingPlacement h = HeadingsAbove(p, 13, 2, 275, 26, 189, 669, 17);
    EXPECT_EQ(h.y, p.y - 15);
    EXPECT_EQ(h.sourceX, 5);
    EXPECT_EQ(h.destinationX, 5 + 275 + 26);
    EXPECT_EQ(h.destinationWidth, 669 - 26 - 275 - 189 - 5 - 1 - 17);
}

}  // namespace
}  // namespace vestrel::wizard
