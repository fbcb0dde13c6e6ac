#include "tests/gui/wizard_session.h"

#include <algorithm>
#include <vector>

namespace vestrel::gui {
namespace {

std::vector<std::pair<std::wstring, std::wstring>> WithBay(
    const std::wstring& bayFile, std::vector<std::pair<std::wstring, std::wstring>> environment) {
    environment.emplace_back(L"VESTREL_BAY", bayFile);
    return environment;
}

}  // namespace

Wizard::Wizard(const sim::testing::BaySpec* bay, const wchar_t* program,
               const std::vector<std::pair<std::wstring, std::wstring>>& environment)
    : bayFile_(bay ? bay->WriteTo(folder_.path()).wstring() : L""),
      program_(BuildProgram(program), WithBay(bayFile_, environment)) {}

std::vector<HWND> Wizard::DriveRows() const {
    // Searched from the frame: the rows show while their page is still
    // being made.
    std::vector<HWND> rows;
    EnumChildWindows(
        frame_,
        [](HWND child, LPARAM found) {
            if (ClassName(child) == L"o3")
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&rows));
    std::sort(rows.begin(), rows.end(),
              [](HWND a, HWND b) { return ScreenRect(a).top < ScreenRect(b).top; });
    return rows;
}

std::vector<std::wstring> Wizard::DriveRowTexts() const {
    std::vector<std::wstring> texts;
    for (HWND row : DriveRows())
        texts.push_back(Text(row));
    return texts;
}

bool Wizard::Tray(const std::string& command) const {
    HWND window = nullptr;
    while ((window = FindWindowExW(HWND_MESSAGE, window, L"t4kVestrelSimulatorEvents", nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != program_.Id())
            continue;
        COPYDATASTRUCT data{0x56534D43, static_cast<DWORD>(command.size()),
                            const_cast<char*>(command.data())};
        DWORD_PTR done = 0;
        return SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                   SMTO_ABORTIFHUNG, 15000, &done) &&
               done == 1;
    }
    return false;
}

bool Wizard::WaitForFrame(DWORD timeoutMs) {
    if (!program_.Started()) {
        error_ = program_.Error();
        return false;
    }
    frame_ = WaitForTopWindow(program_.Id(), kFrameClass, nullptr, timeoutMs);
    if (!frame_) {
        error_ = L"no frame within the time";
        return false;
    }
    // The first page exists once the header names it.
    if (!WaitForStep(0)) {
        error_ = L"the frame shows no Welcome page";
        return false;
    }
    return true;
}

HWND Wizard::Page() const {
    for (HWND child = GetWindow(frame_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) == L"#32770" && IsWindowVisible(child))
            return child;
    }
    return nullptr;
}

bool Wizard::WaitForStep(int index, DWORD timeoutMs) const {
    return WaitFor(
        [&] {
            HWND page = Page();
            // The header changes before the new page is made, and the old
            // page goes after: wait for one page, the step's own.
            int pages = 0;
            for (HWND c = GetWindow(frame_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                pages += ClassName(c) == L"#32770";
            return page && pages == 1 && GetDlgItem(page, kStepControls[index]) &&
                   Header() == kStepTitles[index];
        },
        timeoutMs);
}

bool Wizard::ForceNext() {
    HWND next = Control(kNext);
    EnableWindow(next, TRUE);
    return Click(next);
}

bool Wizard::Advance(int index) {
    if (index == 1 && !Click(Control(kNext)))
        return false;
    if (index > 2 && !ForceNext())
        return false;
    return WaitForStep(index);
}

bool Wizard::WalkTo(int index) {
    for (int step = 1; step <= index; ++step) {
        if (!Advance(step))
            return false;
    }
    return true;
}

bool Wizard::Exit(DWORD timeoutMs) {
    return Click(Control(kExit)) && program_.WaitForExit(timeoutMs);
}

}  // namespace vestrel::gui
