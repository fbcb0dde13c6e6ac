// The driver's test dialog: a static showing the dots per inch, a button
// that asks a question, one that leaks a font and a DC on purpose, a
// disabled one, an edit field, and a red probe that reports mouse clicks.
#include <windows.h>

#include <string>

#include "tests/gui/test_dialog.h"

namespace {

LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONUP) {
        SetDlgItemTextW(GetParent(window), TestAnswerText, L"clicked");
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Leak(HWND dialog) {
    // Made and never deleted: what the object counts must notice.
    CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    GetDC(dialog);
}

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            HDC screen = GetDC(nullptr);
            std::wstring dpi = L"dpi " + std::to_wstring(GetDeviceCaps(screen, LOGPIXELSX));
            ReleaseDC(nullptr, screen);
            SetDlgItemTextW(dialog, TestDpiText, dpi.c_str());
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case TestMessageButton: {
                    int answer = MessageBoxW(dialog, L"First line\r\nSecond line",
                                             L"Driver question", MB_OKCANCEL | MB_ICONINFORMATION);
                    SetDlgItemTextW(dialog, TestAnswerText,
                                    (L"answer " + std::to_wstring(answer)).c_str());
                    return TRUE;
                }
                case TestLeakButton:
                    Leak(dialog);
                    return TRUE;
                case TestDisabledButton:
                    SetDlgItemTextW(dialog, TestAnswerText, L"disabled button clicked");
                    return TRUE;
                case IDOK:
                case IDCANCEL:
                    EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW probe{};
    probe.lpfnWndProc = ProbeProcedure;
    probe.hInstance = instance;
    probe.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    probe.hbrBackground = CreateSolidBrush(RGB(255, 0, 0));
    probe.lpszClassName = L"DriverTestProbe";
    RegisterClassW(&probe);
    return static_cast<int>(
        DialogBoxParamW(instance, MAKEINTRESOURCEW(TestDialogId), nullptr, DialogProcedure, 0));
}
