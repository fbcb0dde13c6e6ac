// Drives a program's windows from another process, the way a person at the
// screen would: find a window, read its text, click, press keys, wait for a
// state, answer a message box, take a screenshot.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vestrel::gui {

// CreateProcessW, tried again a few times when Wine fails the start for a
// passing reason. On failure GetLastError() holds the last try's error.
// With `output`, an inheritable handle, the program writes there.
bool StartProcess(const wchar_t* program, const std::wstring& commandLine, DWORD flags,
                  void* environment, PROCESS_INFORMATION& info, HANDLE output = nullptr);

// A started program. The destructor ends it if it still runs, so a failed
// test leaves nothing behind.
class Program {
  public:
    // environment: variables set (or, with an empty value, removed) on top
    // of this process's own.
    Program(const std::wstring& path,
            const std::vector<std::pair<std::wstring, std::wstring>>& environment = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return process_ != nullptr; }
    const std::wstring& Error() const { return error_; }
    DWORD Id() const { return id_; }
    // True when the program ended within the time; its exit code then.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
    bool Running() const;

  private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    std::wstring error_;
};

// Runs a console program to its end and gives what it wrote (standard
// output and error); false when it could not start or outlasted the time.
bool RunForOutput(const std::wstring& path, const std::wstring& arguments,
                  const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                  std::string& output, DWORD timeoutMs = 60000);

// Polls the condition every 20 ms until it holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);

std::wstring ClassName(HWND window);
// The window's text (WM_GETTEXT), without waiting on a hung window.
std::wstring Text(HWND window);

// The process's visible top-level windows whose class and caption match
// (nullptr matches anything).
std::vector<HWND> TopWindows(DWORD processId, const wchar_t* className = nullptr,
                             const wchar_t* caption = nullptr);
HWND WaitForTopWindow(DWORD processId, const wchar_t* className, const wchar_t* caption,
                      DWORD timeoutMs);
// Every window of the process, children included: a count of USER objects.
int CountWindows(DWORD processId);

// The first descendant (at any depth) with the id and, if given, the class.
HWND FindControl(HWND root, int id, const wchar_t* className = nullptr);
// The window's rectangle on the screen.
RECT ScreenRect(HWND window);

// A click as BM_CLICK posts it: refused (false) on a hidden or disabled
// window, as a person could not click it either.
bool Click(HWND button);
// A left click of the mouse at the window's centre (or at a point of its
// client area), through the system's input queue; waits until the point
// shows that window's top-level window. False when it never does.
bool MouseClick(HWND window);
bool MouseClickAt(HWND window, POINT client);
// A key pressed and released through the system's input queue; it goes
// to whatever window has the keyboard focus.
void PressKey(WORD virtualKey);
// The window that has the keyboard focus in the thread owning the window.
HWND FocusOf(HWND window);

// A message box (or any dialog of class #32770) as a person reads it.
struct MessageBoxView {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // the ids of its visible push buttons, IDOK...
};
// A visible dialog of the process with the caption, owned by owner when
// owner is not null.
HWND WaitForDialog(DWORD processId, const wchar_t* caption, HWND owner, DWORD timeoutMs);
MessageBoxView ReadMessageBox(HWND box);
// Clicks the button and waits for the box to close.
bool AnswerMessageBox(HWND box, int buttonId);
// Which of the system's standard icons the box shows: IDI_INFORMATION,
// IDI_WARNING, IDI_ERROR or IDI_QUESTION as a number, 0 when none matches.
int MessageBoxIcon(HWND box);

// Pixels of a screen area, top row first, 0x00RRGGBB.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;  // as RGB(), so GetRValue() and friends read them
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Picture Capture(const RECT& screenArea);
Picture CaptureWindow(HWND window);
// The window once it has stopped changing: two captures 100 ms apart are
// equal (or the time is up, giving the last capture).
Picture CaptureSettled(HWND window, DWORD timeoutMs = 3000);
// Writes a 24-bit BMP file.
bool SaveBmp(const Picture& picture, const std::wstring& path);

// Dots per inch of the screen as this process sees it.
int ScreenDpi();
// The face a font request for the name is given by the system.
std::wstring ResolvedFace(const wchar_t* face);

// A path given by the build (a Unix path under Wine) as a Windows path.
std::wstring WindowsPath(const std::string& path);

}  // namespace vestrel::gui
