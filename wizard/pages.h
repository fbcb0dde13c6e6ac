// The six page dialogs: modeless children of the frame, created when their
// step is entered and destroyed when it is left.
#pragma once

#include <windows.h>

namespace vestrel::wizard {

// Creates the page of a step index (its WM_INITDIALOG has run on return).
HWND CreatePage(HWND frame, int index);

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RemoveDiscsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SelectDrivesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ReadingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WritingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// What the reading or writing page shows as its panels' run states change:
// its state icon and texts, Next, and at the end of writing the image
// files deleted and the copy outcome kept for the Finish page.
void ReflectPanels(HWND container);

// What every page does about its background. `flags` picks the variants.
enum PageBackground : unsigned {
    kPlainStatics = 0,
    kFillStatics = 1,           // statics get the background before their text
    kAnswerFillBackground = 2,  // the page answers WM_FILLBACKGROUND itself
};
// Handles WM_ERASEBKGND, WM_CTLCOLORSTATIC and WM_FILLBACKGROUND; a static
// `ownColours` (the icon static) keeps the default answer. True when the
// message was handled; `result` is the dialog procedure's answer.
bool HandlePageBackground(HWND page, UINT message, WPARAM wParam, LPARAM lParam, unsigned flags,
                          HWND ownColours, INT_PTR& result);

// The panel's place on the select, reading and writing pages: five rows of
// `rowHeight` (96 dpi) high, from `reference`'s left edge to the Exit
// button, level with the side panel's bottom.
RECT PanelRectOnPage(HWND page, HWND reference, int rowHeight);

// A line of text `gap` (96 dpi) below control `aboveId`, in Tahoma 8, with
// a link placed inline at its end and a full stop after the link.
struct InlineLink {
    const wchar_t* lead;
    int aboveId;
    int gap;
    int linkId;
    COLORREF colour;  // CLR_INVALID: the DC's own
};
// Creates the line's link, "here", and moves it to the end of the text at
// once, so that it never jumps once shown.
void CreateInlineLink(HWND page, const InlineLink& line);
// The messages of a page built around `line`: WM_PAINT draws the text and
// the full stop and places the link; WM_COMMAND calls `onClick` when it is
// the link's click. True when handled (the answer is TRUE).
bool HandleInlineLink(HWND page, UINT message, WPARAM wParam, const InlineLink& line,
                      void (*onClick)(HWND page));

// Runs a page or frame handler, never letting an exception out of a window
// procedure.
template <typename Body>
INT_PTR Guarded(Body body) {
    try {
        return body();
    } catch (...) {
        return FALSE;
    }
}

// A page procedure, guarded. The background messages are answered as
// HandlePageBackground answers them; WM_INITDIALOG calls `init` and leaves
// the focus to it; `body` answers the others.
template <typename Body>
INT_PTR PageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam, unsigned flags,
                      HWND ownColours, void (*init)(HWND page), Body body) {
    return Guarded([&]() -> INT_PTR {
        INT_PTR result = FALSE;
        if (HandlePageBackground(page, message, wParam, lParam, flags, ownColours, result))
            return result;
        if (message == WM_INITDIALOG) {
            init(page);
            return FALSE;
        }
        return body();
    });
}

// The same for a page that answers no other message.
inline INT_PTR PageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam, unsigned flags,
                             HWND ownColours, void (*init)(HWND page)) {
    return PageProcedure(page, message, wParam, lParam, flags, ownColours, init,
                         []() -> INT_PTR { return FALSE; });
}

}  // namespace vestrel::wizard
