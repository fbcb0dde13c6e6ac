// The update check: a background thread that looks for another build of
// the product and tells the frame with the update message. For now it
// ends at once and the frame has nothing to offer.
#pragma once

#include <windows.h>

namespace vestrel::wizard {

// The thread procedure; `frameHandle` is the address of the published
// frame handle (read under the frame-handle lock).
DWORD WINAPI UpdateCheckThread(void* frameHandle);

// The frame's answer to the update message.
LRESULT OnUpdateAvailable(HWND frame, WPARAM wParam, LPARAM lParam);

}  // namespace vestrel::wizard
