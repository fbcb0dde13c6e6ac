#include "wizard/side_panel.h"

#include <cwchar>

#include "resources/resource_ids.h"
#include "ui/dpi.h"
#include "ui/gdi.h"
#include "ui/icons.h"
#include "ui/painting.h"
#include "wizard/frame_state.h"
#include "wizard/page_table.h"
#include "wizard/step_list_layout.h"

namespace vestrel::wizard {

namespace {

HWND SidePanel(HWND frame) {
    return GetDlgItem(frame, IDC_SIDE_PANEL);
}

HDC CanvasOf(HWND frame) {
    return static_cast<HDC>(GetPropW(frame, kPropStepListDC));
}

SIZE TextSize(HDC dc, const wchar_t* text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    return size;
}

LRESULT CALLBACK SidePanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND frame = GetParent(panel);
    auto previous = reinterpret_cast<WNDPROC>(GetPropW(frame, kPropSidePanelProc));
    if (message == WM_PAINT) {
        ScopedPaint paint(panel);
        RECT client{};
        GetClientRect(panel, &client);
        if (HDC canvas = CanvasOf(frame))
            BitBlt(paint.get(), 0, 0, client.right, client.bottom, canvas, 0, 0, SRCCOPY);
        return 0;
    }
    return previous ? CallWindowProcW(previous, panel, message, wParam, lParam)
                    : DefWindowProcW(panel, message, wParam, lParam);
}

}  // namespace

bool CreateStepListCanvas(HWND frame) {
    HWND panel = SidePanel(frame);
    RECT client{};
    GetClientRect(panel, &client);
    ScopedWindowDC windowDC(panel);
    if (!windowDC)
        return false;
    HDC canvas = CreateCompatibleDC(windowDC.get());
    if (!canvas)
        return false;
    HBITMAP bitmap = CreateCompatibleBitmap(windowDC.get(), client.right, client.bottom);
    if (!bitmap) {
        DeleteDC(canvas);
        return false;
    }
    SetPropW(frame, kPropStepListDC, canvas);
    SetPropW(frame, kPropStepListOldBitmap, SelectObject(canvas, bitmap));
    return true;
}

void DeleteStepListCanvas(HWND frame) {
    HDC canvas = CanvasOf(frame);
    if (!canvas)
        return;
    HGDIOBJ bitmap =
        SelectObject(canvas, static_cast<HGDIOBJ>(GetPropW(frame, kPropStepListOldBitmap)));
    DeleteObject(bitmap);
    DeleteDC(canvas);
}

void RenderStepList(HWND frame, int current) {
    HDC dc = CanvasOf(frame);
    if (!dc)
        return;
    RECT client{};
    GetClientRect(SidePanel(frame), &client);
    const int width = client.right;
    const int height = client.bottom;
    // Shared icons: they stay loaded for the process.
    HICON currentIcon = LoadSizedIcon(IDI_STEP_CURRENT, 20);
    HICON doneIcon = LoadSizedIcon(IDI_STEP_DONE, 20);
    const StepListMetrics m = StepListMetricsFor(ScreenDpiX(), ScreenDpiY(), width);

    ScopedGdiObject<HFONT> regular(CreateTahomaFont(dc, 9, FW_NORMAL));
    ScopedGdiObject<HFONT> bold(CreateTahomaFont(dc, 9, FW_BOLD));
    // Filled white first: the frame helper leaves the inside alone when the
    // button face is white, and the last rendering must not show through.
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawBorderedRectangle(dc, width, height, kFramePenColour);

    ScopedSelect font(dc, regular.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    auto fontFor = [&](int i) { return i == current ? bold.get() : regular.get(); };
    int y = m.firstTop;
    for (int i = 0; i < 6; ++i) {
        const PageEntry& page = PageAt(i);
        SelectObject(dc, fontFor(i));
        const SIZE number = TextSize(dc, Wide(page.number));
        RECT numberRect{m.numberLeft, y, m.textRight, y + number.cy};
        DrawTextW(dc, Wide(page.number), -1, &numberRect, 0);

        RECT titleRect{m.numberLeft + number.cx, y, m.textRight, y + number.cy};
        if (i >= 1) {
            DrawTextW(dc, Wide(page.title), -1, &titleRect, DT_CALCRECT | DT_WORDBREAK);
            titleRect.right = m.textRight;
        }
        const int titleHeight = DrawTextW(dc, Wide(page.title), -1, &titleRect, DT_WORDBREAK);

        if (i <= current) {
            DrawIconEx(dc, m.markerLeft, y - m.markerRise, i == current ? currentIcon : doneIcon, 0,
                       0, 0, nullptr, DI_NORMAL);
        }
        if (i + 1 < 6) {
            SelectObject(dc, fontFor(i + 1));
            y = NextStepTop(y, titleHeight, TextSize(dc, Wide(PageAt(i + 1).number)).cy);
        }
    }
}

void ShowStepList(HWND frame) {
    HWND panel = SidePanel(frame);
    HDC canvas = CanvasOf(frame);
    if (!canvas)
        return;
    RECT client{};
    GetClientRect(panel, &client);
    ScopedWindowDC dc(panel);
    if (dc)
        BitBlt(dc.get(), 0, 0, client.right, client.bottom, canvas, 0, 0, SRCCOPY);
}

void SubclassSidePanel(HWND frame) {
    HWND panel = SidePanel(frame);
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(panel, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SidePanelProc)));
    SetPropW(frame, kPropSidePanelProc, reinterpret_cast<HANDLE>(previous));
}

void RestoreSidePanel(HWND frame) {
    auto previous = GetPropW(frame, kPropSidePanelProc);
    if (previous)
        SetWindowLongPtrW(SidePanel(frame), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
}

}  // namespace vestrel::wizard
