// The installer and uninstaller under Wine, worked from outside as a
// person would: the package folder, the dialog, its questions, and what
// ends up on the disc, in the registry and in the shortcuts.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "installer/ansi_path.h"
#include "tests/gui/gui_test_support.h"

namespace vestrel::gui {
namespace {

constexpr wchar_t kCaption[] = L"t4k Vestrel\u2122 Installer";
constexpr wchar_t kEntry[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{054E41D7-BA28-4DDb-A0FC-50DE46251425}";
constexpr wchar_t kRoot[] = L"C:\\inst-test";
constexpr wchar_t kPackage[] = L"C:\\inst-test\\package";
constexpr wchar_t kWizardFrameClass[] = L"dlg0_{82DE65E8-B047-4647-8A07-1742A98109F1}";
constexpr wchar_t kWizardInstance[] = L"t4k Vestrel\u2122";
constexpr wchar_t kWizardRunning[] =
    L"t4k Vestrel\u2122 is running.\n\nPlease close it and click Retry, or click Cancel to stop "
    L"the installation.";
constexpr int kWizardExit = 3004;
constexpr int kFolderBox = 1000, kStartMenuBox = 1001, kDesktopBox = 1002, kQuickLaunchBox = 1003,
              kInstallText = 1004;
constexpr DWORD kInstallMs = 30000;

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    return folder + L"\\" + name;
}

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}

std::wstring DefaultFolder() {
    return SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\t4ksoft.net\\Utilities\\t4k_Vestrel";
}

struct Shortcuts {
    std::wstring desktop, quickLaunch, startMenu;
};

Shortcuts ShortcutPaths() {
    return {SpecialFolder(CSIDL_DESKTOP) + L"\\t4k Vestrel.lnk",
            SpecialFolder(CSIDL_APPDATA) +
                L"\\Microsoft\\Internet Explorer\\Quick Launch\\t4k Vestrel.lnk",
            SpecialFolder(CSIDL_PROGRAMS) + L"\\t4ksoft.net\\t4k Vestrel.lnk"};
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD Attributes(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

void WriteFileText(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Join(path, L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = Join(path, name);
            // Links are the business of the test that made them (Wine would
            // go through them).
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

// The target a shortcut file points at, read back through IShellLinkW.
std::wstring ShortcutTarget(const std::wstring& path) {
    std::wstring target;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return L"(no shell link object)";
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        PIDLIST_ABSOLUTE item = nullptr;
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) && SUCCEEDED(link->GetIDList(&item))) {
            wchar_t buffer[MAX_PATH] = {};
            if (SHGetPathFromIDListW(item, buffer))
                target = buffer;
            CoTaskMemFree(item);
        }
        file->Release();
    }
    link->Release();
    return target;
}

bool KeyExists(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

DWORD EntryNumber(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kEntry, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return value;
}

std::wstring EntryValue(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kEntry, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return L"(missing)";
    return value;
}

void SetEntry(const std::wstring& command, DWORD type = REG_SZ) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kEntry, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"UninstallString", 0, type, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// The message box of the process whose text holds the words (the dialog
// itself has the same caption, and no such text).
HWND WaitForBox(DWORD processId, const std::wstring& words, DWORD timeoutMs = 20000) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND box : TopWindows(processId, L"#32770", kCaption)) {
                if (GetDlgItem(box, kInstallText))
                    continue;
                if (ReadMessageBox(box).text.find(words) != std::wstring::npos) {
                    found = box;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

// The process that started the given one, and a process's file name.
PROCESSENTRY32W ProcessEntry(DWORD processId) {
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == processId)
            break;
    }
    CloseHandle(snapshot);
    return entry.th32ProcessID == processId ? entry : PROCESSENTRY32W{};
}

// Waits for a running wizard's frame, ends the wizard with Exit, and gives
// the id of the process that started it.
DWORD CloseWizard() {
    HWND wizard = nullptr;
    if (!WaitFor([&] { return (wizard = FindWindowW(kWizardFrameClass, nullptr)) != nullptr; },
                 15000))
        return 0;
    DWORD wizardProcess = 0;
    GetWindowThreadProcessId(wizard, &wizardProcess);
    const DWORD parent = ProcessEntry(wizardProcess).th32ParentProcessID;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, wizardProcess);
    PostMessageW(wizard, WM_COMMAND, kWizardExit, 0);
    if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
    return parent;
}

// What the update check of an installed wizard leaves behind.
std::wstring UpdateWorkingFolder() {
    return SpecialFolder(CSIDL_APPDATA) + L"\\t4k_{82DE65E8-B047-4647-8A07-1742A98109F1}";
}

class InstallerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { CoInitialize(nullptr); }

    void SetUp() override {
        Clean();
        CreateDirectoryW(kRoot, nullptr);
        CreateDirectoryW(kPackage, nullptr);
        for (const auto& [from, to] :
             {std::pair{L"..\\installer\\t4kInstaller.exe", L"t4kInstaller.exe"},
              std::pair{L"..\\wizard\\t4kVestrel.exe", L"t4kVestrel.exe"}})
            ASSERT_TRUE(CopyFileW(BuildProgram(from).c_str(), Join(kPackage, to).c_str(), FALSE))
                << "build the installer and the wizard first";
        CreateDirectoryW(Join(kPackage, L"extras").c_str(), nullptr);
        WriteFileText(Join(kPackage, L"extras\\notes.txt"), "notes");
        WriteFileText(Join(kPackage, L"readonly.txt"), "read only");
        SetFileAttributesW(Join(kPackage, L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    }

    void TearDown() override { Clean(); }

    static void Clean() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kEntry);
        const Shortcuts links = ShortcutPaths();
        for (const std::wstring& link : {links.desktop, links.quickLaunch, links.startMenu})
            DeleteFileW(link.c_str());
        RemoveTree(SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\t4ksoft.net");
        RemoveTree(SpecialFolder(CSIDL_PROGRAMS) + L"\\t4ksoft.net");
        RemoveTree(UpdateWorkingFolder());
        RemoveTree(kRoot);
    }

    // Starts the installer and waits for its dialog.
    HWND StartDialog(Program& installer) {
        EXPECT_TRUE(installer.Started())
            << std::string(installer.Error().begin(), installer.Error().end());
        HWND dialog = nullptr;
        WaitFor(
            [&] {
                for (HWND w : TopWindows(installer.Id(), L"#32770", kCaption)) {
                    if (GetDlgItem(w, kInstallText))
                        dialog = w;
                }
                return dialog != nullptr;
            },
            15000);
        return dialog;
    }

    // Starts the package's installer and proceeds into `folder`.
    HWND ProceedInto(Program& installer, const std::wstring& folder) {
        HWND dialog = StartDialog(installer);
        if (!dialog)
            return nullptr;
        SetWindowTextW(GetDlgItem(dialog, kFolderBox), folder.c_str());
        return Click(GetDlgItem(dialog, IDOK)) ? dialog : nullptr;
    }

    // Waits for the program's end and checks its exit code.
    static void ExpectExit(Program& program, DWORD timeoutMs, DWORD expected) {
        DWORD code = expected + 1;
        ASSERT_TRUE(program.WaitForExit(timeoutMs, &code));
        EXPECT_EQ(code, expected);
    }

    // Runs package_'s installer into the folder with the shortcut boxes as
    // given, answers the last question, and waits for the end; gives the
    // installer's process id.
    DWORD Install(const std::wstring& folder, bool startMenu, bool desktop, bool quickLaunch,
                  bool startWizard, const wchar_t* shots = nullptr) {
        Program installer(Join(package_, L"t4kInstaller.exe"));
        InstallWith(installer, folder, startMenu, desktop, quickLaunch, startWizard, shots);
        return installer.Id();
    }

    void InstallWith(Program& installer, const std::wstring& folder, bool startMenu, bool desktop,
                     bool quickLaunch, bool startWizard, const wchar_t* shots) {
        HWND dialog = StartDialog(installer);
        ASSERT_TRUE(dialog);
        if (!folder.empty())
            SetWindowTextW(GetDlgItem(dialog, kFolderBox), folder.c_str());
        const std::pair<int, bool> boxes[] = {
            {kStartMenuBox, startMenu}, {kDesktopBox, desktop}, {kQuickLaunchBox, quickLaunch}};
        for (const auto& [id, wanted] : boxes) {
            HWND box = GetDlgItem(dialog, id);
            if ((SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) != wanted) {
                ASSERT_TRUE(Click(box));
            }
            ASSERT_TRUE(WaitFor(
                [&] { return (SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) == wanted; },
                5000));
        }
        if (shots) {
            EXPECT_TRUE(SaveScreenshot(dialog, std::wstring(shots) + L"-idle"));
        }
        ASSERT_TRUE(Click(GetDlgItem(dialog, IDOK)));
        if (shots) {
            ASSERT_TRUE(
                WaitFor([&] { return !IsWindowVisible(GetDlgItem(dialog, kFolderBox)); }, 5000));
            EXPECT_TRUE(SaveScreenshot(dialog, std::wstring(shots) + L"-installing"));
        }
        FinishInstall(installer, startWizard);
    }

    // Answers the success question and waits for the installer's end.
    static void FinishInstall(Program& installer, bool startWizard) {
        HWND done = WaitForBox(installer.Id(), L"Installation successfull. Start application now?",
                               kInstallMs);
        ASSERT_TRUE(done);
        EXPECT_EQ(MessageBoxIcon(done),
                  static_cast<int>(reinterpret_cast<UINT_PTR>(IDI_INFORMATION)));
        ASSERT_TRUE(AnswerMessageBox(done, startWizard ? IDYES : IDNO));
        ExpectExit(installer, 5000, 0);
    }

    // Starts the installed copy, which asks the uninstall question.
    void Uninstall(const std::wstring& folder, bool yes) {
        Program uninstaller(Join(folder, L"t4kInstaller.exe"));
        ASSERT_TRUE(uninstaller.Started());
        HWND question = WaitForBox(uninstaller.Id(), L"Uninstall t4k Vestrel\u2122?");
        ASSERT_TRUE(question);
        EXPECT_EQ(MessageBoxIcon(question),
                  static_cast<int>(reinterpret_cast<UINT_PTR>(IDI_QUESTION)));
        ASSERT_TRUE(AnswerMessageBox(question, yes ? IDYES : IDNO));
        ExpectExit(uninstaller, 10000, 0);
    }

    static void ExpectInstalled(const std::wstring& folder, bool withEntry = true) {
        for (const wchar_t* file : {L"t4kVestrel.exe", L"t4kInstaller.exe", L"extras\\notes.txt",
                                    L"readonly.txt", L"InstallList.txt"})
            EXPECT_TRUE(Exists(Join(folder, file))) << std::string(file, file + wcslen(file));
        // Normal attributes (Wine shows them as "archive").
        for (const wchar_t* file : {L"readonly.txt", L"extras\\notes.txt"})
            EXPECT_EQ(Attributes(Join(folder, file)) &
                          (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                      0u);
        if (withEntry) {
            EXPECT_EQ(EntryValue(L"UninstallString"), Join(folder, L"t4kInstaller.exe"));
        }
    }

    // The batch file runs hidden after the uninstaller has ended.
    static bool WaitUntilRemoved(const std::wstring& folder) {
        return WaitFor(
            [&] {
                for (const wchar_t* file :
                     {L"t4kVestrel.exe", L"t4kInstaller.exe", L"extras\\notes.txt", L"readonly.txt",
                      L"InstallList.txt", L"DeleteEverything.bat", L"extras"})
                    if (Exists(Join(folder, file)))
                        return false;
                return true;
            },
            60000);
    }

    std::wstring package_ = kPackage;
};

TEST_F(InstallerTest, DefaultFolderWithEveryShortcutThenUninstallNoAndYes) {
    Install(L"", true, true, true, false, L"installer");
    const std::wstring folder = DefaultFolder();
    ExpectInstalled(folder);
    EXPECT_EQ(EntryValue(L"Contact"), L"t4ksoft.net");
    EXPECT_EQ(EntryValue(L"Publisher"), L"t4ksoft.net");
    EXPECT_EQ(EntryValue(L"DisplayName"), L"t4k Vestrel; t4ksoft.net");
    EXPECT_EQ(EntryValue(L"DisplayVersion"), L"0.75.0.21");
    EXPECT_EQ(EntryValue(L"DisplayIcon"), Join(folder, L"t4kVestrel.exe"));
    EXPECT_EQ(EntryValue(L"InstallLocation"), folder);
    EXPECT_EQ(EntryNumber(L"NoModify"), 1u);
    EXPECT_EQ(EntryNumber(L"NoRepair"), 1u);
    // Both programs, in KB, rounded up.
    WIN32_FILE_ATTRIBUTE_DATA wizard{}, installer{};
    GetFileAttributesExW(Join(folder, L"t4kVestrel.exe").c_str(), GetFileExInfoStandard, &wizard);
    GetFileAttributesExW(Join(folder, L"t4kInstaller.exe").c_str(), GetFileExInfoStandard,
                         &installer);
    EXPECT_EQ(EntryNumber(L"EstimatedSize"),
              (wizard.nFileSizeLow + installer.nFileSizeLow + 9 + 5 + 1023) / 1024);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
    const Shortcuts links = ShortcutPaths();
    for (const std::wstring& link : {links.desktop, links.quickLaunch, links.startMenu})
        EXPECT_EQ(ShortcutTarget(link), Join(folder, L"t4kVestrel.exe"));

    // A file of the user's own in the install folder.
    WriteFileText(Join(folder, L"mine.txt"), "mine");
    Uninstall(folder, false);
    ExpectInstalled(folder);
    EXPECT_TRUE(Exists(links.desktop));

    // A subkey below the entry, and the update check's working files.
    HKEY subkey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kEntry) + L"\\Sub\\Deeper").c_str(),
                              0, nullptr, 0, KEY_WRITE, nullptr, &subkey, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(subkey);
    const std::wstring working = UpdateWorkingFolder();
    CreateDirectoryW(working.c_str(), nullptr);
    for (const wchar_t* file :
         {L"_checkupdate.orignal.expected-ISO-8851.txt", L"_checkupdate.chilkatconv.utf-16.txt",
          L"_checkupdate.chilkatconv.us-ascii.txt"})
        WriteFileText(Join(working, file), "page");

    Uninstall(folder, true);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
    for (const std::wstring& link : {links.desktop, links.quickLaunch, links.startMenu})
        EXPECT_FALSE(Exists(link));
    EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAMS) + L"\\t4ksoft.net"));
    EXPECT_FALSE(Exists(working));
    EXPECT_TRUE(WaitUntilRemoved(folder));
    // The user's file keeps the install folder and the publisher's folders.
    EXPECT_TRUE(Exists(Join(folder, L"mine.txt")));
}

TEST_F(InstallerTest, ChosenFolderStartsTheWizardAndItsOddNameIsEmptiedByTheBatchFile) {
    // "%" must reach cmd doubled; "ł" has no ANSI byte and would best-fit
    // to "l": the folder beside it must survive.
    const std::wstring chosen = std::wstring(kRoot) + L"\\Chosen 100% \u0142";
    const std::wstring lookalike = std::wstring(kRoot) + L"\\Chosen 100% l";
    CreateDirectoryW(lookalike.c_str(), nullptr);
    WriteFileText(Join(lookalike, L"t4kVestrel.exe"), "not ours");
    Install(chosen, true, false, false, true);
    ExpectInstalled(chosen);
    const Shortcuts links = ShortcutPaths();
    EXPECT_EQ(ShortcutTarget(links.startMenu), Join(chosen, L"t4kVestrel.exe"));
    EXPECT_FALSE(Exists(links.desktop));
    EXPECT_FALSE(Exists(links.quickLaunch));

    // The wizard it started through the desktop's shell, with the user's rights.
    EXPECT_EQ(std::wstring(ProcessEntry(CloseWizard()).szExeFile), L"explorer.exe");

    Uninstall(chosen, true);
    EXPECT_TRUE(WaitUntilRemoved(chosen));
    EXPECT_TRUE(Exists(Join(lookalike, L"t4kVestrel.exe")));
}

TEST_F(InstallerTest, AnEntryForAnotherBuildOrWithoutAWizardOrUncheckedOpensTheDialog) {
    const std::wstring other = std::wstring(kRoot) + L"\\other";
    CreateDirectoryW(other.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(BuildProgram(L"other_build_wizard.exe").c_str(),
                          Join(other, L"t4kVestrel.exe").c_str(), FALSE));
    const std::wstring missing = std::wstring(kRoot) + L"\\missing";
    const std::wstring paired = kPackage;  // a wizard of build 21
    const struct {
        std::wstring command;
        DWORD type;
    } entries[] = {
        {Join(other, L"t4kInstaller.exe"), REG_SZ},
        {Join(missing, L"t4kInstaller.exe"), REG_SZ},
        {Join(paired, L"t4kInstaller.exe"), REG_EXPAND_SZ},  // not a plain string
        {L"", REG_SZ},
    };
    for (const auto& entry : entries) {
        SetEntry(entry.command, entry.type);
        Program installer(Join(kPackage, L"t4kInstaller.exe"));
        HWND dialog = StartDialog(installer);
        ASSERT_TRUE(dialog) << std::string(entry.command.begin(), entry.command.end());
        EXPECT_FALSE(WaitForBox(installer.Id(), L"Uninstall", 0));
        ASSERT_TRUE(Click(GetDlgItem(dialog, IDCANCEL)));
        ASSERT_TRUE(installer.WaitForExit(5000));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kEntry));  // Cancel while idle touches nothing
    }
}

TEST_F(InstallerTest, WithoutTheWizardBesideItTheInstallerSaysSoAndEnds) {
    const std::wstring alone = std::wstring(kRoot) + L"\\alone";
    CreateDirectoryW(alone.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(Join(kPackage, L"t4kInstaller.exe").c_str(),
                          Join(alone, L"t4kInstaller.exe").c_str(), FALSE));
    Program installer(Join(alone, L"t4kInstaller.exe"));
    HWND box = WaitForBox(installer.Id(), L"t4kVestrel.exe was not found");
    ASSERT_TRUE(box);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ExpectExit(installer, 5000, 1);
}

TEST_F(InstallerTest, ProceedRefusesARootASystemOrProfileFolderAndARelativeOne) {
    const std::wstring notFull =
        L"Please enter the install folder as a full path, for example C:\\Programs\\t4k Vestrel.";
    const std::wstring root =
        L"The install folder cannot be the root of a drive or network share. Please choose a "
        L"folder inside it.";
    const std::wstring system =
        L"The install folder cannot be a Windows or user profile folder, nor a folder that holds "
        L"one. Please choose another folder.";
    const struct {
        std::wstring folder;
        const std::wstring& message;
        const wchar_t* shot;
    } cases[] = {
        {L"t4k Vestrel", notFull, L"installer-refused-relative"},
        {L"  ", notFull, nullptr},
        {L"C:\\", root, L"installer-refused-root"},
        {SpecialFolder(CSIDL_WINDOWS), system, L"installer-refused-system"},
        {SpecialFolder(CSIDL_PROFILE), system, nullptr},
        {SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\", system, nullptr},
        {SpecialFolder(CSIDL_PROGRAM_FILES), system, nullptr},
        {L"c:\\USERS", system, nullptr},  // holds the profiles
    };
    Program installer(Join(kPackage, L"t4kInstaller.exe"));
    HWND dialog = StartDialog(installer);
    ASSERT_TRUE(dialog);
    const HWND folderBox = GetDlgItem(dialog, kFolderBox);
    for (const auto& c : cases) {
        const std::string folder(c.folder.begin(), c.folder.end());
        SetWindowTextW(folderBox, c.folder.c_str());
        ASSERT_TRUE(Click(GetDlgItem(dialog, IDOK))) << folder;
        HWND box = WaitForBox(installer.Id(), c.message.substr(0, 20));
        ASSERT_TRUE(box) << folder;
        EXPECT_EQ(ReadMessageBox(box).text, c.message) << folder;
        EXPECT_EQ(ReadMessageBox(box).buttons, std::vector<int>{IDOK});
        EXPECT_EQ(MessageBoxIcon(box), static_cast<int>(reinterpret_cast<UINT_PTR>(IDI_WARNING)));
        if (c.shot) {
            EXPECT_TRUE(SaveScreenshot(box, c.shot));
        }
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        // Still choosing: nothing is locked or hidden.
        EXPECT_TRUE(IsWindowVisible(folderBox) && IsWindowEnabled(folderBox)) << folder;
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDOK))) << folder;
        EXPECT_EQ(Text(folderBox), c.folder);
    }
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDCANCEL)));
    ExpectExit(installer, 5000, 0);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
    EXPECT_FALSE(Exists(L"C:\\InstallList.txt"));
    EXPECT_FALSE(Exists(L"t4k Vestrel"));  // in the folder it inherited from this process
}

TEST_F(InstallerTest, TheFolderBoxTakesNoTypingPastItsLimit) {
    // The longest path built from it, the folder and "\\DeleteEverything.bat",
    // stays below MAX_PATH.
    constexpr size_t kLimit = MAX_PATH - 2 - 20;
    Program installer(Join(kPackage, L"t4kInstaller.exe"));
    HWND dialog = StartDialog(installer);
    ASSERT_TRUE(dialog);
    const HWND folderBox = GetDlgItem(dialog, kFolderBox);
    const std::wstring start = L"C:\\" + std::wstring(kLimit - 5, L'v');
    SetWindowTextW(folderBox, start.c_str());
    SendMessageW(folderBox, EM_SETSEL, start.size(), start.size());
    for (wchar_t typed : std::wstring(L"\\wxyz"))
        SendMessageW(folderBox, WM_CHAR, typed, 0);
    EXPECT_EQ(Text(folderBox), start + L"\\w");
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDCANCEL)));
    ExpectExit(installer, 5000, 0);
}

// A package file that no one may read: its copy fails.
class LockedFile {
  public:
    explicit LockedFile(const std::wstring& path) {
        WriteFileText(path, "locked");
        handle_ = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~LockedFile() { CloseHandle(handle_); }
    bool Locked() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

TEST_F(InstallerTest, CancelDuringCopyingRollsBack) {
    // An entry and a shortcut from before, which the roll-back takes away.
    const std::wstring folder = std::wstring(kRoot) + L"\\cancelled";
    SetEntry(L"");
    const Shortcuts links = ShortcutPaths();
    WriteFileText(links.desktop, "an old shortcut");
    LockedFile locked(Join(kPackage, L"locked.bin"));
    ASSERT_TRUE(locked.Locked());
    Program installer(Join(kPackage, L"t4kInstaller.exe"));
    HWND dialog = ProceedInto(installer, folder);
    ASSERT_TRUE(dialog);
    // The list is written just before the first copy.
    ASSERT_TRUE(WaitFor([&] { return Exists(Join(folder, L"InstallList.txt")); }, kInstallMs));
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDCANCEL)));
    ExpectExit(installer, 10000, 0);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
    for (const std::wstring& link : {links.desktop, links.quickLaunch, links.startMenu})
        EXPECT_FALSE(Exists(link));
    // Nothing was installed before, so there is nothing to empty.
    EXPECT_FALSE(Exists(Join(folder, L"DeleteEverything.bat")));
}

TEST_F(InstallerTest, AFolderThatCannotBeCreatedRetryThenCancel) {
    WriteFileText(std::wstring(kRoot) + L"\\a file", "x");
    Program installer(Join(kPackage, L"t4kInstaller.exe"));
    HWND dialog = ProceedInto(installer, std::wstring(kRoot) + L"\\a file\\sub");
    ASSERT_TRUE(dialog);
    for (int answer : {IDRETRY, IDCANCEL}) {
        HWND box = WaitForBox(installer.Id(), L"Failed to create directory.", kInstallMs);
        ASSERT_TRUE(box);
        EXPECT_EQ(ReadMessageBox(box).text,
                  L"An error occurred during installation:\n\nFailed to create directory.");
        EXPECT_EQ(ReadMessageBox(box).buttons, (std::vector<int>{IDCANCEL, IDRETRY}));
        ASSERT_TRUE(AnswerMessageBox(box, answer));
    }
    ASSERT_TRUE(installer.WaitForExit(5000));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
}

TEST_F(InstallerTest, ACopyThatFailsRetryThenNo) {
    const std::wstring folder = std::wstring(kRoot) + L"\\failed";
    CreateDirectoryW(folder.c_str(), nullptr);
    // A package file that cannot be read, and an older installed file that
    // cannot be replaced: neither installation succeeds.
    for (const std::wstring& lockedPath :
         {Join(kPackage, L"locked.bin"), Join(folder, L"readonly.txt")}) {
        LockedFile locked(lockedPath);
        ASSERT_TRUE(locked.Locked());
        Program installer(Join(kPackage, L"t4kInstaller.exe"));
        HWND dialog = ProceedInto(installer, folder);
        ASSERT_TRUE(dialog);
        const std::wstring target = Join(folder, lockedPath.substr(lockedPath.rfind(L'\\') + 1));
        const std::wstring question = L"Failed to copy file; target:\n\n" + target + L"\n\nRetry?";
        for (int answer : {IDYES, IDNO}) {
            HWND box = WaitForBox(installer.Id(), L"Failed to copy file", kInstallMs);
            ASSERT_TRUE(box);
            EXPECT_EQ(ReadMessageBox(box).text, question);
            ASSERT_TRUE(AnswerMessageBox(box, answer));
        }
        HWND outcome = WaitForBox(installer.Id(), L"Failed to copy or create a file.");
        ASSERT_TRUE(outcome);
        ASSERT_TRUE(AnswerMessageBox(outcome, IDCANCEL));
        ASSERT_TRUE(installer.WaitForExit(5000));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
    }
}

TEST_F(InstallerTest, ACancelTooLateForTheWorkerKeepsTheInstallation) {
    const std::wstring folder = std::wstring(kRoot) + L"\\late";
    Program installer(Join(kPackage, L"t4kInstaller.exe"));
    HWND dialog = ProceedInto(installer, folder);
    ASSERT_TRUE(dialog);
    // The entry is the worker's last step; it then pauses without looking
    // at the cancel event.
    ASSERT_TRUE(WaitFor([] { return EntryValue(L"UninstallString") != L"(missing)"; }, kInstallMs));
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDCANCEL)));
    FinishInstall(installer, false);
    ExpectInstalled(folder);
}

TEST_F(InstallerTest, IntoItsOwnFolderEveryFileIsItself) {
    Install(kPackage, false, false, false, false);
    ExpectInstalled(kPackage);
}

// Holds the running wizard's single-instance object, as the wizard does.
class WizardInstance {
  public:
    WizardInstance()
        : mapping_(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                      kWizardInstance)) {}
    ~WizardInstance() { CloseHandle(mapping_); }

  private:
    HANDLE mapping_;
};

TEST_F(InstallerTest, AnUpgradeWaitsForTheWizardToCloseAndTheUninstallerRemovesBothBuilds) {
    // An older build, with a file the new one no longer has.
    const std::wstring old = std::wstring(kRoot) + L"\\old";
    CreateDirectoryW(old.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(Join(kPackage, L"t4kInstaller.exe").c_str(),
                          Join(old, L"t4kInstaller.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(BuildProgram(L"other_build_wizard.exe").c_str(),
                          Join(old, L"t4kVestrel.exe").c_str(), FALSE));
    WriteFileText(Join(old, L"old-only.txt"), "old");
    package_ = old;
    Install(L"", true, false, false, false);
    package_ = kPackage;
    const std::wstring folder = DefaultFolder();
    EXPECT_EQ(EntryValue(L"DisplayVersion"), L"0.75.0.20");

    // While a wizard runs: Cancel ends the installer and leaves the old build.
    {
        WizardInstance running;
        Program installer(Join(kPackage, L"t4kInstaller.exe"));
        ASSERT_TRUE(ProceedInto(installer, folder));
        HWND box = WaitForBox(installer.Id(), L"is running", kInstallMs);
        ASSERT_TRUE(box);
        EXPECT_EQ(ReadMessageBox(box).text, kWizardRunning);
        EXPECT_EQ(ReadMessageBox(box).buttons, (std::vector<int>{IDCANCEL, IDRETRY}));
        EXPECT_EQ(MessageBoxIcon(box), static_cast<int>(reinterpret_cast<UINT_PTR>(IDI_WARNING)));
        EXPECT_TRUE(SaveScreenshot(box, L"installer-wizard-running"));
        ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));
        ExpectExit(installer, 5000, 0);
        EXPECT_EQ(EntryValue(L"DisplayVersion"), L"0.75.0.20");
    }

    // The real wizard: Retry asks again until it has been closed.
    Program wizard(Join(kPackage, L"t4kVestrel.exe"));
    ASSERT_TRUE(WaitFor([] { return FindWindowW(kWizardFrameClass, nullptr) != nullptr; }, 15000));
    Program installer(Join(kPackage, L"t4kInstaller.exe"));
    ASSERT_TRUE(ProceedInto(installer, folder));
    for (bool closeFirst : {false, true}) {
        HWND box = WaitForBox(installer.Id(), L"is running", kInstallMs);
        ASSERT_TRUE(box);
        if (closeFirst) {
            ASSERT_NE(CloseWizard(), 0u);
        }
        ASSERT_TRUE(AnswerMessageBox(box, IDRETRY));
    }
    FinishInstall(installer, false);
    ExpectInstalled(folder);
    EXPECT_EQ(EntryValue(L"DisplayVersion"), L"0.75.0.21");

    Uninstall(folder, true);
    EXPECT_TRUE(WaitUntilRemoved(folder));
    EXPECT_FALSE(Exists(Join(folder, L"old-only.txt")));
    // Nothing else was in them: the install folder and the publisher's go too.
    for (const std::wstring& emptied :
         {folder, SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\t4ksoft.net",
          SpecialFolder(CSIDL_PROGRAMS) + L"\\t4ksoft.net"})
        EXPECT_TRUE(WaitFor([&] { return !Exists(emptied); }, 10000))
            << std::string(emptied.begin(), emptied.end());
}

TEST_F(InstallerTest, CancelWhileTheWorkerAsksEndsItByForceAndRollsBack) {
    const std::wstring folder = std::wstring(kRoot) + L"\\forced";
    SetEntry(L"");
    LockedFile locked(Join(kPackage, L"locked.bin"));
    ASSERT_TRUE(locked.Locked());
    Program installer(Join(kPackage, L"t4kInstaller.exe"));
    HWND dialog = ProceedInto(installer, folder);
    ASSERT_TRUE(dialog);
    // The worker waits on its question, which no one answers.
    ASSERT_TRUE(WaitForBox(installer.Id(), L"Failed to copy file", kInstallMs));
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDCANCEL)));
    ExpectExit(installer, 10000, 0);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
}

// Starts a Unix shell command from inside Wine, which runs Unix programs
// (but gives no handle to wait on).
bool StartUnix(const std::wstring& command) {
    PROCESS_INFORMATION info{};
    if (!StartProcess(nullptr, L"/bin/sh -c \"" + command + L"\"", 0, nullptr, info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

std::wstring UnixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unix)
        return {};
    const std::string narrow = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return std::wstring(narrow.begin(), narrow.end());
}

// A Unix symbolic link, made and removed from inside Wine, which shows a
// link to a folder as a reparse point (it cannot make Windows links:
// CreateSymbolicLinkW does nothing, and setting a junction's reparse data
// is not supported). Windows calls cannot remove it either: they would act
// on what it leads to.
class UnixLink {
  public:
    // At the Windows path `windowsLink`, or at the Unix path `unixLink`.
    UnixLink(const std::wstring& windowsLink, const std::wstring& unixTarget,
             const std::wstring& unixLink = L"")
        : windowsLink_(windowsLink), unixLink_(unixLink) {
        if (unixLink_.empty() && !windowsLink_.empty()) {
            const size_t slash = windowsLink_.rfind(L'\\');
            const std::wstring parent = UnixPath(windowsLink_.substr(0, slash));
            if (!parent.empty())
                unixLink_ = parent + L"/" + windowsLink_.substr(slash + 1);
        }
        if (!unixLink_.empty() && !unixTarget.empty())
            StartUnix(L"/bin/ln -sfn '" + unixTarget + L"' '" + unixLink_ + L"'");
    }
    ~UnixLink() {
        if (!unixLink_.empty() && StartUnix(L"/bin/rm -f '" + unixLink_ + L"'"))
            WaitFor([&] { return !Exists(windowsLink_); }, 5000);
    }
    bool Made() const {
        return !unixLink_.empty() && WaitFor([&] { return Exists(windowsLink_); }, 5000);
    }

  private:
    std::wstring windowsLink_;
    std::wstring unixLink_;
};

// Drive T: of the Wine prefix, its root a folder of the test.
class TestDrive {
  public:
    explicit TestDrive(const std::wstring& folder)
        : link_(L"T:\\", UnixPath(MadeFolder(folder)), DriveLink()) {}
    bool Defined() const { return link_.Made(); }

  private:
    static const std::wstring& MadeFolder(const std::wstring& folder) {
        CreateDirectoryW(folder.c_str(), nullptr);
        return folder;
    }
    static std::wstring DriveLink() {
        wchar_t prefix[MAX_PATH] = {};
        if (!GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH))
            return {};
        return std::wstring(prefix) + L"/dosdevices/t:";
    }
    UnixLink link_;
};

TEST_F(InstallerTest, AnEntryEditedToADriveRootKeepsItsFiles) {
    // A proper installation, whose entry is edited to name it through the
    // root of drive T:.
    const std::wstring folder = std::wstring(kRoot) + L"\\proper";
    Install(folder, false, false, false, false);
    TestDrive drive(folder);
    ASSERT_TRUE(drive.Defined());
    SetEntry(L"T:\\t4kInstaller.exe");
    Uninstall(L"T:", true);
    EXPECT_FALSE(Exists(L"T:\\DeleteEverything.bat"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
    ExpectInstalled(folder, false);
}

std::string FileText(const std::wstring& path) {
    std::string text(64, '\0');
    DWORD got = 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "(missing)";
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(file);
    text.resize(got);
    return text;
}

TEST_F(InstallerTest, LinksInThePackageOrInTheInstallFolderAreNotFollowed) {
    const std::wstring elsewhere = std::wstring(kRoot) + L"\\elsewhere";
    CreateDirectoryW(elsewhere.c_str(), nullptr);
    WriteFileText(Join(elsewhere, L"notes.txt"), "not ours");
    // A link in the package to the package itself: not listed, not copied.
    UnixLink loop(Join(kPackage, L"loop"), UnixPath(kPackage));
    ASSERT_TRUE(loop.Made());
    const std::wstring folder = std::wstring(kRoot) + L"\\linked";
    Install(folder, false, false, false, false);
    ExpectInstalled(folder);
    EXPECT_FALSE(Exists(Join(folder, L"loop")));

    // The installed subfolder replaced by a link to another folder whose
    // file has the listed name: no removal goes through it.
    RemoveTree(Join(folder, L"extras"));
    UnixLink extras(Join(folder, L"extras"), UnixPath(elsewhere));
    ASSERT_TRUE(extras.Made());
    Uninstall(folder, true);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kEntry));
    EXPECT_FALSE(Exists(Join(folder, L"DeleteEverything.bat")));
    EXPECT_EQ(FileText(Join(elsewhere, L"notes.txt")), "not ours");
    EXPECT_TRUE(Exists(Join(folder, L"t4kVestrel.exe")));
}

TEST_F(InstallerTest, TheListAndTheBatchFileAreNotWrittenThroughAHardLink) {
    // Other names of files elsewhere, planted where the installer writes its
    // list and the uninstaller its batch file.
    const std::wstring folder = std::wstring(kRoot) + L"\\hard";
    const std::wstring list = std::wstring(kRoot) + L"\\list.txt";
    const std::wstring batch = std::wstring(kRoot) + L"\\batch.txt";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::wstring& file : {list, batch})
        WriteFileText(file, "not ours");
    ASSERT_TRUE(CreateHardLinkW(Join(folder, L"InstallList.txt").c_str(), list.c_str(), nullptr));
    Install(folder, false, false, false, false);
    ExpectInstalled(folder);
    EXPECT_EQ(FileText(list), "not ours");
    ASSERT_TRUE(
        CreateHardLinkW(Join(folder, L"DeleteEverything.bat").c_str(), batch.c_str(), nullptr));
    Uninstall(folder, true);
    EXPECT_TRUE(WaitUntilRemoved(folder));
    EXPECT_EQ(FileText(batch), "not ours");
}

TEST(BatchPathEncoding, OnlyBytesThatCmdReadsBackAsThePath) {
    using installer::EncodeBatchPathIn;
    const struct {
        const char16_t* path;
        unsigned ansi, oem;
        const char* bytes;  // nullptr: no exact encoding
    } cases[] = {
        {u"C:\\Apps\\100%", 1252, 437, "C:\\Apps\\100%"},
        {u"C:\\\u0142odz", 1252, 437, nullptr},  // best fit would give "lodz"
        {u"C:\\caf\u00e9", 1252, 437, nullptr},  // cmd reads 0xE9 as another letter
        {u"C:\\caf\u00e9", 1252, 1252, "C:\\caf\xe9"},
        {u"C:\\\u0142odz", 1250, 1250, "C:\\\xb3odz"},
    };
    for (const auto& c : cases) {
        const auto bytes = EncodeBatchPathIn(c.path, c.ansi, c.oem);
        if (c.bytes)
            EXPECT_EQ(bytes, std::string(c.bytes));
        else
            EXPECT_FALSE(bytes);
    }
}

}  // namespace
}  // namespace vestrel::gui
