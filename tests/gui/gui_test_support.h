// What the GUI tests share: where the programs and bays are, the screen the
// harness set up, and the screenshot folder.
#pragma once

#include <windows.h>

#include <string>

#include "tests/gui/gui_driver.h"
#include "wizard/object_counting.h"

namespace vestrel::gui {

// A program of the build, found from the test program's own folder.
std::wstring BuildProgram(const std::wstring& relativePath);
// A file of the source tree.
std::wstring SourceFile(const std::string& relativePath);
// The dots per inch the harness set (VESTREL_GUI_DPI), 0 when not told.
int RequestedDpi();
// Saves the window as NAME-DPI.bmp in the harness's screenshot folder
// (VESTREL_GUI_SHOTS); true when there is none.
bool SaveScreenshot(HWND window, const std::wstring& name);
// The object counts a program linked with the counting layer publishes.
bool ReadObjectCounts(DWORD processId, ObjectCounts& counts);

}  // namespace vestrel::gui
