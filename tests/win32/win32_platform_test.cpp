// The Windows back end, run under Wine or Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include "drive/clock.h"
#include "drive/drive_letters.h"
#include "drive/mmc_commands.h"
#include "drive/scsi_text.h"
#include "drive/system_error.h"
#include "drive/text.h"

namespace vestrel {
namespace {

// A letter with no volume behind it on this machine.
char16_t UnusedLetter() {
    DWORD used = GetLogicalDrives();
    for (int i = 25; i >= 3; --i) {
        if (!(used & (1u << i)))
            return static_cast<char16_t>(u'A' + i);
    }
    return 0;
}

TEST(Win32Transport, ALetterWithNoDriveIsStatus24) {
    char16_t letter = UnusedLetter();
    ASSERT_NE(letter, 0);
    ScsiResult r = SendTestUnitReady(letter);
    EXPECT_EQ(r.status, StatusOpenFailed);
    EXPECT_EQ(r.osError, 0u);
    EXPECT_EQ(ScsiStatusName(r.status), u"Reservation Conflict");
    EXPECT_FALSE(AllowMediumRemoval(letter));
    EjectMedium(letter);
}

TEST(Win32Transport, AFileThatIsNoDriveFailsTheRequest) {
    // "C:" opens (it is a volume under Wine and Windows alike) but is no
    // SCSI device: either the open or the pass-through request fails, and
    // the failure is never reported as a good status.
    std::vector<uint8_t> reply(96);
    ScsiResult r = SendInquiry(u'C', reply);
    EXPECT_TRUE(r.status == StatusIoControlFailed || r.status == StatusOpenFailed ||
                r.status == StatusCheckCondition)
        << r.status;
    if (r.status == StatusIoControlFailed) {
        EXPECT_NE(r.osError, 0u);
    }
}

TEST(Win32System, ErrorTextsComeFromTheSystemWithTheirLineEnd) {
    std::u16string text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
    EXPECT_EQ(InvalidParameterError(), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
    std::u16string details =
        FormatProbeDetails(ProbeFailureKind::IoControlError, 0x46, 2, 255, 0, 0, 0);
    EXPECT_EQ(details,
              u"Error occurred in function DeviceIoControl() while executing command: "
              u"Get Configuration.\r\n\r\nError code: (2) " +
                  text);
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 7) {
        ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Win32Clock, WaitingDispatchesTheThreadsMessages) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VestrelClockTest";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(L"VestrelClockTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    int received = 0;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));
    PostMessageW(window, WM_APP + 7, 0, 0);
    PostMessageW(window, WM_APP + 7, 0, 0);

    Clock& clock = PlatformClock();
    uint32_t start = clock.TickCount();
    clock.WaitDispatchingMessages(120);
    uint32_t elapsed = clock.TickCount() - start;
    EXPECT_EQ(received, 2);
    EXPECT_GE(elapsed, 100u);  // the tick count's granularity is coarse
    DestroyWindow(window);
}

}  // namespace
}  // namespace vestrel

namespace vestrel {
namespace {

TEST(Win32DriveLetters, TheSystemDriveIsFixedAndHasRoom) {
    DriveLetterServices& s = PlatformDriveLetters();
    EXPECT_TRUE(s.LogicalDrives() & (1u << 2));
    EXPECT_EQ(s.DriveType(u'C'), DriveKind::Fixed);
    uint64_t free = 0;
    EXPECT_TRUE(s.FreeSpace(u"C:\\", free));
    EXPECT_GT(free, 0u);
    char16_t unused = UnusedLetter();
    EXPECT_EQ(s.DriveType(unused), DriveKind::NoRootDir);
    std::u16string label = u"stale";
    EXPECT_FALSE(s.VolumeLabel(unused, label));
    EXPECT_TRUE(label.empty());
}

TEST(Win32DriveLetters, AppDataFolderIsAnAbsolutePathWithoutTrailingSeparator) {
    std::u16string folder = PlatformDriveLetters().AppDataFolder();
    ASSERT_GE(folder.size(), 4u);
    EXPECT_EQ(folder.substr(1, 2), u":\\");
    EXPECT_NE(folder.back(), u'\\');
    DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(folder.c_str()));
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace vestrel
