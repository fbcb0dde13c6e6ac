// Where the select, reading and writing pages put their scrolling panel:
// five rows high, its bottom level with the side panel's, reaching from
// the page's reference control to the Exit button's right edge.
#pragma once

namespace vestrel::wizard {

struct PanelPlacement {
    int x = 0;  // page coordinates
    int y = 0;
    int width = 0;
    int height = 0;
};

// Rows shown at once; the panel adds one pixel of frame above and below.
inline constexpr int kVisibleRows = 5;

// `left` is the reference control's left edge in page coordinates; the
// other positions are frame client coordinates.
PanelPlacement PanelOnPage(int rowHeight, int left, int pageLeft, int pageTop, int exitRight,
                           int sidePanelBottom);

// The select page's column headings on the line above the panel: "Source"
// over the rows' first `sourceWidth` pixels, "Destination" after a `gap`
// up to the scroll bar.
struct HeadingPlacement {
    int y = 0;
    int sourceX = 0;
    int sourceWidth = 0;
    int destinationX = 0;
    int destinationWidth = 0;
};
HeadingPlacement HeadingsAbove(const PanelPlacement& panel, int headingHeight, int lineGap,
                               int sourceWidth, int gap, int pageLeft, int exitRight,
                               int scrollBarWidth);

}  // namespace vestrel::wizard
