#include "ui/scroll_logic.h"

#include <algorithm>
#include <cstdlib>

namespace vestrel {

ScrollRange RangeForRows(int rowCount, int rowHeight, int viewportHeight, int page) {
    const int content = rowCount * rowHeight;
    if (content <= viewportHeight)
        return {};
    return {true, page + content - viewportHeight - 1, page};
}

int LastScrollPosition(int maximum, int page) {
    return std::max(0, maximum - page + 1);
}

int NextScrollPosition(ScrollRequest request, int position, int thumb, int last, int page) {
    int next = position;
    switch (request) {
        case ScrollRequest::LineUp:
            next = position - 1;
            break;
        case ScrollRequest::LineDown:
            next = position + 1;
            break;
        case ScrollRequest::PageUp:
            next = position - page;
            break;
        case ScrollRequest::PageDown:
            next = position + page;
            break;
        case ScrollRequest::ThumbPosition:
        case ScrollRequest::ThumbTrack:
            next = thumb;
            break;
        case ScrollRequest::Top:
            next = 0;
            break;
        case ScrollRequest::Bottom:
            next = last;
            break;
        case ScrollRequest::EndScroll:
            break;
    }
    return std::clamp(next, 0, std::max(0, last));
}

WheelScroll TakeWheelNotches(int& remainder, int delta, uint32_t lines, int last) {
    remainder += delta;
    const int notches = remainder / kWheelNotch;  // truncates towards zero
    remainder -= notches * kWheelNotch;
    if (notches == 0)
        return {};
    const bool up = notches > 0;
    const int whole = std::abs(notches);
    if (lines == kWheelPageScroll)
        return {up ? ScrollRequest::PageUp : ScrollRequest::PageDown, whole};
    // More line steps than positions move nothing further.
    const int64_t steps = std::min<int64_t>(static_cast<int64_t>(lines) * whole,
                                            static_cast<int64_t>(std::max(0, last)) + 1);
    return {up ? ScrollRequest::LineUp : ScrollRequest::LineDown, static_cast<int>(steps)};
}

}  // namespace vestrel
