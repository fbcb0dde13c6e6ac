// One drive row of the select page (class "o3") and its destination strip
// (class "o4" in a pager): the drive's icon and texts, the copies control
// of a source, and where its copies go.
#pragma once

#include <windows.h>

namespace vestrel::wizard {

// Registers "o3" and "o4"; repeated registrations fail harmlessly.
void RegisterDriveRowClasses();

// The letter a row was created for.
char16_t DriveRowLetter(HWND row);

// Brings a row up to its record and plan: its copies control comes or
// goes, its destination column and its text follow, and it repaints.
void UpdateDriveRow(HWND row);

}  // namespace vestrel::wizard
