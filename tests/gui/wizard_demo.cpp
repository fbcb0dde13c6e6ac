// wizard_demo.exe: the wizard part of `make demo` on a machine without a
// display. Walks the virtual wizard on the built-in bay from Welcome to
// Finish as a person would, pressing Next whenever a page enables it, and
// photographs each page once it shows what it is there for. Run by
// tools/demo-wizard through tools/run-gui-tests, which gives it a screen and
// turns the pictures into PNG files. Exits with 0 when every page was
// photographed and Finish says that every disc was copied.
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <functional>
#include <string>

#include "tests/gui/wizard_session.h"

namespace vestrel::gui {
namespace {

// Generous: the built-in bay reads and writes at the simulated drives'
// speeds, on a machine that may be busy with other things.
constexpr DWORD kStepMs = 180000;

constexpr wchar_t kCopiedText[] = L"Congratulations! All your discs were copied successfully.";
constexpr int kFinishText = 3801;

// Screenshot names, by page index; the number keeps them in order.
constexpr const wchar_t* kShots[] = {L"1-welcome", L"2-remove-discs", L"3-select",
                                     L"4-reading", L"5-writing",      L"6-finish"};

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c >= 32 && c < 127 ? static_cast<char>(c) : c == L'\n' ? '\n' : '?';
    return out;
}

bool Fail(const std::string& what) {
    std::printf("wizard-demo: %s\n", what.c_str());
    std::fflush(stdout);
    return false;
}

void Say(const std::string& what) {
    std::printf("%s\n", what.c_str());
    std::fflush(stdout);
}

bool NextEnabled(const Wizard& wizard) {
    return IsWindowEnabled(wizard.Control(kNext)) != FALSE;
}

// The page shown now, photographed; false when the wizard had already moved
// on to another page by the time the picture was settled.
bool Photograph(const Wizard& wizard, int step) {
    if (!SaveScreenshot(wizard.Frame(), kShots[step]))
        return Fail("cannot save the screenshot " + Narrow(kShots[step]));
    if (wizard.Header() != kStepTitles[step])
        return Fail("the wizard left \"" + Narrow(kStepTitles[step]) +
                    "\" before its screenshot was taken");
    Say("  " + Narrow(kStepTitles[step]) + ": photographed");
    return true;
}

// The built-in bay's two sample discs both planned onto a recorder ("G:
// x1"): the select page has seen both readers' discs once their trays
// closed, not only the first to become ready.
bool BothSourcesPlanned(const Wizard& wizard) {
    int planned = 0;
    for (const std::wstring& text : wizard.DriveRowTexts()) {
        const size_t at = text.find(L"Destination: ");
        planned += at != std::wstring::npos && at + 15 < text.size() && iswupper(text[at + 13]) &&
                   text[at + 14] == L':';
    }
    return planned == 2;
}

// Waits for the step and for Next to be enabled on it (and whatever else
// the page must show first).
bool WaitUntilReady(const Wizard& wizard, int step, const std::function<bool()>& ready = nullptr) {
    if (!wizard.WaitForStep(step, kStepMs))
        return Fail("\"" + Narrow(kStepTitles[step]) + "\" never showed");
    if (!WaitFor([&] { return NextEnabled(wizard) && (!ready || ready()); }, kStepMs))
        return Fail("\"" + Narrow(kStepTitles[step]) + "\" never enabled Next");
    return true;
}

bool PhotographAndGoOn(Wizard& wizard, int step) {
    return Photograph(wizard, step) && Click(wizard.Control(kNext));
}

bool Run() {
    Say("The wizard on the built-in bay, Next pressed whenever a page enables it:");
    Wizard wizard(nullptr);
    if (!wizard.WaitForFrame(60000))
        return Fail("the wizard did not start: " + Narrow(wizard.Error()));
    if (!WaitUntilReady(wizard, 0) || !PhotographAndGoOn(wizard, 0))
        return false;
    // Remove discs opens every tray and moves on by itself once the person
    // has closed them.
    if (!wizard.WaitForStep(1, kStepMs))
        return Fail("\"Remove discs\" never showed");
    if (!Photograph(wizard, 1))
        return false;
    if (!WaitUntilReady(wizard, 2, [&] { return BothSourcesPlanned(wizard); }))
        return false;
    for (const std::wstring& row : wizard.DriveRowTexts())
        Say(Narrow(row));
    if (!PhotographAndGoOn(wizard, 2))
        return false;
    for (int step = 3; step <= 4; ++step) {
        if (!WaitUntilReady(wizard, step) || !PhotographAndGoOn(wizard, step))
            return false;
    }
    if (!wizard.WaitForStep(5, kStepMs))
        return Fail("\"Finish\" never showed");
    HWND text = GetDlgItem(wizard.Page(), kFinishText);
    WaitFor([&] { return Text(text) == kCopiedText; }, 10000);
    const std::wstring outcome = Text(text);
    if (!Photograph(wizard, 5))
        return false;
    Say("Finish: " + Narrow(outcome));
    if (!wizard.Exit(30000))
        return Fail("the wizard did not end on Exit");
    return outcome == kCopiedText;
}

}  // namespace
}  // namespace vestrel::gui

int main() {
    return vestrel::gui::Run() ? 0 : 1;
}
