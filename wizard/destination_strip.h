// The destination strip of a source's row: a pager ("SysPager", 38 dip
// high) holding a strip (class "o4") that draws each recorder the copies
// go to as the optical-drive icon with its letter and count.
#pragma once

#include <windows.h>

#include <vector>

#include "drive/source_table.h"

namespace vestrel::wizard {

void RegisterDestinationStripClass();

// Shows `destinations` centred in `area` of `row`, in `pager` or, when
// that is null, in a new pager; returns the pager.
HWND ShowDestinations(HWND row, HWND pager, const RECT& area,
                      const std::vector<DestinationEntry>& destinations);

// A pager's question about its strip's size, asked of the row; 0 for any
// other notification.
LRESULT AnswerStripNotification(const NMHDR* header);

// The optical-drive stock icon at the size of a large icon, owned by the
// caller (DestroyIcon); where the system has no stock icons, the shell's
// icon of the optical drive `letter`, else a copy of the application icon.
HICON LoadOpticalDriveIcon(char16_t letter);

}  // namespace vestrel::wizard
