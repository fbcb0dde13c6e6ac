// Scrolling arithmetic of the two panel families, free of the window
// system: scroll-bar range, scroll requests and the mouse wheel.
#pragma once

#include <cstdint>

namespace vestrel {

// The scroll requests of a vertical scroll bar, numbered as the system's
// SB_ codes.
enum class ScrollRequest : int {
    LineUp = 0,
    LineDown = 1,
    PageUp = 2,
    PageDown = 3,
    ThumbPosition = 4,
    ThumbTrack = 5,
    Top = 6,
    Bottom = 7,
    EndScroll = 8,
};

// The scroll bar of a panel whose content is taller than its viewport:
// range 0 .. maximum with the given page, so that the last position is
// content height − viewport height. `needed` is false while everything fits.
struct ScrollRange {
    bool needed = false;
    int maximum = 0;
    int page = 0;
};
ScrollRange RangeForRows(int rowCount, int rowHeight, int viewportHeight, int page);

// Last position of a range: maximum − page + 1, never below 0.
int LastScrollPosition(int maximum, int page);

// The position after a request: lines move 1 pixel, pages `page` pixels,
// thumb requests take `thumb`; the result stays within 0 .. last.
int NextScrollPosition(ScrollRequest request, int position, int thumb, int last, int page);

// The system's "one screen at a time" wheel setting.
inline constexpr uint32_t kWheelPageScroll = 0xFFFFFFFFu;
inline constexpr int kWheelNotch = 120;

// What a wheel turn asks of a panel: `count` requests of `request`
// (LineUp/LineDown, or PageUp/PageDown under the page setting). The count
// is bounded by `last` + 1 line steps, which already cover the whole range.
struct WheelScroll {
    ScrollRequest request = ScrollRequest::LineUp;
    int count = 0;
};
// Adds `delta` to `remainder`, takes the whole notches out of it and turns
// them into requests with `lines` lines per notch.
WheelScroll TakeWheelNotches(int& remainder, int delta, uint32_t lines, int last);

}  // namespace vestrel
