#include "wizard/step_list_layout.h"

#include "ui/scaling.h"

namespace vestrel::wizard {

StepListMetrics StepListMetricsFor(int dpiX, int dpiY, int panelWidth) {
    StepListMetrics m;
    m.numberLeft = ScaleForDpi(38, dpiX);
    m.firstTop = ScaleForDpi(33, dpiY);
    m.markerLeft = ScaleForDpi(12, dpiX);
    m.markerRise = ScaleForDpi(2, dpiY);
    m.textRight = panelWidth - m.numberLeft / 2;
    return m;
}

Point BesideButton(int buttonRight, int buttonTop, int buttonHeight, int height, int gap) {
    return {buttonRight + gap, buttonTop + buttonHeight / 2 - height / 2};
}

}  // namespace vestrel::wizard
