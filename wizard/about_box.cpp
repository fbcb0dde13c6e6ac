#include "wizard/about_box.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "resources/publisher.h"
#include "resources/resource_ids.h"
#include "ui/button_images.h"
#include "ui/dpi.h"
#include "ui/gdi.h"
#include "ui/icons.h"
#include "ui/link.h"
#include "ui/messages.h"
#include "ui/painting.h"
#include "wizard/version_info.h"
#include "wizard/web_address.h"

namespace vestrel {

namespace {

constexpr wchar_t kProductName[] = L"t4k Vestrel\x2122";
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kTitleColour = RGB(1, 1, 1);
constexpr COLORREF kShadowColour = RGB(128, 128, 128);
constexpr COLORREF kVersionColour = RGB(100, 100, 100);
constexpr COLORREF kSeparatorColour = RGB(164, 164, 164);

// Where the icons come from: our own generator, published with the sources.
constexpr wchar_t kIconSource[] =
    L"t4k Vestrel's own icon generator (resources/icons/make_icons.cpp),\r\n"
    L"in the program's sources at " VESTREL_WEB_ADDRESS;

// The text lines around the web link, below the separator.
constexpr wchar_t kAboutLine[] = L"Copies CDs, DVDs, HD DVDs and Blu-ray discs, many at once.";
constexpr wchar_t kLinkLead[] = L"Updates are on our web site (";
constexpr wchar_t kLinkTail[] = L").";

using DrawShadowTextFunction = int(WINAPI*)(HDC, LPCWSTR, UINT, RECT*, DWORD, COLORREF, COLORREF,
                                            int, int);

bool WindowsXpOrLater() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExW(&version))
        return false;
    return version.dwMajorVersion > 5 ||
           (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);
}

// The title with a drop shadow when ComCtl32 can draw one.
void DrawTitle(HDC dc, RECT rect) {
    if (WindowsXpOrLater()) {
        if (HMODULE comctl = LoadLibraryW(L"ComCtl32.dll")) {
            auto draw = reinterpret_cast<DrawShadowTextFunction>(
                reinterpret_cast<void*>(GetProcAddress(comctl, "DrawShadowText")));
            if (draw)
                draw(dc, kProductName, static_cast<UINT>(lstrlenW(kProductName)), &rect, 0,
                     kTitleColour, kShadowColour, ScaledX(2), ScaledY(2));
            FreeLibrary(comctl);
            if (draw)
                return;
        }
    }
    SetTextColor(dc, kTitleColour);
    DrawTextW(dc, kProductName, -1, &rect, DT_SINGLELINE);
}

SIZE Measure(HDC dc, const wchar_t* text) {
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    return size;
}

// Moves the link only when it is elsewhere: moving it invalidates the box.
void PlaceLink(HWND link, int x, int y) {
    RECT rect{};
    GetWindowRect(link, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(link), reinterpret_cast<POINT*>(&rect), 2);
    if (rect.left != x || rect.top != y)
        SetWindowPos(link, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER);
}

void Paint(HWND box) {
    ScopedPaint paint(box);
    HDC dc = paint.get();
    RECT client;
    GetClientRect(box, &client);
    DrawBorderedRectangle(dc, client.right, client.bottom, kWhite);
    SetBkMode(dc, TRANSPARENT);

    ScopedGdiObject<HFONT> titleFont(CreateTahomaFont(dc, 16, FW_BOLD));
    ScopedGdiObject<HFONT> versionFont(CreateTahomaFont(dc, 7, FW_NORMAL));
    ScopedGdiObject<HFONT> textFont(CreateTahomaFont(dc, 8, FW_NORMAL));

    SIZE title;
    {
        ScopedSelect select(dc, titleFont.get());
        title = Measure(dc, kProductName);
    }
    const int x0 = client.right / 2 - (title.cx + ScaledX(55)) / 2;
    if (HICON icon = LoadSizedIcon(IDI_APPLICATION_ICON, 48)) {
        const SIZE size = IconImageSize(icon);
        DrawIconEx(dc, x0, ScaledY(15), icon, size.cx, size.cy, 0, nullptr, DI_NORMAL);
    }
    const RECT titleRect{x0 + ScaledX(55), ScaledY(18), x0 + ScaledX(55) + title.cx,
                         ScaledY(18) + title.cy};
    {
        ScopedSelect select(dc, titleFont.get());
        DrawTitle(dc, titleRect);
    }

    std::wstring version = L"Version: ";
    AppendDisplayVersion(version);
    RECT versionRect{titleRect.left, titleRect.bottom + 1, titleRect.right, titleRect.bottom + 1};
    {
        ScopedSelect select(dc, versionFont.get());
        const SIZE size = Measure(dc, version.c_str());
        versionRect.bottom += size.cy;
        SetTextColor(dc, kVersionColour);
        // Right-aligned on the title's right edge.
        DrawMeasuredText(dc, versionRect.right - size.cx, versionRect.top, version.c_str());
    }

    const int separatorY = versionRect.bottom + ScaledY(17);
    {
        ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, kSeparatorColour));
        ScopedSelect select(dc, pen.get());
        MoveToEx(dc, x0 - ScaledX(15), separatorY, nullptr);
        LineTo(dc, x0 + ScaledX(55) + title.cx + ScaledX(15), separatorY);
    }

    ScopedSelect select(dc, textFont.get());
    SetTextColor(dc, RGB(0, 0, 0));
    const int left = ChildRect(box, IDC_ABOUT_ICONS_TITLE).left;
    const SIZE about = Measure(dc, kAboutLine);
    RECT line{left, separatorY + ScaledY(14), left + about.cx, separatorY + ScaledY(14) + about.cy};
    DrawTextW(dc, kAboutLine, -1, &line, DT_SINGLELINE);

    const SIZE lead = Measure(dc, kLinkLead);
    line = {left, line.bottom + ScaledY(6), left + lead.cx, line.bottom + ScaledY(6) + lead.cy};
    DrawMeasuredText(dc, line.left, line.top, kLinkLead);
    HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
    if (!link)
        return;
    PlaceLink(link, line.right, line.top);
    RECT linkRect{};
    GetClientRect(link, &linkRect);
    DrawMeasuredText(dc, line.right + linkRect.right, line.top, kLinkTail);
}

INT_PTR OnInitDialog(HWND box) {
    MessageBeep(MB_OK);
    HWND ok = GetDlgItem(box, IDOK);
    SetButtonIcons(ok, IDI_STEP_DONE, 0, -1);
    HFONT small;
    {
        ScopedWindowDC dc(box);
        small = CreateTahomaFont(dc.get(), 7, FW_NORMAL);
    }
    SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(small));
    SendDlgItemMessageW(box, IDC_ABOUT_ICONS_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(small),
                        FALSE);
    SendDlgItemMessageW(box, IDC_ABOUT_ICONS_TEXT, WM_SETFONT, reinterpret_cast<WPARAM>(small),
                        FALSE);
    SetDlgItemTextW(box, IDC_ABOUT_ICONS_TEXT, kIconSource);
    CreateLink(box, 0, 0, VESTREL_WEB_ADDRESS, IDC_ABOUT_LINK);
    SetWindowPos(GetDlgItem(box, IDC_ABOUT_ICONS_TEXT), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
    // The OK button lies above the bar it sits on, so clicks reach it; the bar
    // clips its siblings, so its painting never covers the button either.
    HWND bar = GetDlgItem(box, IDC_ABOUT_BUTTON_BAR);
    SetWindowLongPtrW(bar, GWL_STYLE, GetWindowLongPtrW(bar, GWL_STYLE) | WS_CLIPSIBLINGS);
    SetWindowPos(bar, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
    SendMessageW(ok, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    SendMessageW(box, DM_SETDEFID, IDOK, 0);
    return TRUE;
}

void OnDestroy(HWND box) {
    if (auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(box, GWLP_USERDATA)))
        DeleteObject(font);
    SetWindowLongPtrW(box, GWLP_USERDATA, 0);
    RemoveButtonIcons(GetDlgItem(box, IDOK));
}

INT_PTR OnCommand(HWND box, WPARAM wParam) {
    const int id = LOWORD(wParam);
    if (id == IDOK && HIWORD(wParam) == 0) {
        // Enter with a link focused is the link's: it clicks on the key's release.
        if (GetFocus() == GetDlgItem(box, IDOK))
            EndDialog(box, 0);
        return TRUE;
    }
    if (id == IDCANCEL) {
        EndDialog(box, 0);
        return TRUE;
    }
    if (id == IDC_ABOUT_LINK) {
        wizard::OpenWebAddress(VESTREL_WEB_ADDRESS, SW_SHOW);
        return TRUE;
    }
    return FALSE;
}

INT_PTR OnControlColour(HWND box, HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id == IDC_ABOUT_ICONS_TEXT || id == IDC_ABOUT_BUTTON_BAR)
        return FALSE;  // the dialog's own colours
    SetBkColor(dc, kWhite);
    (void)box;
    return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
}

void FillChildWhite(HDC dc, HWND child) {
    RECT rect{};
    GetClientRect(child, &rect);
    DrawBorderedRectangle(dc, rect.right, rect.bottom, kWhite);
}

}  // namespace

void ShowAboutBox(HWND owner) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutBoxProc, 0);
}

INT_PTR CALLBACK AboutBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_INITDIALOG:
                return OnInitDialog(box);
            case WM_PAINT:
                Paint(box);
                return TRUE;
            case WM_COMMAND:
                return OnCommand(box, wParam);
            case WM_SYSCOMMAND:
                if ((wParam & 0xFFF0) == SC_CLOSE) {
                    EndDialog(box, 0);
                    return TRUE;
                }
                return FALSE;
            case WM_CTLCOLORSTATIC:
                return OnControlColour(box, reinterpret_cast<HDC>(wParam),
                                       reinterpret_cast<HWND>(lParam));
            case WM_FILLBACKGROUND:
                FillChildWhite(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
                return TRUE;
            case WM_DESTROY:
                OnDestroy(box);
                return FALSE;
            default:
                return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

}  // namespace vestrel
