// Finish (dialog 2801): whether every disc was copied, and the way back to
// copy more.
#include <cstdint>

#include "engine/copy_coordination.h"
#include "resources/resource_ids.h"
#include "ui/dpi.h"
#include "ui/gdi.h"
#include "ui/link.h"
#include "wizard/frame_state.h"
#include "wizard/pages.h"

namespace vestrel::wizard {

namespace {

// The line that leads back to copy more discs.
constexpr InlineLink kCopyAgainLine{L"If you want to go back and copy additional discs, click ",
                                    IDC_FINISH_ADVICE, 45, IDC_FINISH_LINK, RGB(8, 0, 0)};
// Posted to the page so the wizard restarts after the link's click has
// returned (the restart destroys this page and the link).
constexpr UINT WM_RESTARTWIZARD = WM_APP + 21;

void OnInit(HWND page) {
    HWND frame = GetParent(page);
    const bool allCopied = reinterpret_cast<intptr_t>(GetPropW(frame, kPropCopyOutcome)) == 1;
    SetDlgItemTextW(page, IDC_FINISH_RESULT, Wide(allCopied ? kAllCopiedText : kNotAllCopiedText));
    SetDlgItemTextW(page, IDC_FINISH_ADVICE,
                    Wide(allCopied ? kAllCopiedAdvice : kNotAllCopiedAdvice));
    RemovePropW(frame, kPropCopyOutcome);
    SendDlgItemMessageW(page, IDC_FINISH_RESULT, WM_SETFONT,
                        reinterpret_cast<WPARAM>(SmallBoldFont(frame)), TRUE);
    CreateInlineLink(page, kCopyAgainLine);
}

void PostRestart(HWND page) {
    PostMessageW(page, WM_RESTARTWIZARD, 0, 0);
}

// From "Welcome!" the frame's Next leads to Remove discs: the copy cycle
// begins again.
void RestartWizard(HWND page) {
    HWND frame = GetParent(page);
    SetPageIndex(frame, 0);
    SendMessageW(frame, WM_COMMAND, MAKEWPARAM(IDC_NEXT, 0),
                 reinterpret_cast<LPARAM>(GetDlgItem(frame, IDC_NEXT)));
}

}  // namespace

INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    auto handle = [&]() -> INT_PTR {
        if (message == WM_RESTARTWIZARD) {
            RestartWizard(page);
            return TRUE;
        }
        return HandleInlineLink(page, message, wParam, kCopyAgainLine, PostRestart);
    };
    return PageProcedure(page, message, wParam, lParam, kFillStatics | kAnswerFillBackground,
                         nullptr, OnInit, handle);
}

}  // namespace vestrel::wizard
