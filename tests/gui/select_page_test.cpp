// The select page driven like a person: the drive rows against what the
// console tool prints for the same bay, copies by mouse and keys, the
// focus keys, a drive's probe details, drives and discs that come and go,
// and the way on to reading with stale image files and too little room.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <utility>

#include "tests/gui/wizard_session.h"

namespace vestrel::gui {
namespace {

using bays::Attended;
using sim::testing::BaySpec;
using sim::testing::PatternBytes;

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// The row blocks `vestrel-drives` prints for the bay (the wizard's own bay
// file, or the built-in bay), without an unusable drive's probe details,
// which the wizard shows on a click; and its last line, the Next state.
struct ToolRows {
    std::vector<std::wstring> rows;
    bool nextEnabled = false;
};
ToolRows ConsoleToolRows(const Wizard& wizard) {
    // The built-in bay's person puts a CD-R into every recorder whose tray
    // opens, as the Remove discs page opens them all; the tool, on a bay
    // of its own, finds them empty.
    const bool builtIn = wizard.BayFile().empty();
    const std::wstring arguments =
        wizard.BayFile().empty() ? L"--sim-default" : L"--sim \"" + wizard.BayFile() + L"\"";
    std::string output;
    EXPECT_TRUE(RunForOutput(BuildProgram(L"..\\tools\\vestrel-drives.exe"), arguments,
                             {{L"VESTREL_SAMPLES", BuildProgram(L"..\\wizard\\samples")}}, output));
    ToolRows tool;
    std::istringstream lines(output);
    std::string line, row;
    bool plan = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        plan = plan || line == "Plan:";
        if (builtIn && line == "    Current disc type: No disc" &&
            row.find("Writes: Not supported") == std::string::npos)
            line = "    Current disc type: CD-R (Empty)";
        if (!plan && !line.empty() && line.rfind("      ", 0) != 0)
            row += line + "\n";
        if ((plan || line.empty()) && !row.empty())
            tool.rows.push_back(Widen(std::exchange(row, {})));
        tool.nextEnabled = line == "Next: enabled";
    }
    return tool;
}

// The rows as a person would compare them with the tool's: an unusable
// drive's first line is its name, which only the wizard has from the shell.
std::wstring Comparable(const std::wstring& row) {
    if (row.find(L"Unusable (Click for details)") == std::wstring::npos)
        return row;
    return row.substr(row.find(L'\n'));
}

bool RowsAre(const Wizard& wizard, const std::vector<std::wstring>& expected) {
    std::vector<std::wstring> rows = wizard.DriveRowTexts();
    if (rows.size() != expected.size())
        return false;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (Comparable(rows[i]) != Comparable(expected[i]))
            return false;
    }
    return true;
}

std::string Shown(const Wizard& wizard) {
    std::string shown;
    for (const std::wstring& row : wizard.DriveRowTexts())
        shown += Narrow(row) + "--\n";
    return shown;
}

// The destination line of the row whose title names the letter.
std::wstring DestinationOf(const Wizard& wizard, wchar_t letter) {
    const std::wstring name = std::wstring(L"(") + letter + L":)";
    for (const std::wstring& row : wizard.DriveRowTexts()) {
        if (row.find(name) == std::wstring::npos)
            continue;
        const size_t at = row.find(L"Destination: ");
        return at == std::wstring::npos ? L"" : row.substr(at + 13, row.find(L'\n', at) - at - 13);
    }
    return L"(no row)";
}

bool NextEnabled(const Wizard& wizard) {
    return IsWindowEnabled(wizard.Control(kNext)) != FALSE;
}

// A source in D:, recorders after it; a drive that cannot be opened; an
// empty recorder.
BaySpec FourRows() {
    return Attended(BaySpec()
                        .Iso("film", "DVD-ROM", sim::testing::LabelledData(40, "FILM", 1))
                        .Iso("songs", "CD-ROM", sim::testing::LabelledData(40, "SONGS", 2))
                        .Drive('D', "dvd-rom-reader", "film")
                        .Drive('E', "cd-rw-recorder", "songs")
                        .Drive('F', "bd-re-recorder")
                        .Drive('G', "dvd-rom-reader")
                        .With("open = fails"));
}

// A writer of DVD types only, for the planner's example of two recorders.
BaySpec WithDvdOnlyRecorder(BaySpec bay) {
    return bay.Model("dvd-writer",
                     "vendor = ORBITA\nproduct = DVD-W DW-16\nrevision = 1.00\n"
                     "profiles = DVD+R, DVD-R, DVD-ROM, CD-ROM\nwrites = DVD+R, DVD-R\n"
                     "feature = 0001 1 00 00 00 02 01 00 00 00\nfeature = 0003 0 29 00 00 00\n"
                     "feature = 0010 0 00 00 08 00 00 10 01 00\nfeature = 001E 2 03 00 00 00\n"
                     "feature = 001F 2 01 00 03 00\nfeature = 002B 0 01 00 00 00\n"
                     "feature = 002F 2 4E 00 00 00\n"
                     "page 2A = 2A 1C 3B 30 F1 63 29 03 21 14 01 00 08 00 21 14 00 00 21 14 "
                     "21 14 00 01 00 00 00 00 2B 48\nread-speed CD = 8467\n"
                     "read-speed DVD = 22160\nwrite-speeds DVD = 22160 11080");
}

// Nine DVD readers: more rows than the panel shows.
BaySpec NineDrives() {
    BaySpec bay;
    for (char letter = 'D'; letter <= 'L'; ++letter)
        bay.Drive(letter, "dvd-rom-reader");
    return Attended(bay);
}

class SelectPageTest : public ::testing::Test {
  protected:
    // The wizard on the bay, walked to the select page, once its rows equal
    // the console tool's.
    void Open(Wizard& wizard, const char* name = nullptr) {
        ASSERT_TRUE(wizard.WaitForFrame()) << Narrow(wizard.Error());
        ASSERT_TRUE(wizard.WalkTo(2));
        const ToolRows tool = ConsoleToolRows(wizard);
        ASSERT_FALSE(tool.rows.empty());
        EXPECT_TRUE(WaitFor([&] { return RowsAre(wizard, tool.rows); }, 30000))
            << "the wizard shows:\n"
            << Shown(wizard) << "the tool prints:\n"
            << Narrow([&] {
                   std::wstring all;
                   for (auto& r : tool.rows)
                       all += r + L"--\n";
                   return all;
               }());
        EXPECT_EQ(NextEnabled(wizard), tool.nextEnabled);
        if (name) {
            EXPECT_TRUE(SaveScreenshot(wizard.Frame(), Widen(name)));
        }
    }
};

TEST_F(SelectPageTest, RowsShowWhatTheConsoleToolPrints) {
    struct Case {
        const char* name;
        std::optional<BaySpec> bay;
    };
    const Case cases[] = {
        {"select-default", std::nullopt},
        {"select-rows", FourRows()},
        // A source no recorder can take holds every source back.
        {nullptr, Attended(BaySpec()
                               .Iso("blu", "BD-ROM", PatternBytes(40 * 2048, 3))
                               .Iso("cd", "CD-ROM", PatternBytes(40 * 2048, 4))
                               .InReaders('D', "bd-re-recorder")
                               .Drive('F', "cd-rw-recorder"))},
        {nullptr, NineDrives()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name ? c.name : "bay");
        Wizard wizard(c.bay ? &*c.bay : nullptr);
        Open(wizard, c.name);
        EXPECT_TRUE(wizard.Exit());
    }
}

TEST_F(SelectPageTest, CopiesFollowMouseAndKeysWithinOneTo99AndSpreadOverRecorders) {
    const BaySpec bay = Attended(BaySpec()
                                     .Iso("cd", "CD-ROM", PatternBytes(40 * 2048, 5))
                                     .InReaders('D', "cd-rom-reader")
                                     .Drive('F', "cd-rw-recorder")
                                     .Drive('G', "cd-rw-recorder"));
    Wizard wizard(bay);
    Open(wizard);
    HWND row = wizard.DriveRows().at(0);
    HWND copies = FindWindowExW(row, nullptr, L"msctls_updown32", nullptr);
    ASSERT_NE(copies, nullptr);
    // The right half of the control counts up.
    RECT arrows = ScreenRect(copies);
    ASSERT_TRUE(MouseClickAt(
        copies, {(arrows.right - arrows.left) * 3 / 4, (arrows.bottom - arrows.top) / 2}));
    ASSERT_TRUE(WaitFor([&] { return DestinationOf(wizard, L'D') == L"G: x1, F: x1"; }, 5000))
        << Shown(wizard);
    for (int i = 0; i < 3; ++i)
        PressKey(VK_RIGHT);
    // Five copies on two equal recorders: the later one in the list takes 3.
    EXPECT_TRUE(WaitFor([&] { return DestinationOf(wizard, L'D') == L"G: x3, F: x2"; }, 5000))
        << Shown(wizard);
    for (int i = 0; i < 100; ++i)
        PressKey(VK_RIGHT);
    EXPECT_TRUE(WaitFor(
        [&] { return wizard.DriveRowTexts().at(0).find(L"Copies: 99\n") != std::wstring::npos; },
        10000))
        << Shown(wizard);
    for (int i = 0; i < 100; ++i)
        PressKey(VK_LEFT);
    EXPECT_TRUE(WaitFor([&] { return DestinationOf(wizard, L'D') == L"G: x1"; }, 10000))
        << Shown(wizard);
    EXPECT_NE(wizard.DriveRowTexts().at(0).find(L"Copies: 1\n"), std::wstring::npos);
    EXPECT_TRUE(wizard.Exit());
}

TEST_F(SelectPageTest, StripsFollowThePlannersExamples) {
    struct Case {
        const char* what;
        BaySpec bay;
        std::vector<std::pair<wchar_t, std::wstring>> destinations;
    };
    const Case cases[] = {
        {"a DVD goes only to the recorder that writes DVDs",
         Attended(BaySpec()
                      .Iso("dvd", "DVD-ROM", PatternBytes(40 * 2048, 6))
                      .InReaders()
                      .Drive('F', "dvd-rw-dl-recorder")
                      .Drive('G', "cd-rw-recorder")),
         {{L'D', L"F: x1"}, {L'G', L"N/A"}}},
        {"the CD with one candidate is planned first",
         WithDvdOnlyRecorder(Attended(BaySpec()
                                          .Iso("dvd", "DVD-ROM", PatternBytes(40 * 2048, 7))
                                          .Iso("cd", "CD-ROM", PatternBytes(40 * 2048, 8))
                                          .InReaders()
                                          .Drive('F', "dvd-rw-dl-recorder")
                                          .Drive('G', "dvd-writer"))),
         {{L'D', L"G: x1"}, {L'E', L"F: x1"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Wizard wizard(c.bay);
        Open(wizard);
        for (const auto& [letter, destination] : c.destinations)
            EXPECT_EQ(DestinationOf(wizard, letter), destination) << Shown(wizard);
        EXPECT_TRUE(wizard.Exit());
    }
}

TEST_F(SelectPageTest, TheListKeysMoveTheFocusAndScrollIt) {
    Wizard wizard(NineDrives());
    Open(wizard);
    const std::vector<HWND> rows = wizard.DriveRows();
    ASSERT_EQ(rows.size(), 9u);
    HWND panel = FindControl(wizard.Page(), kDriveListPanel);
    const RECT view = ScreenRect(GetParent(GetParent(rows[0])));
    ASSERT_TRUE(MouseClick(rows[0]));
    ASSERT_TRUE(WaitFor([&] { return FocusOf(panel) == rows[0]; }, 3000));
    struct Step {
        WORD key;
        size_t row;
    };
    for (const Step& s : {Step{VK_DOWN, 1}, Step{VK_NEXT, 5}, Step{VK_NEXT, 8}, Step{VK_DOWN, 8},
                          Step{VK_PRIOR, 4}, Step{VK_HOME, 0}, Step{VK_UP, 0}, Step{VK_END, 8}}) {
        PressKey(s.key);
        EXPECT_TRUE(WaitFor(
            [&] {
                const RECT r = ScreenRect(rows[s.row]);
                return FocusOf(panel) == rows[s.row] && r.top >= view.top &&
                       r.bottom <= view.bottom;
            },
            3000))
            << "key " << s.key << " should focus and show row " << s.row;
    }
    EXPECT_TRUE(wizard.Exit());
}

TEST_F(SelectPageTest, AnUnusableDrivesDetailsOpenOnAClickAndOnEnter) {
    Wizard wizard(FourRows());
    Open(wizard);
    HWND unusable = wizard.DriveRows().at(3);
    const std::wstring details = L"Error occurred while executing command: Test Unit Ready.";
    for (bool mouse : {true, false}) {
        SCOPED_TRACE(mouse ? "click" : "Enter");
        if (mouse) {
            // The details text sits under the drive's name.
            ASSERT_TRUE(
                MouseClickAt(unusable, {MulDiv(60, ScreenDpi(), 96), MulDiv(32, ScreenDpi(), 96)}));
        } else {
            ASSERT_TRUE(WaitFor([&] { return FocusOf(unusable) == unusable; }, 3000));
            PressKey(VK_RETURN);
        }
        HWND box = WaitForDialog(wizard.Process().Id(), kProductName, nullptr, 5000);
        ASSERT_NE(box, nullptr);
        const MessageBoxView view = ReadMessageBox(box);
        EXPECT_EQ(view.text.substr(0, details.size()), details) << Narrow(view.text);
        EXPECT_EQ(view.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(MessageBoxIcon(box), 32515);  // IDI_WARNING
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    }
    EXPECT_EQ(wizard.Header(), L"Select source and destination drives");
    EXPECT_TRUE(wizard.Exit());
}

TEST_F(SelectPageTest, RowsFollowDiscsAndDrivesThatComeAndGo) {
    Wizard wizard(bays::CdAndRecorder());
    Open(wizard);
    ASSERT_TRUE(wizard.Tray("remove D"));
    ASSERT_TRUE(WaitFor([&] { return !NextEnabled(wizard); }, 15000)) << Shown(wizard);
    struct Step {
        const char* command;
        std::function<bool()> shows;
    };
    const Step steps[] = {
        {"load D cd",
         [&] { return DestinationOf(wizard, L'D') == L"F: x1" && NextEnabled(wizard); }},
        {"detach F",
         [&] {
             return wizard.DriveRows().size() == 1 &&
                    DestinationOf(wizard, L'D').rfind(L"There is no drive capable", 0) == 0 &&
                    !NextEnabled(wizard);
         }},
        {"attach F",
         [&] { return DestinationOf(wizard, L'D') == L"F: x1" && NextEnabled(wizard); }},
        {"remove D",
         [&] {
             return wizard.DriveRowTexts().at(0).find(L"Current disc type: No disc") !=
                        std::wstring::npos &&
                    DestinationOf(wizard, L'F') == L"N/A" && !NextEnabled(wizard);
         }},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        ASSERT_TRUE(wizard.Tray(s.command));
        EXPECT_TRUE(WaitFor(s.shows, 15000)) << Shown(wizard);
    }
    EXPECT_TRUE(wizard.Exit());
}

// Exit pressed while rows are still being added (each waits half a second)
// ends the wizard once the row in hand is done.
TEST_F(SelectPageTest, ExitWhileRowsAreAddedEndsCleanly) {
    Wizard wizard(NineDrives());
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(wizard.Advance(1));
    ASSERT_TRUE(WaitFor([&] { return !wizard.DriveRows().empty(); }, 15000));
    EXPECT_LT(wizard.DriveRows().size(), 9u);
    ASSERT_TRUE(Click(wizard.Control(kExit)));
    DWORD code = 1;
    EXPECT_TRUE(wizard.Process().WaitForExit(15000, &code));
    EXPECT_EQ(code, 0u);
}

// The image file the source in D: is read into, under the bay's appdata
// folder (bays::CdAndRecorder), made as a run that stopped would leave it.
std::filesystem::path ImageFileOfD(const Wizard& wizard) {
    return std::filesystem::path(wizard.BayFile()).parent_path() / L"appdata" / L"t4k" / L"Temp" /
           L"D000.iso";
}
void LeaveImageFile(const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "left over";
}

// Next with a stale image file: the "Overwrite files?" dialog lists it.
HWND OverwriteDialog(Wizard& wizard, const std::filesystem::path& file) {
    if (!Click(wizard.Control(kNext)))
        return nullptr;
    HWND dialog = nullptr;
    WaitFor(
        [&] {
            for (HWND box : TopWindows(wizard.Process().Id(), L"#32770", kProductName)) {
                if (GetDlgItem(box, 3601))
                    dialog = box;
            }
            return dialog != nullptr;
        },
        10000);
    if (dialog) {
        EXPECT_EQ(Text(GetDlgItem(dialog, 3601)), file.wstring());
    }
    return dialog;
}

// Cancel keeps the page, its rows and the file; a disc taken out while the
// dialog was open is acted on once the wizard stays.
TEST_F(SelectPageTest, OverwriteFilesCancelledStaysWithTheFileAndTheChangesMeanwhile) {
    Wizard wizard(bays::CdAndRecorder());
    Open(wizard);
    const std::filesystem::path stale = ImageFileOfD(wizard);
    LeaveImageFile(stale);
    HWND dialog = OverwriteDialog(wizard, stale);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(SaveScreenshot(dialog, L"overwrite-files"));
    ASSERT_TRUE(wizard.Tray("remove D"));
    ASSERT_TRUE(Click(GetDlgItem(dialog, 7)));  // Cancel
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 5000));
    EXPECT_TRUE(wizard.WaitForStep(2, 1000));
    EXPECT_TRUE(std::filesystem::exists(stale));
    EXPECT_TRUE(WaitFor(
        [&] {
            return DestinationOf(wizard, L'F') == L"N/A" && !NextEnabled(wizard) &&
                   wizard.DriveRows().size() == 2;
        },
        15000))
        << Shown(wizard);
    EXPECT_TRUE(wizard.Exit());
}

// Left alone, the dialog replaces the file after its countdown; a disc
// taken out meanwhile changes nothing of the plan, and Back from reading
// deletes the run's image files.
TEST_F(SelectPageTest, OverwriteFilesAcceptedByItsCountdownThenBackDeletesTheRunsFiles) {
    Wizard wizard(bays::CdAndRecorder());
    Open(wizard);
    const std::filesystem::path stale = ImageFileOfD(wizard);
    LeaveImageFile(stale);
    HWND dialog = OverwriteDialog(wizard, stale);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(wizard.Tray("remove D"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 20000)) << "no countdown";
    ASSERT_TRUE(wizard.WaitForStep(3));
    EXPECT_FALSE(std::filesystem::exists(stale));
    // What a reader would have written, then Back, confirmed.
    LeaveImageFile(stale);
    ASSERT_TRUE(Click(wizard.Control(kBack)));
    HWND question = WaitForDialog(wizard.Process().Id(), kProductName, nullptr, 5000);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(AnswerMessageBox(question, IDYES));
    ASSERT_TRUE(wizard.WaitForStep(2));
    EXPECT_FALSE(std::filesystem::exists(stale)) << "the abandoned run's file stays";
    EXPECT_TRUE(wizard.Exit());
}

TEST_F(SelectPageTest, TooLittleRoomForTheImagesIsSaidAndThePageStays) {
    Wizard wizard(bays::CdAndRecorder().Top("appdata-free = 10M"));
    Open(wizard);
    ASSERT_TRUE(Click(wizard.Control(kNext)));
    HWND box = WaitForDialog(wizard.Process().Id(), kProductName, nullptr, 10000);
    ASSERT_NE(box, nullptr);
    const MessageBoxView view = ReadMessageBox(box);
    EXPECT_EQ(view.text,
              L"You don't have enough free space on your hard drive(s) to save the disc "
              L"images.\r\nPlease, remove some source from the list, or free up some space, and "
              L"then try again.");
    EXPECT_EQ(MessageBoxIcon(box), 32515);  // IDI_WARNING, as the exclamation shows
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(wizard.WaitForStep(2, 3000));
    EXPECT_TRUE(WaitFor([&] { return NextEnabled(wizard); }, 3000));
    EXPECT_TRUE(wizard.Exit());
}

}  // namespace
}  // namespace vestrel::gui
