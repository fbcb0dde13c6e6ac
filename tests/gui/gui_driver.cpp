#include "tests/gui/gui_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace vestrel::gui {
namespace {

// The driver measures real pixels: coordinates it reads from other
// processes' windows must not be scaled for it.
const bool kDpiAware = SetProcessDPIAware() != FALSE;

constexpr DWORD kPollMs = 20;
constexpr UINT kMessageTimeoutMs = 2000;

std::wstring WindowsEnvironment(const std::vector<std::pair<std::wstring, std::wstring>>& changes) {
    std::map<std::wstring, std::wstring> variables;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
            std::wstring entry = p;
            size_t equals = entry.find(L'=', 1);  // "=C:=C:\..." entries start with '='
            if (equals != std::wstring::npos)
                variables[entry.substr(0, equals)] = entry.substr(equals + 1);
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : changes) {
        if (value.empty())
            variables.erase(name);
        else
            variables[name] = value;
    }
    std::wstring result;
    for (const auto& [name, value] : variables)
        result += name + L"=" + value + L'\0';
    result += L'\0';
    return result;
}

struct TopSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    if (search->className && ClassName(window) != search->className)
        return TRUE;
    if (search->caption && Text(window) != search->caption)
        return TRUE;
    search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> Descendants(HWND root) {
    std::vector<HWND> all;
    EnumChildWindows(
        root,
        [](HWND child, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

INPUT MouseInput(DWORD flags, POINT screen = {}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        input.mi.dx = MulDiv(screen.x, 65535, std::max(1, width - 1));
        input.mi.dy = MulDiv(screen.y, 65535, std::max(1, height - 1));
    }
    return input;
}

void MoveMouse(POINT screen) {
    INPUT move = MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screen);
    SendInput(1, &move, sizeof move);
}

// A corner of the screen, so that nothing of the program looks hovered.
void ParkMouse() {
    MoveMouse({GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1});
}

int CountDifferent(const Picture& a, const Picture& b) {
    int different = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
        COLORREF p = a.pixels[i], q = b.pixels[i];
        if (std::abs(GetRValue(p) - GetRValue(q)) > 48 ||
            std::abs(GetGValue(p) - GetGValue(q)) > 48 ||
            std::abs(GetBValue(p) - GetBValue(q)) > 48)
            ++different;
    }
    return different;
}

// The icon drawn the way a static shows it, over the given background.
Picture RenderIcon(HICON icon, int width, int height, COLORREF background) {
    Picture picture;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    picture.width = width;
    picture.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            picture.pixels.push_back(GetPixel(memory, x, y));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

}  // namespace

bool StartProcess(const wchar_t* program, const std::wstring& commandLine, DWORD flags,
                  void* environment, PROCESS_INFORMATION& info, HANDLE output) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    // Wine now and then fails a start with an internal error (1359) when
    // the machine is loaded; a missing program fails every try alike.
    for (int attempt = 1;; ++attempt) {
        std::wstring line = commandLine;  // CreateProcessW may write to it
        if (CreateProcessW(program, line.data(), nullptr, nullptr, output != nullptr, flags,
                           environment, nullptr, &startup, &info))
            return true;
        const DWORD error = GetLastError();
        if (attempt == 10 || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return false;
        Sleep(300);
    }
}

Program::Program(const std::wstring& path,
                 const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
    std::wstring commandLine = L"\"" + path + L"\"";
    std::wstring block = WindowsEnvironment(environment);
    PROCESS_INFORMATION info{};
    if (!StartProcess(path.c_str(), commandLine, CREATE_UNICODE_ENVIRONMENT, block.data(), info)) {
        error_ = L"cannot start " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
}

bool RunForOutput(const std::wstring& path, const std::wstring& arguments,
                  const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                  std::string& output, DWORD timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring block = WindowsEnvironment(environment);
    PROCESS_INFORMATION info{};
    const bool started =
        StartProcess(path.c_str(), L"\"" + path + L"\" " + arguments,
                     CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(), info, writeEnd);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    CloseHandle(info.hThread);
    output.clear();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        output.append(buffer, got);
    CloseHandle(readEnd);
    const bool ended = WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(info.hProcess);
    return ended;
}

Program::~Program() {
    if (!process_)
        return;
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool Program::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(process_, exitCode);
    return true;
}

bool Program::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        Sleep(kPollMs);
    }
}

std::wstring ClassName(HWND window) {
    wchar_t name[256];
    int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? length : 0);
}

std::wstring Text(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length))
        return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return L"";
    text.resize(std::min<size_t>(copied, length));
    return text;
}

std::vector<HWND> TopWindows(DWORD processId, const wchar_t* className, const wchar_t* caption) {
    TopSearch search{processId, className, caption, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopWindow(DWORD processId, const wchar_t* className, const wchar_t* caption,
                      DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            auto windows = TopWindows(processId, className, caption);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

int CountWindows(DWORD processId) {
    struct Count {
        DWORD processId;
        int windows;
    } count{processId, 0};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* c = reinterpret_cast<Count*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == c->processId)
                c->windows += 1 + static_cast<int>(Descendants(window).size());
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

HWND FindControl(HWND root, int id, const wchar_t* className) {
    for (HWND child : Descendants(root)) {
        if (GetDlgCtrlID(child) == id && (!className || ClassName(child) == className))
            return child;
    }
    return nullptr;
}

RECT ScreenRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

bool Click(HWND button) {
    if (!IsWindow(button) || !IsWindowVisible(button) || !IsWindowEnabled(button) ||
        !IsWindowEnabled(GetAncestor(button, GA_ROOT)))
        return false;
    return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

bool MouseClick(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return MouseClickAt(window, {client.right / 2, client.bottom / 2});
}

bool MouseClickAt(HWND window, POINT client) {
    POINT screen = client;
    ClientToScreen(window, &screen);
    // A window just shown takes a moment before the system routes input to
    // it. Only the top-level window is compared: the point may lie under a
    // transparent static, which the system looks through for the click but
    // not when asked from another thread.
    HWND root = GetAncestor(window, GA_ROOT);
    bool onTop = WaitFor(
        [&] {
            MoveMouse(screen);
            return GetAncestor(WindowFromPoint(screen), GA_ROOT) == root;
        },
        3000);
    if (!onTop)
        return false;
    // Each event carries the point, so a move the system makes on its own
    // meanwhile (the X pointer entering a new window) cannot displace it.
    const DWORD at = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    INPUT clicks[2] = {MouseInput(MOUSEEVENTF_LEFTDOWN | at, screen),
                       MouseInput(MOUSEEVENTF_LEFTUP | at, screen)};
    bool sent = SendInput(2, clicks, sizeof(INPUT)) == 2;
    Sleep(50);
    ParkMouse();
    return sent;
}

void PressKey(WORD virtualKey) {
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = virtualKey;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

HWND WaitForDialog(DWORD processId, const wchar_t* caption, HWND owner, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND w : TopWindows(processId, L"#32770", caption)) {
                if (!owner || GetWindow(w, GW_OWNER) == owner) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

MessageBoxView ReadMessageBox(HWND box) {
    MessageBoxView view;
    view.window = box;
    view.caption = Text(box);
    // Message boxes give their text static the id 0xFFFF.
    if (HWND text = GetDlgItem(box, 0xFFFF))
        view.text = Text(text);
    for (HWND child : Descendants(box)) {
        if (ClassName(child) == L"Button" && IsWindowVisible(child))
            view.buttons.push_back(GetDlgCtrlID(child));
    }
    std::sort(view.buttons.begin(), view.buttons.end());
    return view;
}

bool AnswerMessageBox(HWND box, int buttonId) {
    HWND button = GetDlgItem(box, buttonId);
    if (!button || !Click(button))
        return false;
    return WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
}

// Which stock icon the box's icon static shows, read from the screen.
static int ShownMessageBoxIcon(HWND box) {
    HWND iconStatic = nullptr;
    for (HWND child : Descendants(box)) {
        if (ClassName(child) == L"Static" &&
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child))
            iconStatic = child;
    }
    if (!iconStatic)
        return 0;
    RECT client{};
    GetClientRect(iconStatic, &client);
    POINT origin{0, 0};
    ClientToScreen(iconStatic, &origin);
    Picture shown =
        Capture({origin.x, origin.y, origin.x + client.right, origin.y + client.bottom});
    if (shown.pixels.empty())
        return 0;
    int best = 0, bestDifferent = shown.width * shown.height;
    for (int id : {32516 /*information*/, 32515 /*warning*/, 32513 /*error*/, 32514 /*question*/}) {
        HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(id));
        int different =
            CountDifferent(shown, RenderIcon(icon, shown.width, shown.height, shown.At(0, 0)));
        if (different < bestDifferent) {
            best = id;
            bestDifferent = different;
        }
    }
    // A close match only: a few pixels may differ where the box blends.
    return bestDifferent * 10 <= shown.width * shown.height ? best : 0;
}

int MessageBoxIcon(HWND box) {
    // A box found as soon as it exists may not have painted yet, on a busy machine for a while.
    int icon = 0;
    WaitFor([&] { return (icon = ShownMessageBoxIcon(box)) != 0; }, 5000);
    return icon;
}

Picture Capture(const RECT& area) {
    Picture picture;
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return picture;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY)) {
            GdiFlush();
            picture.width = width;
            picture.height = height;
            picture.pixels.resize(static_cast<size_t>(width) * height);
            const auto* bgrx = static_cast<const uint8_t*>(bits);
            for (size_t i = 0; i < picture.pixels.size(); ++i)
                picture.pixels[i] = RGB(bgrx[4 * i + 2], bgrx[4 * i + 1], bgrx[4 * i]);
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

Picture CaptureWindow(HWND window) {
    return Capture(ScreenRect(window));
}

Picture CaptureSettled(HWND window, DWORD timeoutMs) {
    // Once the window's thread answers, what it had queued before is done.
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &answer);
    Picture last = CaptureWindow(window);
    WaitFor(
        [&] {
            Sleep(100);
            Picture next = CaptureWindow(window);
            bool same = next.width == last.width && next.pixels == last.pixels;
            last = std::move(next);
            return same;
        },
        timeoutMs);
    return last;
}

bool SaveBmp(const Picture& picture, const std::wstring& path) {
    if (picture.width <= 0 || picture.height <= 0)
        return false;
    const uint32_t stride = (static_cast<uint32_t>(picture.width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + stride * picture.height;
    header.biSize = sizeof header;
    header.biWidth = picture.width;
    header.biHeight = picture.height;  // bottom row first
    header.biPlanes = 1;
    header.biBitCount = 24;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * picture.height);
    for (int y = 0; y < picture.height; ++y) {
        uint8_t* row = &rows[static_cast<size_t>(picture.height - 1 - y) * stride];
        for (int x = 0; x < picture.width; ++x) {
            COLORREF c = picture.At(x, y);
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out)
        return false;
    bool written = fwrite(&file, sizeof file, 1, out) == 1 &&
                   fwrite(&header, sizeof header, 1, out) == 1 &&
                   fwrite(rows.data(), rows.size(), 1, out) == 1;
    return fclose(out) == 0 && written;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::wstring ResolvedFace(const wchar_t* face) {
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                             CLEARTYPE_QUALITY, 0, face);
    HGDIOBJ old = SelectObject(screen, font);
    wchar_t name[LF_FACESIZE] = {};
    GetTextFaceW(screen, LF_FACESIZE, name);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return name;
}

std::wstring WindowsPath(const std::string& path) {
    std::wstring wide(path.size(), L'\0');
    int length = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()),
                                     wide.data(), static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    if (!wide.empty() && wide[0] == L'/') {
        // Wine shows the Unix root as drive Z:.
        std::replace(wide.begin(), wide.end(), L'/', L'\\');
        wide = L"Z:" + wide;
    }
    return wide;
}

}  // namespace vestrel::gui
