#include <gtest/gtest.h>

#include "ui/scaling.h"
#include "ui/scroll_logic.h"

namespace vestrel {
namespace {

TEST(Scaling, RoundsAsMulDiv) {
    struct Case {
        int value, dpi, expected;
    };
    for (const Case& c : {Case{38, 144, 57},
                          {33, 144, 50},
                          {20, 120, 25},
                          {55, 144, 83},
                          {20, 96, 20},
                          {-3, 144, -5},
                          {7, 0, 7}}) {
        EXPECT_EQ(ScaleForDpi(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
    }
}

TEST(Scaling, IconSizesSnapToTheGroupsSizes) {
    struct Case {
        int size, base, expected;
    };
    for (const Case& c : {Case{16, 20, 20},
                          {20, 20, 20},
                          {21, 20, 25},
                          {25, 20, 25},
                          {26, 20, 30},
                          {30, 20, 30},
                          {31, 20, 40},
                          {50, 20, 40},
                          {48, 48, 48},
                          {49, 48, 60},
                          {60, 48, 60},
                          {61, 48, 72},
                          {73, 48, 96},
                          {200, 48, 96},
                          {17, 16, 17}}) {
        EXPECT_EQ(SnapIconSize(c.size, c.base), c.expected) << c.size << " base " << c.base;
    }
}

// A panel container at 96 dpi: rows of 56, viewport 5 × 56 high, page 37.
constexpr int kRow = 56, kView = 5 * 56, kPage = 37;

TEST(PanelScrolling, TheBarIsNeededOnlyWhenRowsOverflow) {
    EXPECT_FALSE(RangeForRows(5, kRow, kView, kPage).needed);
    const ScrollRange range = RangeForRows(7, kRow, kView, kPage);
    ASSERT_TRUE(range.needed);
    EXPECT_EQ(LastScrollPosition(range.maximum, range.page), 2 * kRow);
}

TEST(PanelScrolling, RequestsMoveWithinTheRange) {
    const int last = 112;
    struct Case {
        ScrollRequest request;
        int position, thumb, expected;
    };
    for (const Case& c : {Case{ScrollRequest::LineDown, 10, 0, 11},
                          {ScrollRequest::LineDown, last, 0, last},
                          {ScrollRequest::LineUp, 0, 0, 0},
                          {ScrollRequest::PageDown, 100, 0, last},
                          {ScrollRequest::PageUp, 50, 0, 13},
                          {ScrollRequest::ThumbTrack, 0, 70, 70},
                          {ScrollRequest::ThumbPosition, 0, 500, last},
                          {ScrollRequest::Top, 80, 0, 0},
                          {ScrollRequest::Bottom, 0, 0, last},
                          {ScrollRequest::EndScroll, 42, 0, 42}}) {
        EXPECT_EQ(NextScrollPosition(c.request, c.position, c.thumb, last, kPage), c.expected)
            << static_cast<int>(c.request) << " from " << c.position;
    }
}

TEST(PanelScrolling, WheelNotchesBecomeLineOrPageRequests) {
    int remainder = 0;
    WheelScroll scroll = TakeWheelNotches(remainder, 120, 3, 112);
    EXPECT_EQ(scroll.request, ScrollRequest::LineUp);
    EXPECT_EQ(scroll.count, 3);
    // Half notches add up; what is left below a notch stays.
    EXPECT_EQ(TakeWheelNotches(remainder, -60, 3, 112).count, 0);
    scroll = TakeWheelNotches(remainder, -100, 3, 112);
    EXPECT_EQ(scroll.request, ScrollRequest::LineDown);
    EXPECT_EQ(scroll.count, 3);
    EXPECT_EQ(remainder, -40);
    // "One screen at a time": one page per notch, not lines × 4 billion.
    remainder = 0;
    scroll = TakeWheelNotches(remainder, -240, kWheelPageScroll, 112);
    EXPECT_EQ(scroll.request, ScrollRequest::PageDown);
    EXPECT_EQ(scroll.count, 2);
    // Many lines per notch never ask for more steps than the range has.
    remainder = 0;
    EXPECT_EQ(TakeWheelNotches(remainder, 120, 100000, 112).count, 113);
}

}  // namespace
}  // namespace vestrel
