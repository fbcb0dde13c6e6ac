// The two scrolling panel families: a bordered panel holding a vertical
// scroll bar and a viewport, and inside the viewport a content window with
// fixed-height rows stacked from the top in the order they were added.
// Scrolling moves the content window up inside the viewport.
//
//                      drive list panel        panel container
//   classes            "o0" "o1" "o2"          "d0" "d1" "d2"
//   rows               "o3" drive rows         "d3" progress panels
//   row height         55 dip                  56 dip
//   scroll page        36                      37
//
// Geometry inside a panel of W × H, sb = SM_CXVSCROLL: scroll bar at
// (W − sb − 1, 1), sb × (H − 2), disabled until the rows overflow;
// viewport at (1, 1), (W − sb − 2) × (H − 2); content at (0, 0) of the
// viewport, as wide, (row count × row height) high once rows overflow it.
#pragma once

#include <windows.h>

#include <span>

namespace vestrel {

// What tells one family from the other: classes, sizes and the names of
// the panel's window properties.
struct PanelFamily {
    const wchar_t* panelClass;
    const wchar_t* viewportClass;
    const wchar_t* contentClass;
    int rowHeight;  // at 96 dpi
    int scrollPage;
    const wchar_t* rowsProperty;
    const wchar_t* scrollBarProperty;
    const wchar_t* viewportProperty;
    const wchar_t* contentProperty;
    const wchar_t* focusedRowProperty;
    const wchar_t* wheelProperty;
};
extern const PanelFamily kDriveListFamily;
extern const PanelFamily kContainerFamily;

// The family of a panel window (by its class); null for other windows.
const PanelFamily* FamilyOf(HWND panel);

// Rows of either family. A new row is created in the content window below
// the others, as wide as the viewport, with style WS_CHILD | WS_VISIBLE |
// WS_CLIPCHILDREN | WS_TABSTOP and `key` as its creation parameter; the
// scroll bar follows. The first row becomes the focused row and gets the
// keyboard focus. Null when the row cannot be created.
HWND AddPanelRow(HWND panel, const wchar_t* rowClass, LPARAM key);
// Destroys `row`, closes the gap below it and fits the scroll bar again.
bool RemovePanelRow(HWND panel, HWND row);
int PanelRowCount(HWND panel);
HWND PanelRow(HWND panel, int index);
HWND FocusedPanelRow(HWND panel);
void SetFocusedPanelRow(HWND panel, HWND row);
// The panel's parts; for tests and for the rows.
HWND PanelScrollBar(HWND panel);
HWND PanelViewport(HWND panel);
HWND PanelContent(HWND panel);
// The row height in pixels at the screen's dpi.
int PanelRowHeight(HWND panel);
// The current scroll position (the content's offset upwards).
int PanelScrollPosition(HWND panel);
// Scrolls as little as needed for the whole of `row` to be in view.
void ScrollRowIntoView(HWND panel, HWND row);

// The pieces both panel procedures share; each family's procedure hands
// them the messages they handle. They return true when they handled it.
bool HandleCommonPanelMessage(HWND panel, const PanelFamily& family, UINT message, WPARAM wParam,
                              LPARAM lParam, LRESULT& result);
// Registers the viewport and content classes of a family (style 0, arrow
// cursor, COLOR_WINDOW + 1); repeated registrations fail harmlessly.
void RegisterPanelClasses(const PanelFamily& family, WNDPROC panelProcedure);
// Creates the panel window and its scroll bar, viewport and content.
// The family's classes must be registered.
HWND CreateScrollPanel(const PanelFamily& family, HWND parent, int x, int y, int width, int height,
                       DWORD style, int id);

// WM_DESTROY: destroys the rows, content, scroll bar and viewport, frees
// the row list and removes those properties.
void DestroyPanelParts(HWND panel, const PanelFamily& family);

// A Tahoma font the panel keeps in a property for its rows.
struct PanelFont {
    const wchar_t* property;
    int points;
    int weight;
};
// WM_CREATE: makes the fonts; WM_DESTROY: deletes them and removes their
// properties.
void CreatePanelFonts(HWND panel, std::span<const PanelFont> fonts);
void DeletePanelFonts(HWND panel, std::span<const PanelFont> fonts);

// A panel procedure, guarded. WM_CREATE calls `create` and WM_DESTROY
// `destroy`; HandleCommonPanelMessage answers what both families share;
// `body(result)` may answer the rest, true when it did; whatever is left
// gets default processing.
template <typename Body>
LRESULT PanelProcedure(HWND panel, const PanelFamily& family, UINT message, WPARAM wParam,
                       LPARAM lParam, void (*create)(HWND panel), void (*destroy)(HWND panel),
                       Body body) {
    try {
        switch (message) {
            case WM_CREATE:
                create(panel);
                return 0;
            case WM_DESTROY:
                destroy(panel);
                return 0;
            default:
                break;
        }
        LRESULT result = 0;
        if (HandleCommonPanelMessage(panel, family, message, wParam, lParam, result))
            return result;
        if (body(result))
            return result;
    } catch (...) {
        return 0;
    }
    return DefWindowProcW(panel, message, wParam, lParam);
}

}  // namespace vestrel
