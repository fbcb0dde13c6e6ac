// Process-wide state of the wizard and the names the frame's windows share:
// the frame class, its window properties, its private message, and small
// accessors the pages use.
#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

#include "drive/drive_letters.h"

namespace vestrel::wizard {

inline constexpr wchar_t kFrameClass[] = L"dlg0_{82DE65E8-B047-4647-8A07-1742A98109F1}";
// The caption of every message box of the wizard.
inline constexpr wchar_t kProductName[] = L"t4k Vestrel\x2122";

// wParam = a frame window: restore it, raise it and flash it.
inline constexpr UINT WM_ACTIVATEINSTANCE = WM_APP + 1;

// Frame properties.
inline constexpr wchar_t kPropSidePanelProc[] = L"_0";
inline constexpr wchar_t kPropStepListDC[] = L"_1";
inline constexpr wchar_t kPropStepListOldBitmap[] = L"_2";
inline constexpr wchar_t kPropHeaderFont[] = L"_3";
inline constexpr wchar_t kPropSmallBoldFont[] = L"_4";
inline constexpr wchar_t kPropPageIndex[] = L"_5";
inline constexpr wchar_t kPropInstanceMapping[] = L"_6";
inline constexpr wchar_t kPropInstanceView[] = L"_7";
inline constexpr wchar_t kPropCopyOutcome[] = L"_8";

struct WizardProcess {
    HINSTANCE instance = nullptr;
    // The page now shown; written by the user-interface thread only, read by
    // page threads to see whether their page is still current.
    std::atomic<HWND> currentPage{nullptr};
    UINT autoPlayMessage = 0;
    UINT gotHandleMessage = 0;
    UINT updateMessage = 0;
    // The frame, for the update-check thread: written under frameLock.
    HWND frame = nullptr;
    CRITICAL_SECTION frameLock{};
    HANDLE updateThread = nullptr;

    // The select page's drive list panel while it exists; the frame sends
    // it the drive list messages its volume notifications call for.
    HWND driveListPanel = nullptr;
    // How deep the drive list is in its own handling, which may wait
    // dispatching messages: Next, Back and Exit wait meanwhile (the last one
    // asked is kept) and run once it is done, so that no page goes away
    // under a handler still running on it.
    int driveListBusy = 0;
    int deferredCommand = 0;
    // While Next is leaving the select page (planning the image files,
    // asking about stale ones), volume changes are kept back; they are acted
    // on only if the wizard stays on the page.
    bool holdVolumeEvents = false;
    std::vector<VolumeEvent> heldVolumeEvents;
};
WizardProcess& Process();

// The frame window under the frame-handle lock; null before it exists
// and after it is gone.
HWND LockedFrameHandle();

int PageIndex(HWND frame);
void SetPageIndex(HWND frame, int index);
// The frame's small bold font (Tahoma 8, weight 700), shared by the pages.
HFONT SmallBoldFont(HWND frame);

// Texts of the portable code in the window system's form.
inline const wchar_t* Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

// A message box with the wizard's caption.
int ShowMessage(HWND owner, const wchar_t* text, UINT type);

}  // namespace vestrel::wizard
