// "Overwrite files?" (dialog 2601): the image files left over from an
// earlier run, and whether to overwrite them. Overwrite counts down from 10
// and clicks itself at 0.
#pragma once

#include <windows.h>

namespace vestrel::wizard {

// Shows the dialog modally over `owner` with the list (paths separated by
// blank lines). Returns the id of the button that ended it: IDC_OVERWRITE,
// also when the countdown ran out, or IDC_OVERWRITE_CANCEL, also for the
// close box and Escape.
INT_PTR ShowOverwriteDialog(HWND owner, const wchar_t* fileList);

}  // namespace vestrel::wizard
