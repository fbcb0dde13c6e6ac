#include "wizard/page_layout.h"

namespace vestrel::wizard {

PanelPlacement PanelOnPage(int rowHeight, int left, int pageLeft, int pageTop, int exitRight,
                           int sidePanelBottom) {
    PanelPlacement p;
    p.height = kVisibleRows * rowHeight + 2;
    p.x = left;
    p.y = sidePanelBottom - pageTop - p.height;
    p.width = exitRight - pageLeft - left - 1;
    return p;
}

HeadingPlacement HeadingsAbove(const PanelPlacement& panel, int headingHeight, int lineGap,
                               int sourceWidth, int gap, int pageLeft, int exitRight,
                               int scrollBarWidth) {
    HeadingPlacement h;
    h.y = panel.y - headingHeight - lineGap;
    h.sourceX = panel.x;
    h.sourceWidth = sourceWidth;
    h.destinationX = panel.x + sourceWidth + gap;
    h.destinationWidth = exitRight - gap - sourceWidth - pageLeft - panel.x - 1 - scrollBarWidth;
    return h;
}

}  // namespace vestrel::wizard
