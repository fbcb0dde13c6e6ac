// The wizard as the GUI tests see it: started with a bay description,
// its frame, buttons, header and current page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/gui/bays.h"
#include "tests/gui/gui_test_support.h"

namespace vestrel::gui {

inline constexpr wchar_t kFrameClass[] = L"dlg0_{82DE65E8-B047-4647-8A07-1742A98109F1}";
inline constexpr wchar_t kProductName[] = L"t4k Vestrel\x2122";
inline constexpr wchar_t kVirtualWizard[] = L"..\\wizard\\t4kVestrel-virtual.exe";
inline constexpr wchar_t kRealWizard[] = L"..\\wizard\\t4kVestrel.exe";

// Frame ids.
inline constexpr int kSidePanel = 3001, kNext = 3002, kBack = 3003, kExit = 3004, kHeader = 3005,
                     kAbout = 3006, kWebLink = 3007;
inline constexpr int kDriveListPanel = 3404;

// A control of each step's page template, by page index.
inline constexpr int kStepControls[] = {3201, 3804, 3402, 3501, 3702, 3801};

// The header of each step, by page index.
inline constexpr const wchar_t* kStepTitles[] = {L"Welcome!",
                                                 L"Remove discs",
                                                 L"Select source and destination drives",
                                                 L"Read source discs",
                                                 L"Write destination discs",
                                                 L"Finish"};

class Wizard {
  public:
    // bay: the simulated drives (nullptr: the built-in bay), written to a
    // folder of the test's own; environment: further variables for the
    // program.
    explicit Wizard(const sim::testing::BaySpec* bay, const wchar_t* program = kVirtualWizard,
                    const std::vector<std::pair<std::wstring, std::wstring>>& environment = {});
    explicit Wizard(const sim::testing::BaySpec& bay) : Wizard(&bay) {}

    // Waits for the frame; false (with a reason in Error()) when none shows.
    bool WaitForFrame(DWORD timeoutMs = 15000);
    const std::wstring& Error() const { return error_; }

    Program& Process() { return program_; }
    // The description file the wizard was started with; empty for the
    // built-in bay.
    const std::wstring& BayFile() const { return bayFile_; }
    HWND Frame() const { return frame_; }
    HWND Control(int id) const { return GetDlgItem(frame_, id); }
    std::wstring Header() const { return Text(Control(kHeader)); }
    // The page dialog now shown in the frame.
    HWND Page() const;
    bool WaitForStep(int index, DWORD timeoutMs = 10000) const;
    // Next, enabled from outside: walks past the select, reading and
    // writing pages on bays with nothing to copy, where a person could not
    // go on.
    bool ForceNext();
    // From the step before to this one: Next, forced where needed, or the
    // wait for Remove discs to move on by itself.
    bool Advance(int index);
    // From Welcome to the step.
    bool WalkTo(int index);
    bool Exit(DWORD timeoutMs = 5000);

    // The select page's drive rows, top to bottom, and their texts (each
    // row's lines, as the console tool prints them).
    std::vector<HWND> DriveRows() const;
    std::vector<std::wstring> DriveRowTexts() const;
    // A person's hands at the simulated trays: "load D NAME" (a disc of the
    // bay), "remove D", "detach D", "attach D". True when done.
    bool Tray(const std::string& command) const;

  private:
    sim::testing::TempFolder folder_;
    std::wstring bayFile_;
    Program program_;
    HWND frame_ = nullptr;
    std::wstring error_;
};

}  // namespace vestrel::gui
