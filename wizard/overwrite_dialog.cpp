#include "wizard/overwrite_dialog.h"

#include <cwchar>
#include <optional>
#include <string>

#include "drive/clock.h"
#include "engine/image_store.h"
#include "resources/resource_ids.h"
#include "ui/dpi.h"
#include "ui/gdi.h"
#include "ui/icons.h"
#include "ui/painting.h"
#include "wizard/frame_state.h"
#include "wizard/pages.h"

namespace vestrel::wizard {

namespace {

constexpr wchar_t kHeading[] = L"Overwrite files?";
constexpr wchar_t kExplanation[] =
    L"The following files already exist and will be overwritten if you continue. Note these are "
    L"files used internally by the program, and are probably left over from a "
    L"previously-aborted copy attempt, so overwriting is harmless.";
constexpr COLORREF kHeadingColour = RGB(0, 83, 166);
constexpr UINT_PTR kCountdownTimer = 1;

// The open dialog's countdown, the button it runs on and the caption shown
// there; one such dialog is open at a time.
struct Countdown {
    std::optional<OverwriteCountdown> count;
    HWND button = nullptr;
    std::u16string shown;
};
Countdown countdown;

// The child button whose caption begins with "Overwrite".
HWND FindOverwriteButton(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        wchar_t caption[16] = {};
        GetClassNameW(child, className, 16);
        GetWindowTextW(child, caption, 16);
        if (lstrcmpiW(className, L"button") == 0 && std::wcsncmp(caption, L"Overwrite", 9) == 0)
            return child;
    }
    return nullptr;
}

void ShowCount() {
    const std::u16string caption = countdown.count->Caption();
    if (caption == countdown.shown)
        return;
    SetWindowTextW(countdown.button, Wide(caption.c_str()));
    countdown.shown = caption;
}

void StartCountdown(HWND dialog) {
    countdown = {};
    countdown.button = FindOverwriteButton(dialog);
    if (!countdown.button)
        return;
    countdown.count.emplace(ActiveClock().TickCount());
    ShowCount();
    SetTimer(dialog, kCountdownTimer, USER_TIMER_MINIMUM, nullptr);
}

void StopCountdown(HWND dialog) {
    KillTimer(dialog, kCountdownTimer);
    countdown = {};
}

// The timer polls: the count goes down once a second, and when it would
// reach 0 the button is clicked.
void OnCountdownTimer(HWND dialog) {
    if (!countdown.count) {
        KillTimer(dialog, kCountdownTimer);
        return;
    }
    const bool click = countdown.count->Tick(ActiveClock().TickCount());
    ShowCount();
    if (click) {
        HWND button = countdown.button;
        StopCountdown(dialog);
        PostMessageW(button, BM_CLICK, 0, 0);
    }
}

// White behind the icon, the texts and the list; the button face on the
// footer band under its etched line. Built in memory, then copied at once.
void Draw(HWND dialog, HDC target) {
    RECT client{};
    GetClientRect(dialog, &client);
    MemoryCanvas canvas(target, client.right, client.bottom);
    if (!canvas)
        return;
    HDC dc = canvas.get();
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECT band = ChildRect(dialog, IDC_DECORATION1);
    FillRect(dc, &band, GetSysColorBrush(COLOR_BTNFACE));
    RECT line = ChildRect(dialog, IDC_DECORATION2);
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);

    const int margin = ScaledX(11);
    const int top = ScaledY(11);
    int textLeft = margin;
    if (HICON icon = LoadSizedIcon(IDI_OVERWRITE, 48)) {
        const SIZE size = IconImageSize(icon);
        DrawIconEx(dc, margin, top, icon, size.cx, size.cy, 0, nullptr, DI_NORMAL);
        textLeft += size.cx + margin;
    }

    SetBkMode(dc, TRANSPARENT);
    ScopedGdiObject<HFONT> headingFont(CreateTahomaFont(dc, 12, 600));
    ScopedGdiObject<HFONT> textFont(CreateTahomaFont(dc, 8, FW_NORMAL));
    const int right = client.right - ScaledX(15);
    RECT heading{textLeft, top + ScaledY(2), right, top + ScaledY(2)};
    {
        ScopedSelect select(dc, headingFont.get());
        DrawTextW(dc, kHeading, -1, &heading, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
        SetTextColor(dc, kHeadingColour);
        DrawTextW(dc, kHeading, -1, &heading, DT_SINGLELINE | DT_NOPREFIX);
    }
    RECT text{textLeft, heading.bottom + ScaledY(6), right,
              ChildRect(dialog, IDC_OVERWRITE_LIST).top - ScaledY(4)};
    {
        ScopedSelect select(dc, textFont.get());
        SetTextColor(dc, RGB(0, 0, 0));
        DrawTextW(dc, kExplanation, -1, &text, DT_WORDBREAK | DT_NOPREFIX);
    }
    canvas.CopyTo(target);
}

// Controls on the band get the button face; the others lie on white.
INT_PTR ControlColour(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    const bool onBand = id == IDC_DECORATION1 || id == IDC_OVERWRITE || id == IDC_OVERWRITE_CANCEL;
    SetBkColor(dc, onBand ? GetSysColor(COLOR_BTNFACE) : RGB(255, 255, 255));
    return reinterpret_cast<INT_PTR>(onBand ? GetSysColorBrush(COLOR_BTNFACE)
                                            : GetStockObject(WHITE_BRUSH));
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
    if (HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
        case IDC_OVERWRITE:
        case IDC_OVERWRITE_CANCEL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case IDCANCEL:  // Escape, as the close box
            EndDialog(dialog, IDC_OVERWRITE_CANCEL);
            return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded([&]() -> INT_PTR {
        switch (message) {
            case WM_INITDIALOG:
                SetDlgItemTextW(dialog, IDC_OVERWRITE_LIST,
                                reinterpret_cast<const wchar_t*>(lParam));
                StartCountdown(dialog);
                // The focus on the list would select all of its text.
                SetFocus(GetDlgItem(dialog, IDC_OVERWRITE));
                return FALSE;
            case WM_TIMER:
                if (wParam == kCountdownTimer)
                    OnCountdownTimer(dialog);
                return TRUE;
            case WM_ERASEBKGND:
                SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 1);  // WM_PAINT covers it all
                return TRUE;
            case WM_PAINT: {
                ScopedPaint paint(dialog);
                Draw(dialog, paint.get());
                return TRUE;
            }
            case WM_PRINTCLIENT:
                Draw(dialog, reinterpret_cast<HDC>(wParam));
                return TRUE;
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN:
                return ControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            case WM_COMMAND:
                return OnCommand(dialog, wParam);
            case WM_CLOSE:
                EndDialog(dialog, IDC_OVERWRITE_CANCEL);
                return TRUE;
            case WM_DESTROY:
                StopCountdown(dialog);
                return FALSE;
        }
        return FALSE;
    });
}

}  // namespace

INT_PTR ShowOverwriteDialog(HWND owner, const wchar_t* fileList) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OVERWRITE), owner,
                           OverwriteDialogProc, reinterpret_cast<LPARAM>(fileList));
}

}  // namespace vestrel::wizard
