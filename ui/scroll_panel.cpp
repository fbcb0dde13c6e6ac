#include "ui/scroll_panel.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <vector>

#include "ui/dpi.h"
#include "ui/drive_list_panel.h"
#include "ui/gdi.h"
#include "ui/painting.h"
#include "ui/panel_container.h"
#include "ui/scroll_logic.h"

namespace vestrel {

const PanelFamily kDriveListFamily = {
    kDriveListPanelClass, L"o1", L"o2", 55, 36, L"_0", L"_8", L"_7", L"_9", L"_B", L"_A",
};
const PanelFamily kContainerFamily = {
    kPanelContainerClass, L"d1", L"d2", 56, 37, L"_3", L"_0", L"_1", L"_2", L"_8", L"_7",
};

namespace {

// The row list kept in the panel's property: the rows in creation order.
struct PanelRows {
    std::vector<HWND> rows;
};

PanelRows* RowsOf(HWND panel, const PanelFamily& family) {
    return static_cast<PanelRows*>(GetPropW(panel, family.rowsProperty));
}

HWND Part(HWND panel, const wchar_t* property) {
    return static_cast<HWND>(GetPropW(panel, property));
}

SIZE ClientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {r.right, r.bottom};
}

SCROLLINFO ScrollInfo(UINT mask) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = mask;
    return info;
}

int ScrollPosition(HWND scrollBar) {
    SCROLLINFO info = ScrollInfo(SIF_POS);
    GetScrollInfo(scrollBar, SB_CTL, &info);
    return info.nPos;
}

void MoveContent(HWND content, int position) {
    SetWindowPos(content, nullptr, 0, -position, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Fits content, scroll bar and position to the number of rows.
void FitToRows(HWND panel, const PanelFamily& family, int count) {
    HWND viewport = Part(panel, family.viewportProperty);
    HWND content = Part(panel, family.contentProperty);
    HWND scrollBar = Part(panel, family.scrollBarProperty);
    const SIZE view = ClientSize(viewport);
    const int rowHeight = ScaledY(family.rowHeight);
    SetWindowPos(content, nullptr, 0, 0, view.cx, count * rowHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const ScrollRange range = RangeForRows(count, rowHeight, view.cy, family.scrollPage);
    if (!range.needed) {
        SCROLLINFO info = ScrollInfo(SIF_RANGE | SIF_PAGE | SIF_POS);
        SetScrollInfo(scrollBar, SB_CTL, &info, TRUE);
        EnableWindow(scrollBar, FALSE);
        MoveContent(content, 0);
        return;
    }
    // Range and page together: a page set alone is cut to the old range.
    SCROLLINFO info = ScrollInfo(SIF_RANGE | SIF_PAGE);
    info.nMax = range.maximum;
    info.nPage = static_cast<UINT>(range.page);
    if (!IsWindowEnabled(scrollBar)) {
        EnableWindow(scrollBar, TRUE);
        info.fMask |= SIF_POS;
        info.nPos = 0;
    }
    SetScrollInfo(scrollBar, SB_CTL, &info, TRUE);
    // A shorter range may have pulled the position in.
    const int position =
        std::min(ScrollPosition(scrollBar), LastScrollPosition(range.maximum, range.page));
    SetScrollPos(scrollBar, SB_CTL, position, TRUE);
    MoveContent(content, position);
}

void OnVerticalScroll(HWND panel, const PanelFamily& family, WPARAM wParam) {
    HWND scrollBar = Part(panel, family.scrollBarProperty);
    SCROLLINFO info = ScrollInfo(SIF_ALL);
    if (!GetScrollInfo(scrollBar, SB_CTL, &info))
        return;
    const int last = LastScrollPosition(info.nMax, static_cast<int>(info.nPage));
    const int position =
        NextScrollPosition(static_cast<ScrollRequest>(LOWORD(wParam)), info.nPos,
                           static_cast<int>(HIWORD(wParam)), last, family.scrollPage);
    SetScrollPos(scrollBar, SB_CTL, position, TRUE);
    MoveContent(Part(panel, family.contentProperty), position);
}

void OnMouseWheel(HWND panel, const PanelFamily& family, WPARAM wParam) {
    HWND scrollBar = Part(panel, family.scrollBarProperty);
    if (!IsWindowEnabled(scrollBar))
        return;
    UINT lines = 0;
    if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        lines = 3;
    SCROLLINFO info = ScrollInfo(SIF_RANGE | SIF_PAGE);
    GetScrollInfo(scrollBar, SB_CTL, &info);
    int remainder =
        static_cast<int>(reinterpret_cast<intptr_t>(GetPropW(panel, family.wheelProperty)));
    const WheelScroll scroll =
        TakeWheelNotches(remainder, GET_WHEEL_DELTA_WPARAM(wParam), lines,
                         LastScrollPosition(info.nMax, static_cast<int>(info.nPage)));
    SetPropW(panel, family.wheelProperty,
             reinterpret_cast<HANDLE>(static_cast<intptr_t>(remainder)));
    for (int i = 0; i < scroll.count; ++i)
        SendMessageW(panel, WM_VSCROLL, MAKEWPARAM(static_cast<int>(scroll.request), 0),
                     reinterpret_cast<LPARAM>(scrollBar));
}

void OnSetFocus(HWND panel, const PanelFamily& family) {
    HWND focused = FocusedPanelRow(panel);
    if (!focused && PanelRowCount(panel) > 0) {
        focused = PanelRow(panel, 0);
        SetFocusedPanelRow(panel, focused);
    }
    if (focused)
        SetFocus(focused);
    (void)family;
}

void OnPaint(HWND panel) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(panel, &paint);
    const SIZE size = ClientSize(panel);
    DrawBorderedRectangle(dc, size.cx, size.cy, kFramePenColour);
    EndPaint(panel, &paint);
}

LRESULT CALLBACK ViewportProc(HWND viewport, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEACTIVATE)
        SetFocus(viewport);
    return DefWindowProcW(viewport, message, wParam, lParam);
}

void RegisterOne(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

}  // namespace

const PanelFamily* FamilyOf(HWND panel) {
    wchar_t name[8] = {};
    if (!panel || !GetClassNameW(panel, name, 8))
        return nullptr;
    if (lstrcmpW(name, kDriveListFamily.panelClass) == 0)
        return &kDriveListFamily;
    if (lstrcmpW(name, kContainerFamily.panelClass) == 0)
        return &kContainerFamily;
    return nullptr;
}

void RegisterPanelClasses(const PanelFamily& family, WNDPROC panelProcedure) {
    RegisterOne(family.panelClass, panelProcedure);
    RegisterOne(family.viewportClass, ViewportProc);
    RegisterOne(family.contentClass, DefWindowProcW);
}

HWND CreateScrollPanel(const PanelFamily& family, HWND parent, int x, int y, int width, int height,
                       DWORD style, int id) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND panel =
        CreateWindowExW(0, family.panelClass, L"", style, x, y, width, height, parent,
                        reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), instance, nullptr);
    if (!panel)
        return nullptr;
    const int sb = GetSystemMetrics(SM_CXVSCROLL);
    HWND scrollBar =
        CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | WS_VISIBLE | WS_DISABLED | SBS_VERT,
                        width - sb - 1, 1, sb, height - 2, panel, nullptr, instance, nullptr);
    HWND viewport = CreateWindowExW(0, family.viewportClass, L"", WS_CHILD | WS_VISIBLE, 1, 1,
                                    width - sb - 2, height - 2, panel, nullptr, instance, nullptr);
    HWND content =
        viewport ? CreateWindowExW(0, family.contentClass, L"", WS_CHILD | WS_VISIBLE, 0, 0,
                                   width - sb - 2, height - 2, viewport, nullptr, instance, nullptr)
                 : nullptr;
    auto* rows = new (std::nothrow) PanelRows;
    if (!scrollBar || !viewport || !content || !rows) {
        delete rows;
        DestroyWindow(panel);
        return nullptr;
    }
    SetPropW(panel, family.scrollBarProperty, scrollBar);
    SetPropW(panel, family.viewportProperty, viewport);
    SetPropW(panel, family.contentProperty, content);
    SetPropW(panel, family.rowsProperty, rows);
    return panel;
}

HWND AddPanelRow(HWND panel, const wchar_t* rowClass, LPARAM key) {
    const PanelFamily* family = FamilyOf(panel);
    PanelRows* list = family ? RowsOf(panel, *family) : nullptr;
    if (!list)
        return nullptr;
    HWND viewport = Part(panel, family->viewportProperty);
    const SIZE view = ClientSize(viewport);
    const int rowHeight = ScaledY(family->rowHeight);
    const int count = static_cast<int>(list->rows.size());
    try {
        list->rows.reserve(list->rows.size() + 1);
    } catch (...) {
        return nullptr;
    }
    // The content grows first, so the new row is created inside it.
    SetWindowPos(Part(panel, family->contentProperty), nullptr, 0, 0, view.cx,
                 (count + 1) * rowHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND row =
        CreateWindowExW(0, rowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, 0,
                        count * rowHeight, view.cx, rowHeight, Part(panel, family->contentProperty),
                        nullptr, GetModuleHandleW(nullptr), reinterpret_cast<void*>(key));
    if (!row) {
        FitToRows(panel, *family, count);
        return nullptr;
    }
    list->rows.push_back(row);
    FitToRows(panel, *family, count + 1);
    if (count == 0) {
        SetFocusedPanelRow(panel, row);
        SetFocus(row);
    }
    return row;
}

bool RemovePanelRow(HWND panel, HWND row) {
    const PanelFamily* family = FamilyOf(panel);
    PanelRows* list = family ? RowsOf(panel, *family) : nullptr;
    if (!list)
        return false;
    auto found = std::find(list->rows.begin(), list->rows.end(), row);
    if (found == list->rows.end())
        return false;
    const size_t index = static_cast<size_t>(found - list->rows.begin());
    list->rows.erase(found);
    if (FocusedPanelRow(panel) == row) {
        HWND next = nullptr;
        if (!list->rows.empty())
            next = list->rows[std::min(index, list->rows.size() - 1)];
        SetFocusedPanelRow(panel, next);
    }
    DestroyWindow(row);
    const int rowHeight = ScaledY(family->rowHeight);
    for (size_t i = index; i < list->rows.size(); ++i)
        SetWindowPos(list->rows[i], nullptr, 0, static_cast<int>(i) * rowHeight, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitToRows(panel, *family, static_cast<int>(list->rows.size()));
    return true;
}

int PanelRowCount(HWND panel) {
    const PanelFamily* family = FamilyOf(panel);
    PanelRows* list = family ? RowsOf(panel, *family) : nullptr;
    return list ? static_cast<int>(list->rows.size()) : 0;
}

HWND PanelRow(HWND panel, int index) {
    const PanelFamily* family = FamilyOf(panel);
    PanelRows* list = family ? RowsOf(panel, *family) : nullptr;
    if (!list || index < 0 || index >= static_cast<int>(list->rows.size()))
        return nullptr;
    return list->rows[static_cast<size_t>(index)];
}

HWND FocusedPanelRow(HWND panel) {
    const PanelFamily* family = FamilyOf(panel);
    return family ? Part(panel, family->focusedRowProperty) : nullptr;
}

void SetFocusedPanelRow(HWND panel, HWND row) {
    if (const PanelFamily* family = FamilyOf(panel))
        SetPropW(panel, family->focusedRowProperty, row);
}

HWND PanelScrollBar(HWND panel) {
    const PanelFamily* family = FamilyOf(panel);
    return family ? Part(panel, family->scrollBarProperty) : nullptr;
}

HWND PanelViewport(HWND panel) {
    const PanelFamily* family = FamilyOf(panel);
    return family ? Part(panel, family->viewportProperty) : nullptr;
}

HWND PanelContent(HWND panel) {
    const PanelFamily* family = FamilyOf(panel);
    return family ? Part(panel, family->contentProperty) : nullptr;
}

int PanelRowHeight(HWND panel) {
    const PanelFamily* family = FamilyOf(panel);
    return family ? ScaledY(family->rowHeight) : 0;
}

int PanelScrollPosition(HWND panel) {
    HWND scrollBar = PanelScrollBar(panel);
    return scrollBar ? ScrollPosition(scrollBar) : 0;
}

void ScrollRowIntoView(HWND panel, HWND row) {
    HWND scrollBar = PanelScrollBar(panel);
    if (!scrollBar || !IsWindowEnabled(scrollBar))
        return;
    int index = -1;
    for (int i = 0; i < PanelRowCount(panel) && index < 0; ++i)
        index = PanelRow(panel, i) == row ? i : -1;
    if (index < 0)
        return;
    const int rowHeight = PanelRowHeight(panel);
    const int top = index * rowHeight;
    const int view = ClientSize(PanelViewport(panel)).cy;
    const int position = ScrollPosition(scrollBar);
    int wanted = position;
    if (top < position)
        wanted = top;
    else if (top + rowHeight > position + view)
        wanted = top + rowHeight - view;
    if (wanted != position)
        SendMessageW(panel, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, wanted),
                     reinterpret_cast<LPARAM>(scrollBar));
}

bool HandleCommonPanelMessage(HWND panel, const PanelFamily& family, UINT message, WPARAM wParam,
                              LPARAM, LRESULT& result) {
    result = 0;
    switch (message) {
        case WM_PAINT:
            OnPaint(panel);
            return true;
        case WM_VSCROLL:
            OnVerticalScroll(panel, family, wParam);
            return true;
        case WM_MOUSEWHEEL:
            OnMouseWheel(panel, family, wParam);
            return true;
        case WM_SETFOCUS:
            OnSetFocus(panel, family);
            return true;
        default:
            return false;
    }
}

void DestroyPanelParts(HWND panel, const PanelFamily& family) {
    if (PanelRows* list = RowsOf(panel, family)) {
        for (HWND row : list->rows)
            DestroyWindow(row);
        delete list;
    }
    for (const wchar_t* part :
         {family.contentProperty, family.scrollBarProperty, family.viewportProperty}) {
        if (HWND window = Part(panel, part))
            DestroyWindow(window);
    }
    for (const wchar_t* name :
         {family.rowsProperty, family.scrollBarProperty, family.viewportProperty,
          family.contentProperty, family.focusedRowProperty, family.wheelProperty})
        RemovePropW(panel, name);
}

void CreatePanelFonts(HWND panel, std::span<const PanelFont> fonts) {
    ScopedWindowDC dc(panel);
    for (const PanelFont& font : fonts)
        SetPropW(panel, font.property, CreateTahomaFont(dc.get(), font.points, font.weight));
}

void DeletePanelFonts(HWND panel, std::span<const PanelFont> fonts) {
    for (const PanelFont& font : fonts) {
        if (HGDIOBJ object = GetPropW(panel, font.property))
            DeleteObject(object);
        RemovePropW(panel, font.property);
    }
}

}  // namespace vestrel
