// The update check: a background thread that looks on the publisher's page
// for another build and tells the frame with the update message, which
// offers it while the Welcome page shows.
#pragma once

#include <windows.h>

namespace vestrel::wizard {

// The page the check downloads; set before the thread starts. The virtual
// program's page may come from its environment: nullptr or an empty text
// there means no check at all.
void SetUpdatePage(const wchar_t* address);

// The thread procedure; its parameter is not used (the frame handle is
// read under the frame-handle lock).
DWORD WINAPI UpdateCheckThread(void*);

// What the check found, for the frame once the update message has arrived;
// null before that.
struct FoundUpdate {
    const wchar_t* downloadAddress;
    const wchar_t* versionText;
};
bool TakeFoundUpdate(FoundUpdate& found);

// The frame's answer to the update message.
LRESULT OnUpdateAvailable(HWND frame, WPARAM wParam, LPARAM lParam);

}  // namespace vestrel::wizard
