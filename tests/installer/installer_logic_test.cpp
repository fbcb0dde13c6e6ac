#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "installer/batch_file.h"
#include "installer/folder_guard.h"
#include "installer/install_list.h"
#include "installer/registry_text.h"

namespace vestrel::installer {
namespace {

// UTF-16LE bytes of ASCII text.
std::string Utf16(std::string_view ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

const std::string kListBytes = "\xFF\xFE" + Utf16("t4k Vestrel install list 1\r\n") +
                               Utf16("F t4kVestrel.exe\r\n") + Utf16("F sub\\read me.txt\r\n") +
                               Utf16("D sub\r\n");

TEST(InstallList, WritesAndReadsTheSameBytes) {
    const InstallList list{{u"t4kVestrel.exe", u"sub\\read me.txt"}, {u"sub"}};
    EXPECT_EQ(FormatInstallList(list), kListBytes);
    const auto read = ParseInstallList(kListBytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->files, list.files);
    EXPECT_EQ(read->folders, list.folders);
    // Names outside ASCII survive.
    const InstallList wide{{u"\u0142\u00f3d\u017a.txt"}, {}};
    const auto back = ParseInstallList(FormatInstallList(wide));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->files, wide.files);
}

TEST(InstallList, RefusesAnythingButAWholeListOfSafePaths) {
    const std::string header = "\xFF\xFE" + Utf16("t4k Vestrel install list 1\r\n");
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"no byte-order mark", kListBytes.substr(2)},
        {"odd length", kListBytes + "x"},
        {"other header", "\xFF\xFE" + Utf16("t4k Vestrel install list 2\r\n")},
        {"last line cut", header + Utf16("F a.exe")},
        {"unknown kind", header + Utf16("X a.exe\r\n")},
        {"no space", header + Utf16("Fa.exe\r\n")},
        {"parent", header + Utf16("F ..\\a.exe\r\n")},
        {"absolute", header + Utf16("F C:\\a.exe\r\n")},
        {"rooted", header + Utf16("F \\Windows\\a.exe\r\n")},
        {"wildcard", header + Utf16("F *.*\r\n")},
        {"folder parent", header + Utf16("D sub\\..\r\n")},
        {"too big", "\xFF\xFE" + std::string(kMaxInstallListBytes, 'a')},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(ParseInstallList(c.bytes)) << c.what;
    EXPECT_TRUE(ParseInstallList(header));  // an empty list is a list
}

TEST(InstallList, SafeRelativePaths) {
    for (const char16_t* good : {u"a", u"sub\\a.exe", u"a b\\c d.txt", u".hidden", u"x.y.z"})
        EXPECT_TRUE(IsSafeRelativePath(good)) << "should accept";
    for (const char16_t* bad :
         {u"", u"\\a", u"a\\", u"a\\\\b", u".", u"..", u"a\\..\\..\\b", u"...", u"a.", u"a ",
          u"C:a", u"a/b", u"a?", u"a*", u"a|b", u"a\"b", u"a<b", u"a>b", u"a\tb"})
        EXPECT_FALSE(IsSafeRelativePath(bad))
            << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

TEST(InstallList, MergeKeepsOldEntriesAndAddsNewOnesOnce) {
    const InstallList old{{u"t4kVestrel.exe", u"old.txt"}, {u"sub"}};
    const InstallList added{{u"T4KVESTREL.EXE", u"new.txt"}, {u"sub", u"sub\\deeper"}};
    const InstallList merged = MergeInstallLists(old, added);
    EXPECT_EQ(merged.files,
              (std::vector<std::u16string>{u"t4kVestrel.exe", u"old.txt", u"new.txt"}));
    EXPECT_EQ(merged.folders, (std::vector<std::u16string>{u"sub", u"sub\\deeper"}));
    EXPECT_EQ(DeepestFirst({u"a", u"a\\b\\c", u"d", u"a\\b"}),
              (std::vector<std::u16string>{u"a\\b\\c", u"a\\b", u"a", u"d"}));
}

TEST(FolderGuard, RefusesRootsAndSystemAndProfileFolders) {
    const std::vector<std::u16string> system{u"C:\\Windows", u"C:\\Program Files\\",
                                             u"C:\\users\\bob\\AppData\\Roaming"};
    const struct {
        const char16_t* folder;
        FolderVerdict verdict;
    } cases[] = {
        {u"C:\\Program Files\\t4ksoft.net\\Utilities\\t4k_Vestrel", FolderVerdict::Allowed},
        {u"D:\\Apps\\Vestrel", FolderVerdict::Allowed},
        {u"\\\\server\\share\\Vestrel", FolderVerdict::Allowed},
        {u"C:\\Users\\bob\\AppData\\Roaming2", FolderVerdict::Allowed},
        {u"C:", FolderVerdict::DriveRoot},
        {u"C:\\", FolderVerdict::DriveRoot},
        {u"t:\\\\", FolderVerdict::DriveRoot},
        {u"\\\\server\\share", FolderVerdict::DriveRoot},
        {u"\\\\server\\share\\", FolderVerdict::DriveRoot},
        {u"c:\\program files", FolderVerdict::ProtectedFolder},
        {u"C:\\WINDOWS\\", FolderVerdict::ProtectedFolder},
        {u"C:\\Users", FolderVerdict::ProtectedFolder},  // holds a profile folder
        {u"C:\\Users\\Bob", FolderVerdict::ProtectedFolder},
        {u"", FolderVerdict::NotAbsolute},
        {u"Vestrel", FolderVerdict::NotAbsolute},
        {u"\\Vestrel", FolderVerdict::NotAbsolute},
        {u"C:Vestrel", FolderVerdict::NotAbsolute},
        {u"C:\\Apps\\..\\Windows", FolderVerdict::NotAbsolute},
        {u"C:\\Apps\\.", FolderVerdict::NotAbsolute},
        {u"\\\\?\\C:\\Apps", FolderVerdict::NotAbsolute},
        {u"\\\\.\\C:\\Apps", FolderVerdict::NotAbsolute},
        {u"\\\\server", FolderVerdict::NotAbsolute},
    };
    for (const auto& c : cases) {
        const std::u16string folder = c.folder;
        EXPECT_EQ(CheckRemovalFolder(folder, system), c.verdict)
            << std::string(folder.begin(), folder.end());
    }
}

TEST(FolderGuard, FolderTextAndUninstallCommand) {
    EXPECT_EQ(NormaliseFolder(u"  D:/Apps/Vestrel\\\\ "), u"D:\\Apps\\Vestrel");
    EXPECT_EQ(NormaliseFolder(u"C:\\"), u"C:\\");
    EXPECT_EQ(NormaliseFolder(u"   "), u"");
    EXPECT_EQ(FolderOfCommand(u"D:\\Apps\\t4kInstaller.exe"), u"D:\\Apps");
    EXPECT_EQ(FolderOfCommand(u"T:\\t4kInstaller.exe"), u"T:");
    EXPECT_FALSE(FolderOfCommand(u"t4kInstaller.exe"));
}

TEST(FolderGuard, ALinkOnTheWayToAListedEntryRefusesRemoval) {
    const std::u16string folder = u"C:\\Apps\\V";
    // "x\\y" is not listed: it was there before the installation.
    const InstallList list{{u"t4kVestrel.exe", u"sub\\a.txt", u"x\\y\\z.txt"},
                           {u"sub", u"sub\\deep"}};
    const struct {
        const char16_t* link;  // relative to the folder; "." the folder itself
        bool refused;
    } cases[] = {
        {u"", false},
        {u".", true},
        {u"sub", true},
        {u"sub\\deep", true},
        {u"x", true},
        {u"x\\y", true},
        {u"t4kVestrel.exe", false},  // deleting a link removes only the link
        {u"other", false},
    };
    for (const auto& c : cases) {
        const std::u16string link = c.link == std::u16string(u".") ? folder
                                    : *c.link                      ? folder + u"\\" + c.link
                                                                   : u"";
        const auto isLink = [&](std::u16string_view path) { return path == link; };
        EXPECT_EQ(LinkOnListedPaths(folder, list, isLink), c.refused)
            << std::string(link.begin(), link.end());
    }
}

TEST(FolderGuard, OnlyNameSurrogatesLeadElsewhere) {
    constexpr uint32_t kFolder = 0x10, kReparse = 0x400;
    const struct {
        uint32_t attributes, tag;
        bool link;
    } cases[] = {
        {kFolder | kReparse, 0xA0000003, true},  // junction
        {kReparse, 0xA000000C, true},            // symbolic link
        {kFolder | kReparse, 0, true},           // no tag reported
        {kReparse, 0x9000001A, false},           // cloud file
        {kReparse, 0x80000017, false},           // compressed file
        {kFolder, 0xA0000003, false},            // a stale tag without the attribute
    };
    for (const auto& c : cases)
        EXPECT_EQ(LeadsElsewhere(c.attributes, c.tag), c.link) << std::hex << c.tag;
}

TEST(PackageListing, SkipsLinksAndTheInstalledCopysOwnFiles) {
    const std::map<std::u16string, std::vector<FolderEntry>> tree{
        {u"P",
         {{u"t4kVestrel.exe"},
          {u"InstallList.txt"},
          {u"sub", true},
          {u"DeleteEverything.bat"},
          {u"elsewhere", true, true},
          {u"linked.txt", false, true}}},
        {u"P\\sub", {{u"a.txt"}, {u"up", true, true}, {u"InstallList.txt"}}},
        {u"P\\elsewhere", {{u"secret.txt"}}},
        {u"P\\sub\\up", {{u"t4kVestrel.exe"}, {u"sub", true}}},
    };
    std::set<std::u16string> read;
    const auto readFolder = [&](std::u16string_view folder) {
        read.emplace(folder);
        const auto found = tree.find(std::u16string(folder));
        return found == tree.end() ? std::vector<FolderEntry>{} : found->second;
    };
    EXPECT_EQ(
        ListPackageFiles(u"P", readFolder),
        (std::vector<std::u16string>{u"t4kVestrel.exe", u"sub\\a.txt", u"sub\\InstallList.txt"}));
    EXPECT_EQ(read, (std::set<std::u16string>{u"P", u"P\\sub"}));
}

TEST(RegistryText, OnlyWholeTerminatedStringsThatFit) {
    const std::string text = Utf16("C:\\x") + std::string(2, '\0');
    const auto bytes = [](const std::string& s) {
        return reinterpret_cast<const uint8_t*>(s.data());
    };
    EXPECT_EQ(CheckedRegistryText(1, bytes(text), text.size(), 2048), u"C:\\x");
    const std::string padded = text + std::string(4, '\0');
    EXPECT_EQ(CheckedRegistryText(1, bytes(padded), padded.size(), 2048), u"C:\\x");
    const struct {
        const char* what;
        uint32_t type;
        std::string data;
        size_t capacity;
    } refused[] = {
        {"expandable string", 2, text, 2048},
        {"binary", 3, text, 2048},
        {"not terminated", 1, Utf16("C:\\x"), 2048},
        {"text after the zero", 1, text + Utf16("y"), 2048},
        {"odd size", 1, text + "y", 2048},
        {"larger than the buffer", 1, text, text.size() - 2},
        {"empty data", 1, "", 2048},
    };
    for (const auto& c : refused)
        EXPECT_FALSE(CheckedRegistryText(c.type, bytes(c.data), c.data.size(), c.capacity))
            << c.what;
}

// An ANSI code page for the tests: the first 256 code points, one byte each.
std::optional<std::string> Latin1(std::u16string_view path) {
    std::string out;
    for (char16_t c : path) {
        if (c > 0xFF)
            return std::nullopt;
        out += static_cast<char>(c);
    }
    return out;
}

std::u16string NoShortForm(std::u16string_view) {
    return {};
}

std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

std::string Head() {
    std::string head = "@echo off\r\n";
    for (int i = 0; i < 750; ++i)
        head += "dir c:\\*.*\r\n";
    return head;
}

const std::string kMoved = "\"%TEMP%\\t4k_Vestrel_DeleteEverything.bat\"";

const InstallList kInstalled{{u"t4kVestrel.exe", u"t4kInstaller.exe", u"sub\\a.txt"},
                             {u"sub", u"sub\\deep"}};

TEST(RemovalBatch, DeletesExactlyTheListedFilesThenFoldersThenListThenItself) {
    const RemovalBatch batch =
        BuildRemovalBatch(u"C:\\Apps\\100% \u00e9", kInstalled, Latin1, NoShortForm,
                          {u"C:\\Apps\\100% \u00e9", u"C:\\Apps"});
    EXPECT_EQ(batch.bytes,
              Head() + Lines({
                           "del \"C:\\Apps\\100%% \xe9\\t4kVestrel.exe\"",
                           "del \"C:\\Apps\\100%% \xe9\\t4kInstaller.exe\"",
                           "del \"C:\\Apps\\100%% \xe9\\sub\\a.txt\"",
                           "rd \"C:\\Apps\\100%% \xe9\\sub\\deep\"",
                           "rd \"C:\\Apps\\100%% \xe9\\sub\"",
                           "del \"C:\\Apps\\100%% \xe9\\InstallList.txt\"",
                           "move /y \"C:\\Apps\\100%% \xe9\\DeleteEverything.bat\" " + kMoved +
                               " >nul & del \"C:\\Apps\\100%% \xe9\\DeleteEverything.bat\" & "
                               "rd \"C:\\Apps\\100%% \xe9\" & rd \"C:\\Apps\" & del " +
                               kMoved,
                       }));
    EXPECT_TRUE(batch.filesLeftToUs.empty());
    EXPECT_TRUE(batch.foldersLeftToUs.empty());
}

TEST(RemovalBatch, AFolderOutsideTheCodePageUsesItsShortFormOrIsLeftToTheUninstaller) {
    // "ł" would best-fit to "l": C:\Apps\lodz is someone else's folder.
    const std::u16string folder = u"C:\\Apps\\\u0142odz";
    const auto shortForm = [](std::u16string_view path) {
        std::u16string brief(path);
        return brief.replace(0, 12, u"C:\\Apps\\ODZ~1");
    };
    const RemovalBatch shortened =
        BuildRemovalBatch(folder, kInstalled, Latin1, shortForm, {folder});
    EXPECT_EQ(shortened.bytes.substr(Head().size()),
              Lines({"del \"C:\\Apps\\ODZ~1\\t4kVestrel.exe\"",
                     "del \"C:\\Apps\\ODZ~1\\t4kInstaller.exe\"",
                     "del \"C:\\Apps\\ODZ~1\\sub\\a.txt\"", "rd \"C:\\Apps\\ODZ~1\\sub\\deep\"",
                     "rd \"C:\\Apps\\ODZ~1\\sub\"", "del \"C:\\Apps\\ODZ~1\\InstallList.txt\"",
                     "move /y \"C:\\Apps\\ODZ~1\\DeleteEverything.bat\" " + kMoved +
                         " >nul & del \"C:\\Apps\\ODZ~1\\DeleteEverything.bat\" & rd "
                         "\"C:\\Apps\\ODZ~1\" & del " +
                         kMoved}));

    const RemovalBatch unwritable =
        BuildRemovalBatch(folder, kInstalled, Latin1, NoShortForm, {folder});
    EXPECT_EQ(unwritable.bytes, Head() + Lines({"move /y \"%~f0\" " + kMoved +
                                                " >nul & del \"%~f0\" & del " + kMoved}));
    EXPECT_EQ(
        unwritable.filesLeftToUs,
        (std::vector<std::u16string>{folder + u"\\t4kVestrel.exe", folder + u"\\t4kInstaller.exe",
                                     folder + u"\\sub\\a.txt", folder + u"\\InstallList.txt"}));
    EXPECT_EQ(unwritable.foldersLeftToUs,
              (std::vector<std::u16string>{folder + u"\\sub\\deep", folder + u"\\sub"}));
    EXPECT_EQ(unwritable.bytes.find("lodz"), std::string::npos);
}

TEST(RemovalBatch, ThePublishersLevelsAboveTheInstallFolderAreRemovedLast) {
    const struct {
        const char16_t* folder;
        std::vector<std::u16string> removed;
    } cases[] = {
        {u"C:\\PF\\t4ksoft.net\\Utilities\\t4k_Vestrel",
         {u"C:\\PF\\t4ksoft.net\\Utilities\\t4k_Vestrel", u"C:\\PF\\t4ksoft.net\\Utilities",
          u"C:\\PF\\t4ksoft.net"}},
        {u"C:\\PF\\T4KSOFT.NET\\utilities\\Mine",
         {u"C:\\PF\\T4KSOFT.NET\\utilities\\Mine", u"C:\\PF\\T4KSOFT.NET\\utilities",
          u"C:\\PF\\T4KSOFT.NET"}},
        {u"C:\\PF\\Other\\Utilities\\t4k_Vestrel",
         {u"C:\\PF\\Other\\Utilities\\t4k_Vestrel", u"C:\\PF\\Other\\Utilities"}},
        {u"C:\\Utilities\\t4k_Vestrel", {u"C:\\Utilities\\t4k_Vestrel", u"C:\\Utilities"}},
        {u"D:\\Apps\\t4k_Vestrel", {u"D:\\Apps\\t4k_Vestrel"}},
        {u"C:\\PF\\t4ksoft.net\\Utilities", {u"C:\\PF\\t4ksoft.net\\Utilities"}},
    };
    for (const auto& c : cases) {
        const std::u16string folder = c.folder;
        EXPECT_EQ(FoldersRemovedLast(folder, u"t4ksoft.net", u"Utilities"), c.removed)
            << std::string(folder.begin(), folder.end());
    }
}

}  // namespace
}  // namespace vestrel::installer
