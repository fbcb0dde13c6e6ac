#include "wizard/destination_strip.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <new>
#include <string>

#include "drive/drive_list.h"
#include "ui/dpi.h"
#include "ui/drive_list_panel.h"
#include "ui/gdi.h"
#include "wizard/drive_row.h"
#include "wizard/drive_rows.h"
#include "wizard/frame_state.h"

namespace vestrel::wizard {

namespace {

// Strip properties.
constexpr wchar_t kPropDestinations[] = L"_0";  // a heap copy of the list
constexpr wchar_t kPropIcon[] = L"_1";          // the stock icon, owned

// At 96 dpi.
constexpr int kSlotWidth = 35, kStripHeight = 38, kIconSize = 32;

using Destinations = std::vector<DestinationEntry>;

Destinations* DestinationsOf(HWND strip) {
    return static_cast<Destinations*>(GetPropW(strip, kPropDestinations));
}

SIZE StripSize(size_t count) {
    return {ScaledX(kSlotWidth) * static_cast<int>(count), ScaledY(kStripHeight)};
}

// Black text with a one-pixel white outline.
void DrawOutlined(HDC dc, const std::u16string& text, RECT rect, UINT flags) {
    const auto draw = [&](int dx, int dy, COLORREF colour) {
        RECT at = rect;
        OffsetRect(&at, dx, dy);
        SetTextColor(dc, colour);
        DrawTextW(dc, Wide(text.c_str()), static_cast<int>(text.size()), &at,
                  flags | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    };
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (dx || dy)
                draw(dx, dy, RGB(255, 255, 255));
        }
    }
    draw(0, 0, RGB(0, 0, 0));
}

void Paint(HWND strip) {
    ScopedPaint paint(strip);
    RECT client{};
    GetClientRect(strip, &client);
    MemoryCanvas canvas(paint.get(), client.right, client.bottom);
    if (!canvas)
        return;
    HDC dc = canvas.get();
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    const Destinations* destinations = DestinationsOf(strip);
    HWND row = GetParent(GetParent(strip));
    ScopedSelect font(dc, GetPropW(PanelOfRow(row), kDriveListFontBold));
    auto icon = static_cast<HICON>(GetPropW(strip, kPropIcon));
    const int slot = ScaledX(kSlotWidth), size = ScaledX(kIconSize);
    const int top = (client.bottom - ScaledY(kIconSize)) / 2;
    for (size_t i = 0; destinations && i < destinations->size(); ++i) {
        const int left = static_cast<int>(i) * slot + (slot - size) / 2;
        if (icon)
            DrawIconEx(dc, left, top, icon, size, ScaledY(kIconSize), 0, nullptr, DI_NORMAL);
        const RECT area{left, top - ScaledY(2), left + size, top + ScaledY(kIconSize + 2)};
        DrawOutlined(dc, DestinationLetterText((*destinations)[i]), area, DT_LEFT | DT_TOP);
        DrawOutlined(dc, DestinationCountText((*destinations)[i]), area, DT_RIGHT | DT_BOTTOM);
    }
    canvas.CopyTo(paint.get());
}

void OnDestroy(HWND strip) {
    delete DestinationsOf(strip);
    if (HICON icon = static_cast<HICON>(GetPropW(strip, kPropIcon)))
        DestroyIcon(icon);
    RemovePropW(strip, kPropDestinations);
    RemovePropW(strip, kPropIcon);
}

LRESULT CALLBACK StripProc(HWND strip, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_CREATE: {
                // Made for a row: its own drive is an optical drive too.
                HWND row = GetParent(GetParent(strip));
                SetPropW(strip, kPropIcon, LoadOpticalDriveIcon(DriveRowLetter(row)));
                return 0;
            }
            case WM_DESTROY:
                OnDestroy(strip);
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_PAINT:
                Paint(strip);
                return 0;
            default:
                break;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcW(strip, message, wParam, lParam);
}

void SetDestinations(HWND strip, const Destinations& destinations) {
    Destinations* kept = DestinationsOf(strip);
    if (!kept) {
        kept = new (std::nothrow) Destinations;
        if (!kept)
            return;
        SetPropW(strip, kPropDestinations, kept);
    }
    *kept = destinations;
    const std::u16string text = DestinationListText(destinations);
    SetWindowTextW(strip, Wide(text.c_str()));
    InvalidateRect(strip, nullptr, FALSE);
}

}  // namespace

void RegisterDestinationStripClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = StripProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kDestinationStripClass;
    RegisterClassW(&wc);
}

HWND ShowDestinations(HWND row, HWND pager, const RECT& area, const Destinations& destinations) {
    const SIZE strip = StripSize(destinations.size());
    const int columnWidth = area.right - area.left;
    const int width = std::min<int>(strip.cx, columnWidth);
    const int x = area.left + (columnWidth - width) / 2;
    const int y = area.top + (area.bottom - area.top - strip.cy) / 2;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!pager) {
        pager = CreateWindowExW(0, WC_PAGESCROLLERW, nullptr, WS_CHILD | WS_VISIBLE | PGS_HORZ, x,
                                y, width, strip.cy, row, nullptr, instance, nullptr);
        if (!pager)
            return nullptr;
        SendMessageW(pager, PGM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_WINDOW)));
        HWND child = CreateWindowExW(0, kDestinationStripClass, L"", WS_CHILD | WS_VISIBLE, 0, 0,
                                     strip.cx, strip.cy, pager, nullptr, instance, nullptr);
        if (!child) {
            DestroyWindow(pager);
            return nullptr;
        }
        SendMessageW(pager, PGM_SETCHILD, 0, reinterpret_cast<LPARAM>(child));
    } else {
        SetWindowPos(pager, nullptr, x, y, width, strip.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND child = GetWindow(pager, GW_CHILD);
    SetDestinations(child, destinations);
    SetWindowPos(child, nullptr, 0, 0, strip.cx, strip.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(pager, PGM_RECALCSIZE, 0, 0);
    return pager;
}

LRESULT AnswerStripNotification(const NMHDR* header) {
    if (header->code != PGN_CALCSIZE)
        return 0;
    auto* size = const_cast<NMPGCALCSIZE*>(reinterpret_cast<const NMPGCALCSIZE*>(header));
    HWND strip = GetWindow(header->hwndFrom, GW_CHILD);
    const Destinations* destinations = strip ? DestinationsOf(strip) : nullptr;
    const SIZE wanted = StripSize(destinations ? destinations->size() : 0);
    if (size->dwFlag == PGF_CALCWIDTH)
        size->iWidth = wanted.cx;
    else
        size->iHeight = wanted.cy;
    return 0;
}

HICON LoadOpticalDriveIcon(char16_t letter) {
    // Stock icons came with later versions of the system: asked for by name.
    using StockIconQuery = HRESULT(WINAPI*)(SHSTOCKICONID, UINT, SHSTOCKICONINFO*);
    if (HMODULE shell = GetModuleHandleW(L"shell32.dll")) {
        auto query = reinterpret_cast<StockIconQuery>(
            reinterpret_cast<void*>(GetProcAddress(shell, "SHGetStockIconInfo")));
        SHSTOCKICONINFO info{};
        info.cbSize = sizeof info;
        if (query && SUCCEEDED(query(SIID_DRIVECD, SHGSI_ICON | SHGSI_LARGEICON, &info)) &&
            info.hIcon)
            return info.hIcon;
    }
    // Else the shell's icon of an optical drive.
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
    SHFILEINFOW file{};
    if (letter && SHGetFileInfoW(root, 0, &file, sizeof file, SHGFI_ICON | SHGFI_LARGEICON) &&
        file.hIcon)
        return file.hIcon;
    return CopyIcon(LoadIconW(nullptr, IDI_APPLICATION));
}

}  // namespace vestrel::wizard
