// The frame's answer to the update message: the offer is shown only while
// the Welcome page is up, after the message has gone once more round the
// queue; on consent the package's address is opened and the wizard ends.
#include <string>

#include "resources/publisher.h"
#include "wizard/frame_state.h"
#include "wizard/update_thread.h"
#include "wizard/web_address.h"

namespace vestrel::wizard {

namespace {

constexpr DWORD kPauseBeforeClosingMs = 2000;

// Arrivals of the update message while on the Welcome page; the user
// interface thread's alone.
unsigned gArrivals = 0;

}  // namespace

LRESULT OnUpdateAvailable(HWND frame, WPARAM, LPARAM) {
    FoundUpdate found{};
    // Another program may post the registered message too: without an
    // offer, or after the prompt, it is consumed.
    if (PageIndex(frame) != 0 || !TakeFoundUpdate(found) || gArrivals >= 2)
        return 0;
    if (++gArrivals != 2) {
        PostMessageW(frame, Process().updateMessage, 0, 0);
        return 0;
    }
    const std::wstring title =
        std::wstring(kProductName) + L" " + found.versionText + L" Available";
    const std::wstring text =
        std::wstring(L"A new version of ") + kProductName +
        L" is available for download from " VESTREL_PUBLISHER_DOMAIN
        L"\n\nIt is recommended that you upgrade to the new version before proceeding."
        L"\n\nDo you want to upgrade your copy now?";
    if (MessageBoxW(frame, text.c_str(), title.c_str(), MB_OKCANCEL | MB_ICONQUESTION) == IDCANCEL)
        return 0;
    OpenWebAddress(found.downloadAddress, SW_SHOWNORMAL);
    Sleep(kPauseBeforeClosingMs);
    DestroyWindow(frame);
    return 0;
}

}  // namespace vestrel::wizard
