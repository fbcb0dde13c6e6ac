// The select page's drive list as windows: the drive list panel's row
// messages (add, remove, refresh), the list of records and the plan behind
// the rows, and what a row asks of them. The rows themselves are drawn by
// drive_row.cpp.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>

#include "drive/drive_list.h"

namespace vestrel::wizard {

// The select page's drive list panel as it is when a message goes out (a
// wait before a refresh may have seen the page go): the target of the
// frame's volume changes. Without a panel the message goes nowhere.
class CurrentDriveList : public DriveListTarget {
  public:
    void Receive(DriveListMessage message, char16_t letter) override;
};

// Hands the drive list panel its row messages; once, at start-up.
void InstallDriveRows();

// Fills a new panel with one row per optical drive, Next disabled until a
// plan allows it.
void FillDriveList(HWND panel);

// What a row shows: its record and its destination column.
struct RowView {
    const DriveRecord* record = nullptr;
    const RowDestination* destination = nullptr;
    size_t index = 0;
};
// None when the row's panel holds no row for its letter.
std::optional<RowView> ViewOfRow(HWND row);

// One click on a row's copies control (+1 up, -1 down): the count, the row
// and the plan follow. False when the click was past either end.
bool StepRowCopies(HWND row, int delta);

// Moves the keyboard focus from `row` as the key says.
void MoveRowFocus(HWND row, FocusKey key);

// The drive list panel a row lives in (row, content, viewport, panel).
HWND PanelOfRow(HWND row);

}  // namespace vestrel::wizard
