// The side panel (control 3001): the six steps rendered into a memory DC
// kept in the frame's properties, and a subclass that paints from it.
#pragma once

#include <windows.h>

namespace vestrel::wizard {

// The panel's memory DC and bitmap at its client size ("_1", "_2"); false
// when the window DC, the memory DC or the bitmap cannot be had.
bool CreateStepListCanvas(HWND frame);
// Frees what CreateStepListCanvas made.
void DeleteStepListCanvas(HWND frame);

// Draws the steps with `current` marked and those before it done.
void RenderStepList(HWND frame, int current);
// Copies the rendered steps to the panel at once.
void ShowStepList(HWND frame);

// Subclasses the panel ("_0" keeps its procedure) and puts it back.
void SubclassSidePanel(HWND frame);
void RestoreSidePanel(HWND frame);

}  // namespace vestrel::wizard
