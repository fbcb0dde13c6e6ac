// Shows the custom controls on a painted background, then the About box,
// and photographs both into VESTREL_GUI_SHOTS (controls-DPI.bmp,
// about-DPI.bmp) for people to look at. Not a test: it checks nothing.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "resources/resource_ids.h"
#include "ui/button_images.h"
#include "ui/dpi.h"
#include "ui/drive_list_panel.h"
#include "ui/gdi.h"
#include "ui/gradient_fill.h"
#include "ui/icon_static.h"
#include "ui/icons.h"
#include "ui/link.h"
#include "ui/messages.h"
#include "ui/painting.h"
#include "ui/panel_container.h"
#include "ui/scroll_panel.h"
#include "wizard/about_box.h"
#include "wizard/version_info.h"

namespace vestrel {
namespace {

HDC background = nullptr;
HBITMAP backgroundBitmap = nullptr;

void SaveScreen(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = L".";
    GetEnvironmentVariableW(L"VESTREL_GUI_SHOTS", folder, MAX_PATH);
    wchar_t path[MAX_PATH * 2];
    swprintf(path, MAX_PATH * 2, L"%ls\\%ls-%d.bmp", folder, name, ScreenDpiY());
    ScopedWindowDC screen(nullptr);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    MemoryCanvas canvas(screen.get(), width, height);
    BitBlt(canvas.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY);
    BITMAPINFOHEADER header{sizeof header, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::string pixels(stride * static_cast<DWORD>(height), '\0');
    HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(canvas.get(), OBJ_BITMAP));
    GetDIBits(canvas.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof file + sizeof header + pixels.size()),
                          0, 0, sizeof file + sizeof header};
    if (FILE* out = _wfopen(path, L"wb")) {
        fwrite(&file, sizeof file, 1, out);
        fwrite(&header, sizeof header, 1, out);
        fwrite(pixels.data(), 1, pixels.size(), out);
        fclose(out);
    }
}

// A row that shows its key, as the real rows will show a drive.
LRESULT CALLBACK DemoRowProc(HWND row, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE)
        SetWindowLongPtrW(row, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(
                              reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    if (message == WM_PAINT) {
        ScopedPaint paint(row);
        RECT rect;
        GetClientRect(row, &rect);
        FillRect(paint.get(), &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        HWND panel = GetParent(GetParent(GetParent(row)));
        const bool container = FamilyOf(panel) == &kContainerFamily;
        ScopedSelect font(paint.get(),
                          GetPropW(panel, container ? kContainerFontBold : kDriveListFontBold));
        SetTextColor(paint.get(), kLinkColour);
        wchar_t text[64];
        swprintf(text, 64, L"   Row for %lc:",
                 static_cast<wchar_t>(GetWindowLongPtrW(row, GWLP_USERDATA)));
        DrawTextW(paint.get(), text, -1, &rect, DT_SINGLELINE | DT_VCENTER);
        ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, RGB(220, 220, 220)));
        ScopedSelect selectPen(paint.get(), pen.get());
        MoveToEx(paint.get(), 0, rect.bottom - 1, nullptr);
        LineTo(paint.get(), rect.right, rect.bottom - 1);
        return 0;
    }
    return DefWindowProcW(row, message, wParam, lParam);
}

void RebuildBackground(HWND frame, HDC like) {
    RECT client;
    GetClientRect(frame, &client);
    if (background) {
        DeleteDC(background);
        DeleteObject(backgroundBitmap);
    }
    background = CreateCompatibleDC(like);
    backgroundBitmap = CreateCompatibleBitmap(like, client.right, client.bottom);
    SelectObject(background, backgroundBitmap);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    FillGradient(background, client, Color16From8(255, 255, 255),
                 Color16From8(GetRValue(face), GetGValue(face), GetBValue(face)));
}

void Create(HWND frame) {
    for (const wchar_t* name : {kProgressPanelClass, kDriveRowClass}) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DemoRowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = name;
        RegisterClassW(&wc);
    }
    HFONT font = CreateTahomaFont(nullptr, 8, FW_NORMAL);
    auto button = [&](const wchar_t* text, int x, int id, int normal, int disabled, int placement,
                      bool enabled) {
        HWND b =
            CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, ScaledX(x),
                            ScaledY(420), ScaledX(*text ? 75 : 28), ScaledY(31), frame,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetButtonIcons(b, normal, disabled, placement);
        EnableWindow(b, enabled);
    };
    button(L"", 8, IDC_ABOUT, IDI_INFO, 0, 0, true);
    button(L"Back", 414, IDC_BACK, IDI_BACK, IDI_BACK_DISABLED, -1, false);
    button(L"Next", 494, IDC_NEXT, IDI_NEXT, IDI_NEXT_DISABLED, 1, true);
    button(L"Exit", 594, IDC_EXIT, IDI_EXIT, 0, -1, true);
    HWND link = CreateLink(frame, ScaledX(45), ScaledY(428), L"https://www.example.invalid/", 3007);
    CreateLink(frame, ScaledX(20), ScaledY(20), L"Additional Info", 3805);

    HWND icon =
        CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON, ScaledX(20),
                        ScaledY(50), ScaledX(20), ScaledY(20), frame, nullptr, nullptr, nullptr);
    SubclassTransparentIconStatic(icon);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadSizedIcon(IDI_INFO, 20)), 0);

    HWND container =
        CreatePanelContainer(frame, ScaledX(20), ScaledY(90), ScaledX(320), 5 * ScaledY(56) + 2);
    for (int i = 0; i < 7; ++i)
        SendMessageW(container, WM_ADDDRIVEPANEL, 1, 'D' + i);
    SendMessageW(container, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    HWND drives =
        CreateDriveListPanel(frame, ScaledX(360), ScaledY(90), ScaledX(310), 5 * ScaledY(55) + 2);
    for (int i = 0; i < 3; ++i)
        AddPanelRow(drives, kDriveRowClass, 'E' + i);
    SetFocus(link);
}

void PaintIcons(HDC dc) {
    int x = ScaledX(60);
    for (int id : {IDI_EXIT, IDI_NEXT, IDI_NEXT_DISABLED, IDI_BACK, IDI_BACK_DISABLED,
                   IDI_STEP_CURRENT, IDI_STEP_DONE, IDI_FAILED, IDI_INFO}) {
        HICON icon = LoadSizedIcon(id, 20);
        const SIZE size = IconImageSize(icon);
        DrawIconEx(dc, x, ScaledY(50), icon, size.cx, size.cy, 0, nullptr, DI_NORMAL);
        x += size.cx + ScaledX(6);
    }
    for (int id : {IDI_APPLICATION_ICON, IDI_OVERWRITE}) {
        HICON icon = LoadSizedIcon(id, 48);
        const SIZE size = IconImageSize(icon);
        DrawIconEx(dc, x, ScaledY(30), icon, size.cx, size.cy, 0, nullptr, DI_NORMAL);
        x += size.cx + ScaledX(6);
    }
}

void CALLBACK PhotographAbout(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowW(L"#32770", L"About t4k Vestrel\x2122");
    if (!box)
        return;
    KillTimer(nullptr, timer);
    UpdateWindow(box);
    SaveScreen(L"about");
    EndDialog(box, 0);
}

LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            Create(frame);
            SetTimer(frame, 1, 1500, nullptr);
            return 0;
        case WM_ERASEBKGND: {
            RebuildBackground(frame, reinterpret_cast<HDC>(wParam));
            RECT client;
            GetClientRect(frame, &client);
            BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, client.right, client.bottom, background, 0,
                   0, SRCCOPY);
            PaintIcons(reinterpret_cast<HDC>(wParam));
            return 1;
        }
        case WM_FILLBACKGROUND: {
            HWND child = reinterpret_cast<HWND>(lParam);
            RECT rect;
            GetWindowRect(child, &rect);
            POINT origin{0, 0};
            ClientToScreen(frame, &origin);
            BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, rect.right - rect.left,
                   rect.bottom - rect.top, background, rect.left - origin.x, rect.top - origin.y,
                   SRCCOPY);
            return 0;
        }
        case WM_CTLCOLORBTN:
            return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        case WM_TIMER:
            KillTimer(frame, 1);
            SaveScreen(L"controls");
            SetTimer(nullptr, 0, 700, PhotographAbout);
            ShowAboutBox(frame);
            DestroyWindow(frame);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(frame, message, wParam, lParam);
    }
}

}  // namespace
}  // namespace vestrel

int main() {
    using namespace vestrel;
    INITCOMMONCONTROLSEX controls{sizeof controls, 0x40FF};
    InitCommonControlsEx(&controls);
    srand(GetTickCount());
    InitGradientFill();
    ReadProgramVersion();
    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"vestrel_controls_demo";
    RegisterClassW(&wc);
    RECT rect{0, 0, ScaledX(680), ScaledY(465)};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    CreateWindowExW(WS_EX_CONTROLPARENT, wc.lpszClassName, L"Controls",
                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, rect.right - rect.left,
                    rect.bottom - rect.top, nullptr, nullptr, wc.hInstance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DeleteGradientCache();
    return 0;
}
