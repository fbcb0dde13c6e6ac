// Whole copy runs in the wizard, driven like a person from the first page
// to the last: sources read at once, every recorder writing at once, the
// person at the trays played by the bay's operator. Every copy the operator
// takes out is kept as image files and compared with its source.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

// The progress panels of the page shown, top to bottom, as their texts.
std::vector<std::wstring> PanelTexts(const Wizard& wizard) {
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
    std::vector<std::wstring> texts;
    for (HWND panel : panels)
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

class CopyRunTest : public ::testing::Test {
  protected:
    // From the select page through reading and writing to Finish, pressing
    // Next as each page allows it; screenshots of the finished pages.
    void RunToFinish(Wizard& wizard, const char* name) {
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
        EXPECT_TRUE(WaitFor(
            [&] { return ShowsText(wizard, 3702, L"Writing finished successfully."); }, 180000))
            << Shown(wizard);
        EXPECT_TRUE(SaveScreenshot(wizard.Frame(), Widen(name) + L"-written"));
        ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(wizard.Control(kNext)); }, 10000));
        ASSERT_TRUE(Click(wizard.Control(kNext)));
        ASSERT_TRUE(wizard.WaitForStep(5));
        EXPECT_TRUE(
            ShowsText(wizard, 3801, L"Congratulations! All your discs were copied successfully."));
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

}  // namespace
}  // namespace vestrel::gui
