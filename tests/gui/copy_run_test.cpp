// Whole copy runs in the wizard, driven like a person from the first page
// to the last: sources read at once, every recorder writing at once, the
// person at the trays played by the bay's operator. Every copy the operator
// takes out is kept as image files and compared with its source.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "tests/gui/wizard_session.h"

namespace vestrel::gui {
namespace {

namespace fs = std::filesystem;
using sim::testing::BaySpec;
using sim::testing::LabelledData;
using sim::testing::PatternTracks;
using sim::testing::ReadFile;
using sim::testing::SourceTrack;

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// The progress panels of the page shown, top to bottom.
std::vector<HWND> Panels(const Wizard& wizard) {
    std::vector<HWND> panels;
    EnumChildWindows(
        wizard.Page(),
        [](HWND child, LPARAM found) {
            if (ClassName(child) == L"d3")
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&panels));
    std::sort(panels.begin(), panels.end(),
              [](HWND a, HWND b) { return ScreenRect(a).top < ScreenRect(b).top; });
    return panels;
}

std::vector<std::wstring> PanelTexts(const Wizard& wizard) {
    std::vector<std::wstring> texts;
    for (HWND panel : Panels(wizard))
        texts.push_back(Text(panel));
    return texts;
}

std::string Shown(const Wizard& wizard) {
    std::string shown;
    for (const std::wstring& text : PanelTexts(wizard))
        shown += Narrow(text) + "--\n";
    return shown;
}

bool ShowsText(const Wizard& wizard, int id, const wchar_t* text) {
    return Text(GetDlgItem(wizard.Page(), id)) == text;
}

// The copies' image files the operator kept, by name.
std::map<std::string, fs::path> Copies(const fs::path& folder) {
    std::map<std::string, fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        files[entry.path().filename().string()] = entry.path();
    return files;
}

// The panel of the drive, by its title's "(F:)".
HWND PanelOf(const Wizard& wizard, wchar_t letter) {
    const std::wstring name = std::wstring(L"(") + letter + L":)";
    for (HWND panel : Panels(wizard)) {
        if (Text(panel).find(name) != std::wstring::npos)
            return panel;
    }
    return nullptr;
}

bool PanelShows(const Wizard& wizard, wchar_t letter, const std::wstring& status) {
    HWND panel = PanelOf(wizard, letter);
    return panel && Text(panel).find(L"Status: " + status + L"\n") != std::wstring::npos;
}

// A link of the panel, by its caption; null when it does not show.
HWND LinkOf(HWND panel, const wchar_t* caption) {
    for (HWND child = GetWindow(panel, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) == L"l0" && Text(child) == caption && IsWindowVisible(child))
            return child;
    }
    return nullptr;
}

// Waits for the panel to offer the link, then clicks it with the mouse.
::testing::AssertionResult ClickLink(const Wizard& wizard, wchar_t letter, const wchar_t* caption) {
    HWND link = nullptr;
    if (!WaitFor([&] { return (link = LinkOf(PanelOf(wizard, letter), caption)) != nullptr; },
                 30000))
        return ::testing::AssertionFailure() << "no link " << Narrow(caption) << " on\n"
                                             << Shown(wizard);
    if (!MouseClick(link))
        return ::testing::AssertionFailure() << "the link cannot be clicked";
    return ::testing::AssertionSuccess();
}

// Answers the wizard's message box that asks the question, among others.
bool AnswerQuestion(Wizard& wizard, const wchar_t* question, int button) {
    HWND box = nullptr;
    return WaitFor(
               [&] {
                   for (HWND w : TopWindows(wizard.Process().Id(), L"#32770", kProductName)) {
                       if (ReadMessageBox(w).text == question)
                           box = w;
                   }
                   return box != nullptr;
               },
               10000) &&
           AnswerMessageBox(box, button);
}

// A message box of the wizard: its text, and the answer given.
std::wstring Answer(Wizard& wizard, int button) {
    HWND box = WaitForDialog(wizard.Process().Id(), kProductName, nullptr, 10000);
    if (!box)
        return L"(no box)";
    const std::wstring text = ReadMessageBox(box).text;
    EXPECT_TRUE(AnswerMessageBox(box, button));
    return text;
}

bool NoImageFiles(const Wizard& wizard) {
    const fs::path folder = fs::path(wizard.BayFile()).parent_path() / "appdata" / "t4k" / "Temp";
    std::error_code ec;
    return !fs::exists(folder) || fs::is_empty(folder, ec);
}

class CopyRunTest : public ::testing::Test {
  protected:
    // The runs are about behaviour; their pages are looked at at the
    // smallest and the largest screen setting, which keeps the suite short.
    void SetUp() override {
        if (RequestedDpi() == 120)
            GTEST_SKIP() << "run at 96 and 144 dpi";
    }
    // From the select page through reading and writing to Finish, pressing
    // Next as each page allows it; screenshots of the finished pages.
    // `writing` plays the person's part once the writing page shows.
    void RunToFinish(
        Wizard& wizard, const char* name, const std::function<void()>& writing = [] {}) {
        ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 10000));
        ASSERT_TRUE(Click(wizard.Control(kNext)));
        ASSERT_TRUE(wizard.WaitForStep(3));
        EXPECT_TRUE(WaitFor(
            [&] { return ShowsText(wizard, 3501, L"Reading finished successfully."); }, 60000))
            << Shown(wizard);
        EXPECT_TRUE(ShowsText(wizard, 3502, L"Press the 'Next' button to continue."));
        EXPECT_TRUE(SaveScreenshot(wizard.Frame(), Widen(name) + L"-read"));
        ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 5000));
        ASSERT_TRUE(Click(wizard.Control(kNext)));
        ASSERT_TRUE(wizard.WaitForStep(4));
        writing();
        EXPECT_TRUE(WaitFor(
            [&] { return ShowsText(wizard, 3702, L"Writing finished successfully."); }, 180000))
            << Shown(wizard);
        EXPECT_TRUE(SaveScreenshot(wizard.Frame(), Widen(name) + L"-written"));
        ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 10000));
        ASSERT_TRUE(Click(wizard.Control(kNext)));
        ASSERT_TRUE(wizard.WaitForStep(5));
        EXPECT_TRUE(
            ShowsText(wizard, 3801, L"Congratulations! All your discs were copied successfully."));
        EXPECT_TRUE(SaveScreenshot(wizard.Frame(), Widen(name) + L"-finish"));
    }
    static std::wstring Widen(const char* text) {
        return std::wstring(text, text + std::char_traits<char>::length(text));
    }
};

TEST_F(CopyRunTest, ADataAndAnAudioCdTwoAndThreeCopiesOnTwoRecorders) {
    const std::vector<uint8_t> data = LabelledData(300, "VESTREL_DATA", 1);
    const std::vector<SourceTrack> audio = PatternTracks({-40, -31}, 2);
    const BaySpec bay = bays::Attended(BaySpec()
                                           .Top("appdata = appdata")
                                           .Iso("data", "CD-ROM", data)
                                           .Cue("audio", audio)
                                           .Drive('D', "dvd-rom-reader", "data")
                                           .Drive('E', "cd-rom-reader", "audio")
                                           .Drive('F', "cd-rw-recorder")
                                           .Drive('G', "cd-rw-recorder")
                                           .Blanks('F', "CD-R")
                                           .Blanks('G', "CD-R")
                                           .TakeFinished()
                                           .Operator("finished = copies"));
    Wizard wizard(bay);
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(wizard.WalkTo(2));
    ASSERT_TRUE(WaitFor([&] { return wizard.DriveRows().size() == 4; }, 20000));
    // Two copies of the data CD, three of the audio CD, by the keys.
    const std::vector<HWND> rows = wizard.DriveRows();
    ASSERT_TRUE(MouseClick(rows[0]));
    PressKey(VK_RIGHT);
    PressKey(VK_DOWN);
    PressKey(VK_RIGHT);
    PressKey(VK_RIGHT);
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::vector<std::wstring> texts = wizard.DriveRowTexts();
            return texts.size() == 4 &&
                   texts[0].find(L"Destination: G: x1, F: x1") != std::wstring::npos &&
                   texts[1].find(L"Destination: G: x2, F: x1") != std::wstring::npos;
        },
        10000));
    RunToFinish(wizard, "cd-run");

    const fs::path folder = fs::path(wizard.BayFile()).parent_path();
    EXPECT_FALSE(fs::exists(folder / "appdata" / "t4k" / "Temp")) << "image files left";
    std::vector<uint8_t> audioBin;
    for (const SourceTrack& t : audio)
        audioBin.insert(audioBin.end(), t.bytes.begin(), t.bytes.end());
    int isos = 0, cues = 0;
    for (const auto& [name, path] : Copies(folder / "copies")) {
        SCOPED_TRACE(name);
        if (path.extension() == ".iso") {
            ++isos;
            EXPECT_TRUE(ReadFile(path) == data);
        } else if (path.extension() == ".bin") {
            ++cues;
            EXPECT_TRUE(ReadFile(path) == audioBin);
        }
    }
    EXPECT_EQ(isos, 2);
    EXPECT_EQ(cues, 3);
    EXPECT_TRUE(wizard.Exit());
}

// The copy's data: the source's, then nothing but the zeros of the
// recorder's rounding up to whole blocks of its kind.
bool HoldsData(const fs::path& copy, const std::vector<uint8_t>& data) {
    const std::vector<uint8_t> bytes = ReadFile(copy);
    return bytes.size() >= data.size() && std::equal(data.begin(), data.end(), bytes.begin()) &&
           std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(data.size()), bytes.end(),
                       [](uint8_t b) { return b == 0; });
}

// A DVD and a BD, the BD twice, onto a DVD recorder and two BD recorders:
// one read the BD and gets a blank in its place, the other gets a used
// BD-RE that the person agrees to erase.
TEST_F(CopyRunTest, ADvdAndABdOntoDvdAndBdRecordersOneErasedFirst) {
    const std::vector<uint8_t> dvd = LabelledData(600, "FILM", 21);
    const std::vector<uint8_t> bd = LabelledData(700, "BLU_RAY", 22);
    Wizard wizard(bays::Attended(BaySpec()
                                     .Top("appdata = appdata")
                                     .Iso("dvd", "DVD-ROM", dvd)
                                     .Iso("bd", "BD-ROM", bd)
                                     .Used("bdre", "BD-RE", 200)
                                     .Disc("bdr", "blank = BD-R")
                                     .Drive('D', "dvd-rom-reader", "dvd")
                                     .Drive('E', "bd-re-recorder", "bd")
                                     .Drive('F', "dvd-rw-dl-recorder")
                                     .Drive('G', "bd-re-recorder")
                                     .Blanks('F', "DVD-R")
                                     .TakeFinished()
                                     .Operator("finished = copies")));
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(wizard.WalkTo(2));
    ASSERT_TRUE(WaitFor([&] { return wizard.DriveRows().size() == 4; }, 20000));
    ASSERT_TRUE(MouseClick(wizard.DriveRows()[1]));
    PressKey(VK_RIGHT);  // two copies of the BD
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::vector<std::wstring> texts = wizard.DriveRowTexts();
            return texts[0].find(L"Destination: F: x1") != std::wstring::npos &&
                   texts[1].find(L"Destination: G: x1, E: x1") != std::wstring::npos;
        },
        10000))
        << Narrow(wizard.DriveRowTexts()[0]) << "\n"
        << Narrow(wizard.DriveRowTexts()[1]);
    RunToFinish(wizard, "dvd-bd-run", [&] {
        ASSERT_TRUE(wizard.Tray("load G bdre"));
        // E: still holds the BD it read: the person puts a blank in its place.
        ASSERT_TRUE(WaitFor(
            [&] { return PanelShows(wizard, L'E', L"The disc is not of a compatible type."); },
            60000))
            << Shown(wizard);
        ASSERT_TRUE(wizard.Tray("load E bdr"));
        ASSERT_TRUE(WaitFor(
            [&] { return PanelShows(wizard, L'G', L"The disc is not empty. Erase it?"); }, 60000))
            << Shown(wizard);
        // Yes, by the keys: the panels stand F, G, E; the links right to
        // left, Yes the leftmost.
        const auto focused = [&](HWND window) {
            return WaitFor([&] { return FocusOf(wizard.Frame()) == window; }, 5000);
        };
        ASSERT_TRUE(MouseClick(PanelOf(wizard, L'F')));
        ASSERT_TRUE(focused(PanelOf(wizard, L'F')));
        PressKey(VK_END);
        ASSERT_TRUE(focused(PanelOf(wizard, L'E')));
        PressKey(VK_HOME);
        ASSERT_TRUE(focused(PanelOf(wizard, L'F')));
        PressKey(VK_DOWN);
        ASSERT_TRUE(focused(PanelOf(wizard, L'G')));
        PressKey(VK_LEFT);
        ASSERT_TRUE(focused(LinkOf(PanelOf(wizard, L'G'), L"Yes")));
        PressKey(VK_RETURN);
    });

    const fs::path folder = fs::path(wizard.BayFile()).parent_path();
    EXPECT_TRUE(NoImageFiles(wizard));
    const std::map<std::string, fs::path> copies = Copies(folder / "copies");
    EXPECT_EQ(copies.size(), 3u);
    for (const auto& [name, path] : copies) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(HoldsData(path, name[0] == 'F' ? dvd : bd));
    }
    EXPECT_TRUE(wizard.Exit());
}

// The writer's questions and the person's answers, in one run: a blank of
// the wrong type (Skip Source answered No, Change Disc, the blank types
// asked for), a used rewritable put in instead (Show contents fails,
// erased on Yes), a copy whose writing fails for good (Skip copy), and
// another used disc erased for the second copy.
TEST_F(CopyRunTest, APersonAnswersTheWritersQuestions) {
    // Nobody but the test closes a tray or brings a disc, so that the
    // recorder's tray stays open while its writer waits for one.
    const BaySpec bay = BaySpec()
                            .Top("appdata = appdata")
                            .Iso("data", "CD-ROM", LabelledData(300, "ANSWERS", 3))
                            .Disc("dvdr", "blank = DVD-R")
                            .Used("usedrw", "CD-RW", 100)
                            .Drive('D', "dvd-rom-reader", "data")
                            .Drive('F', "dvd-rw-dl-recorder", "dvdr")
                            .With("fault = write-error 20 15")
                            .TakeFinished();
    Wizard wizard(bay);
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(wizard.Advance(1));
    ASSERT_TRUE(wizard.Tray("load D data"));
    ASSERT_TRUE(wizard.Tray("load F dvdr"));
    ASSERT_TRUE(wizard.WaitForStep(2, 20000));
    ASSERT_TRUE(WaitFor([&] { return wizard.DriveRows().size() == 2; }, 20000));
    ASSERT_TRUE(MouseClick(wizard.DriveRows()[0]));
    PressKey(VK_RIGHT);  // two copies
    ASSERT_TRUE(WaitFor(
        [&] { return wizard.DriveRowTexts()[0].find(L"Copies: 2") != std::wstring::npos; }, 5000));
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 10000));
    ASSERT_TRUE(Click(wizard.Control(kNext)));
    ASSERT_TRUE(wizard.WaitForStep(3));
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 60000));
    ASSERT_TRUE(Click(wizard.Control(kNext)));
    ASSERT_TRUE(wizard.WaitForStep(4));

    // The writer opened the tray for its copy: the person closes it on the
    // DVD-R.
    const auto shows = [&](const wchar_t* status) {
        return WaitFor([&] { return PanelShows(wizard, L'F', status); }, 30000);
    };
    ASSERT_TRUE(shows(L"Insert a compatible blank disc to write to.")) << Shown(wizard);
    ASSERT_TRUE(wizard.Tray("load F dvdr"));
    ASSERT_TRUE(shows(L"The disc is not of a compatible type.")) << Shown(wizard);
    EXPECT_TRUE(SaveScreenshot(wizard.Frame(), L"writing-question"));
    ASSERT_TRUE(ClickLink(wizard, L'F', L"Skip Source"));
    EXPECT_EQ(Answer(wizard, IDNO),
              L"Are you sure you want to skip writing the current source disc?");
    ASSERT_TRUE(ClickLink(wizard, L'F', L"Change Disc"));
    ASSERT_TRUE(shows(L"Insert a compatible blank disc to write to.")) << Shown(wizard);
    ASSERT_TRUE(ClickLink(wizard, L'F', L"Disc Types"));
    const std::wstring types = Answer(wizard, IDOK);
    EXPECT_EQ(types.substr(0, 41), L"The source disc is of type: CD-ROM\r\n\r\nTo ")
        << Narrow(types);
    EXPECT_NE(types.find(L"\r\nCD-R\r\nCD-RW"), std::wstring::npos) << Narrow(types);
    ASSERT_TRUE(wizard.Tray("load F usedrw"));
    ASSERT_TRUE(ClickLink(wizard, L'F', L"Show contents"));
    EXPECT_EQ(Answer(wizard, IDOK), L"Sorry, cannot show disc contents.");
    ASSERT_TRUE(ClickLink(wizard, L'F', L"Yes"));
    ASSERT_TRUE(ClickLink(wizard, L'F', L"Skip copy"));
    ASSERT_TRUE(shows(L"Insert a compatible blank disc to write to.")) << Shown(wizard);
    ASSERT_TRUE(wizard.Tray("load F usedrw"));
    ASSERT_TRUE(ClickLink(wizard, L'F', L"Yes"));
    EXPECT_TRUE(WaitFor(
        [&] {
            return ShowsText(wizard, 3702,
                             L"One or more writing operation was cancelled due to errors or "
                             L"user cancellation.");
        },
        120000))
        << Shown(wizard);
    // The writer stops before it shows its last status: the page's outcome
    // can come first.
    EXPECT_TRUE(shows(L"Terminated by user.")) << Shown(wizard);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 10000));
    ASSERT_TRUE(Click(wizard.Control(kNext)));
    ASSERT_TRUE(wizard.WaitForStep(5));
    EXPECT_TRUE(ShowsText(wizard, 3801, L"Unfortunately, not all your discs were copied."));
    EXPECT_FALSE(fs::exists(fs::path(wizard.BayFile()).parent_path() / "appdata" / "t4k" / "Temp"));
    EXPECT_TRUE(wizard.Exit());
}

// A data image of `megabytes` in the folder, labelled, zeros but for its
// head (a sparse file): a disc that takes a while to read or write at the
// drives' speeds. Written before the wizard starts, which loads it at once.
std::string WriteBigImage(const sim::testing::TempFolder& folder, uint32_t megabytes) {
    const fs::path path = folder / "big.iso";
    sim::testing::WriteFile(path, LabelledData(32, "BIG", 7));
    fs::resize_file(path, uint64_t{megabytes} << 20);
    return path.string();
}

// A reader that fails while the other still reads: the page says so at
// once and Next stays disabled; Back, confirmed, stops the other reader and
// no image file is left.
TEST_F(CopyRunTest, AFailingReaderIsShownAtOnceAndBackLeavesNoImage) {
    const sim::testing::TempFolder images;
    Wizard wizard(bays::Attended(BaySpec()
                                     .Top("appdata = appdata")
                                     .IsoFile("big", "CD-ROM", WriteBigImage(images, 60))
                                     .Iso("bad", "CD-ROM", LabelledData(100, "BAD", 8))
                                     .With("fault = read-error 10 15")
                                     .Drive('D', "dvd-rom-reader", "big")
                                     .With("timing = real")
                                     .Drive('E', "cd-rom-reader", "bad")
                                     .Drive('F', "cd-rw-recorder")));
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(wizard.WalkTo(2));
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 20000));
    ASSERT_TRUE(Click(wizard.Control(kNext)));
    ASSERT_TRUE(wizard.WaitForStep(3));
    ASSERT_TRUE(
        WaitFor([&] { return ShowsText(wizard, 3501, L"Error occurred while reading."); }, 30000))
        << Shown(wizard);
    // D: still spins up or reads: the failure was shown without waiting for it.
    EXPECT_TRUE(
        WaitFor([&] { return PanelShows(wizard, L'D', L"Reading track 1 of 1..."); }, 10000))
        << Shown(wizard);
    EXPECT_TRUE(
        ShowsText(wizard, 3502, L"Press the 'Back' button to go back and review your selection."));
    EXPECT_FALSE(IsWindowEnabled(wizard.Control(kNext)));
    EXPECT_TRUE(SaveScreenshot(wizard.Frame(), L"reading-midrun"));
    ASSERT_TRUE(Click(wizard.Control(kBack)));
    EXPECT_EQ(Answer(wizard, IDYES),
              L"Are you sure you want to cancel the copy process and go back?");
    ASSERT_TRUE(wizard.WaitForStep(2));
    EXPECT_TRUE(WaitFor([&] { return NoImageFiles(wizard); }, 10000));
    EXPECT_TRUE(wizard.Exit());
}

// While one recorder writes, the other's only source is skipped (Skip
// Source, Yes); then Exit, confirmed, stops the writer before the image
// files are deleted: none is left.
TEST_F(CopyRunTest, SkipSourceThenExitWhileWritingLeavesNoImage) {
    const sim::testing::TempFolder images;
    Wizard wizard(bays::Attended(BaySpec()
                                     .Top("appdata = appdata")
                                     .IsoFile("big", "CD-ROM", WriteBigImage(images, 80))
                                     .Disc("dvdr", "blank = DVD-R")
                                     .Drive('D', "dvd-rom-reader", "big")
                                     .Drive('F', "cd-rw-recorder")
                                     .With("timing = real")
                                     .Drive('G', "dvd-rw-dl-recorder", "dvdr")
                                     .Blanks('F', "CD-R")));
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(wizard.WalkTo(2));
    ASSERT_TRUE(WaitFor([&] { return wizard.DriveRows().size() == 3; }, 20000));
    ASSERT_TRUE(MouseClick(wizard.DriveRows()[0]));
    PressKey(VK_RIGHT);  // two copies: one on each recorder
    ASSERT_TRUE(WaitFor(
        [&] { return wizard.DriveRowTexts()[0].find(L"G: x1, F: x1") != std::wstring::npos; },
        10000));
    ASSERT_TRUE(Click(wizard.Control(kNext)));
    ASSERT_TRUE(wizard.WaitForStep(3));
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 60000));
    ASSERT_TRUE(Click(wizard.Control(kNext)));
    ASSERT_TRUE(wizard.WaitForStep(4));
    ASSERT_TRUE(WaitFor(
        [&] { return PanelShows(wizard, L'G', L"The disc is not of a compatible type."); }, 30000))
        << Shown(wizard);
    ASSERT_TRUE(ClickLink(wizard, L'G', L"Skip Source"));
    EXPECT_EQ(Answer(wizard, IDYES),
              L"Are you sure you want to skip writing the current source disc?");
    EXPECT_TRUE(WaitFor(
        [&] {
            return ShowsText(wizard, 3702,
                             L"One or more writing operation was cancelled due to errors or "
                             L"user cancellation.") &&
                   PanelShows(wizard, L'F', L"Writing track 1 of 1...");
        },
        30000))
        << Shown(wizard);
    EXPECT_TRUE(SaveScreenshot(wizard.Frame(), L"writing-midrun"));
    ASSERT_TRUE(Click(wizard.Control(kExit)));
    EXPECT_EQ(Answer(wizard, IDYES), L"Are you sure you want to cancel the copy process and exit?");
    DWORD code = 1;
    EXPECT_TRUE(wizard.Process().WaitForExit(30000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(NoImageFiles(wizard));
}

// The image files of the run, held open by the test without sharing, so
// that the writers cannot open them; closed again when it ends.
class HeldImages {
  public:
    explicit HeldImages(const Wizard& wizard) {
        const fs::path folder =
            fs::path(wizard.BayFile()).parent_path() / "appdata" / "t4k" / "Temp";
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
            if (!entry.is_regular_file())
                continue;
            HANDLE file = CreateFileW(entry.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      0, nullptr);
            if (file != INVALID_HANDLE_VALUE)
                files_.push_back(file);
        }
    }
    ~HeldImages() { Release(); }
    size_t Count() const { return files_.size(); }
    void Release() {
        for (HANDLE file : files_)
            CloseHandle(file);
        files_.clear();
    }

  private:
    std::vector<HANDLE> files_;
};

// Image files that cannot be opened: each recorder says so and offers Show
// File and Retry. F: shows the file, then retries once it can be opened
// and writes its copy; G:'s message box is still up when the person
// exits, and the program ends all the same, with no image left.
TEST_F(CopyRunTest, AnImageThatCannotBeOpenedIsShownRetriedAndLeftByExit) {
    Wizard wizard(bays::Attended(BaySpec()
                                     .Top("appdata = appdata")
                                     .Iso("data", "CD-ROM", LabelledData(100, "HELD", 4))
                                     .Disc("cdr", "blank = CD-R")
                                     .Drive('D', "cd-rom-reader", "data")
                                     .Drive('F', "cd-rw-recorder")
                                     .Drive('G', "cd-rw-recorder")));
    ASSERT_TRUE(wizard.WaitForFrame());
    ASSERT_TRUE(wizard.WalkTo(2));
    ASSERT_TRUE(WaitFor([&] { return wizard.DriveRows().size() == 3; }, 20000));
    ASSERT_TRUE(MouseClick(wizard.DriveRows()[0]));
    PressKey(VK_RIGHT);  // one copy on each recorder
    ASSERT_TRUE(WaitFor(
        [&] { return wizard.DriveRowTexts()[0].find(L"G: x1, F: x1") != std::wstring::npos; },
        10000));
    ASSERT_TRUE(Click(wizard.Control(kNext)));
    ASSERT_TRUE(wizard.WaitForStep(3));
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 60000));
    ASSERT_TRUE(Click(wizard.Control(kNext)));
    ASSERT_TRUE(wizard.WaitForStep(4));
    // The images are measured before the writers ask for blanks, and held
    // before the blanks come.
    for (wchar_t letter : {L'F', L'G'})
        ASSERT_TRUE(WaitFor(
            [&] {
                return PanelShows(wizard, letter, L"Insert a compatible blank disc to write to.");
            },
            30000))
            << Shown(wizard);
    HeldImages held(wizard);
    ASSERT_GT(held.Count(), 0u);
    ASSERT_TRUE(wizard.Tray("load F cdr"));
    ASSERT_TRUE(wizard.Tray("load G cdr"));
    for (wchar_t letter : {L'F', L'G'})
        ASSERT_TRUE(WaitFor(
            [&] { return PanelShows(wizard, letter, L"Error: cannot open source's image file."); },
            30000))
            << Shown(wizard);
    ASSERT_TRUE(ClickLink(wizard, L'F', L"Show File"));
    const std::wstring shown = Answer(wizard, IDOK);
    EXPECT_EQ(shown.substr(0, 23), L"Cannot open the file:\r\n") << Narrow(shown);
    EXPECT_NE(shown.find(L"Temp"), std::wstring::npos) << Narrow(shown);
    held.Release();
    ASSERT_TRUE(ClickLink(wizard, L'F', L"Retry"));
    EXPECT_TRUE(WaitFor([&] { return PanelShows(wizard, L'F', L"Finished sucessfully."); }, 60000))
        << Shown(wizard);
    ASSERT_TRUE(ClickLink(wizard, L'G', L"Show File"));
    ASSERT_TRUE(WaitForDialog(wizard.Process().Id(), kProductName, nullptr, 10000));
    // The box disables the frame; the taskbar's Close still reaches it.
    ASSERT_TRUE(PostMessageW(wizard.Frame(), WM_CLOSE, 0, 0));
    EXPECT_TRUE(AnswerQuestion(
        wizard, L"Are you sure you want to cancel the copy process and exit?", IDYES));
    DWORD code = 1;
    EXPECT_TRUE(wizard.Process().WaitForExit(30000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(NoImageFiles(wizard));
}

}  // namespace
}  // namespace vestrel::gui
