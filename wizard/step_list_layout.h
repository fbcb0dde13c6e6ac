// Where the side panel draws its six steps, for a screen of a given dpi.
// All constants are stated at 96 dots per inch and scaled as MulDiv does.
#pragma once

namespace vestrel::wizard {

struct StepListMetrics {
    int numberLeft = 0;  // left edge of the step numbers (and the titles after them)
    int firstTop = 0;    // top of the first step
    int markerLeft = 0;  // the current/done marker icon
    int markerRise = 0;  // the marker sits this much above its step's top
    int textRight = 0;   // right limit of numbers and titles
};
StepListMetrics StepListMetricsFor(int dpiX, int dpiY, int panelWidth);

// The next step starts below this one's title and one line of the next
// step's number, plus a fixed 7 pixels (not scaled).
inline constexpr int kStepGap = 7;
inline int NextStepTop(int top, int titleHeight, int nextNumberHeight) {
    return top + titleHeight + nextNumberHeight + kStepGap;
}

// Where a control of `height` sits when vertically centred on a button
// (top and height), and left of nothing but the button's right edge plus a
// gap: the web link beside the About button.
struct Point {
    int x = 0;
    int y = 0;
};
Point BesideButton(int buttonRight, int buttonTop, int buttonHeight, int height, int gap);

}  // namespace vestrel::wizard
