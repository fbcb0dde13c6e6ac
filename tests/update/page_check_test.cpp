// The candidate link on fixture pages: which link is taken, when the
// program is up to date, and what the offer says.
#include <gtest/gtest.h>

#include <vector>

#include "drive/text.h"
#include "tests/support/memory_file.h"
#include "update/page_check.h"
#include "update/page_search.h"

namespace vestrel::update {
namespace {

constexpr char16_t kBase[] = u"https://www.t4ksoft.net/";

std::string Link(const std::string& target, const std::string& after = "") {
    return "<a href=\"" + target + "\"" + after;
}

// Filler that holds no pattern, as long as a link window.
std::string Gap(size_t bytes = kLinkWindowBytes) {
    return std::string(bytes, 'x');
}

struct Case {
    const char* name;
    std::string page;
    PageVerdict verdict;
    std::string target = "";  // of the offer
    std::string text = "";    // the new-version text
    uint16_t build = 21;
    size_t buffer = kWorkBufferBytes;
};

TEST(PageCheck, FixturePages) {
    const std::string entry = ">Version 1.2 beta (Self-extracting archive)</a>";
    const std::vector<Case> cases = {
        {"plain", "<p>" + Link("t4k.0022.sfx.exe", entry), PageVerdict::UpdateOffered,
         "t4k.0022.sfx.exe", "1.2 beta"},
        {"preferred further down wins",
         Link("t4k.0030.sfx.exe", entry) + Gap() + Link("t4k.BETA.0031.sfx.exe", entry),
         PageVerdict::UpdateOffered, "t4k.BETA.0031.sfx.exe", "1.2 beta"},
        {"window without package skipped whole",
         Link("t4k.notes.html", ">notes</a>") + Gap(180) + Link("t4k.0040.sfx.exe", entry) + Gap() +
             Link("t4k.0041.sfx.exe", entry),
         PageVerdict::UpdateOffered, "t4k.0041.sfx.exe", "1.2 beta"},
        {"own build", Link("t4k.0021.sfx.exe", entry), PageVerdict::UpToDate},
        {"own build anywhere in the window", Link("t4k.0022.sfx.exe", ">also .0021.sfx.exe\""),
         PageVerdict::UpToDate},
        {"own number not followed by a quote",
         Link("t4k.0022.sfx.exe", ">was .0021.sfx.exe (Self-x)"), PageVerdict::UpdateOffered,
         "t4k.0022.sfx.exe", ".0021.sfx.exe"},
        {"five-digit own build", Link("t4k.12345.sfx.exe", entry), PageVerdict::UpToDate, "", "",
         12345},
        {"a longer number is another build", Link("t4k.01234.sfx.exe", entry),
         PageVerdict::UpdateOffered, "t4k.01234.sfx.exe", "1.2 beta", 1234},
        {"build 0 when unreadable", Link("t4k.0000.sfx.exe", entry), PageVerdict::UpToDate, "", "",
         0},
        {"no anchor", Link("t4k.0022.sfx.exe", ">Version 1.2 beta"), PageVerdict::UpdateOffered,
         "t4k.0022.sfx.exe", ""},
        {"closing tag as anchor", Link("t4k.0022.sfx.exe", ">Build 1.3 final</a>"),
         PageVerdict::UpdateOffered, "t4k.0022.sfx.exe", "1.3 final"},
        {"a version of digits only stays whole", Link("t4k.0022.sfx.exe", ">Version 2.5 (Self-x)"),
         PageVerdict::UpdateOffered, "t4k.0022.sfx.exe", "2.5"},
        {"no dot", Link("t4k.0022.sfx.exe", ">Version one (Self-x)"), PageVerdict::UpdateOffered,
         "t4k.0022.sfx.exe", ""},
        {"no space before the dot", Link("t4k.0022.sfx.exe", ">v1.2 beta (Self-x)"),
         PageVerdict::UpdateOffered, "t4k.0022.sfx.exe", ""},
        {"anchor before the text, window cut by the end",
         Link("t4k.0022.sfx.exe", "></a> New 2.0 beta"), PageVerdict::UpdateOffered,
         "t4k.0022.sfx.exe", "2.0 beta"},
        {"window cut before the closing quote", Link("t4k.0022.sfx.exe").substr(0, 25),
         PageVerdict::NoCandidate},
        {"no link", "<html>nothing here</html>", PageVerdict::NoCandidate},
        {"zero byte hides the rest of a chunk",
         std::string("a\0b", 3) + Link("t4k.0022.sfx.exe", entry), PageVerdict::NoCandidate},
        {"link split between chunks", Gap(50) + Link("t4k.0022.sfx.exe", entry),
         PageVerdict::NoCandidate, "", "", 21, 61},
        {"link in a later chunk", Gap(300) + Link("t4k.0022.sfx.exe", entry),
         PageVerdict::UpdateOffered, "t4k.0022.sfx.exe", "1.2 beta", 21, 101},
        {"general link wins in an earlier chunk",
         Link("t4k.0030.sfx.exe", entry) + Gap(400) + Link("t4k.BETA.0031.sfx.exe", entry),
         PageVerdict::UpdateOffered, "t4k.0030.sfx.exe", "1.2 beta", 21, 257},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::MemoryFile page(c.page);
        std::vector<char> buffer(c.buffer);
        const PageOutcome outcome = CheckPage(page, c.build, kBase, buffer);
        EXPECT_EQ(outcome.verdict, c.verdict);
        const std::u16string address = c.target.empty() ? u"" : kBase + FromLatin1(c.target);
        EXPECT_EQ(outcome.offer.downloadAddress, address);
        EXPECT_EQ(outcome.offer.versionText, FromLatin1(c.text));
    }
}

// A target that is not a plain package name is refused and the search goes
// on after its window.
TEST(PageCheck, RefusedLinkTargets) {
    const std::vector<std::string> refused = {
        "t4k.x/../../evil.sfx.exe",
        "t4k.https://evil.example/a.sfx.exe",
        "t4k.a\\b.sfx.exe",
        "t4k.a b.sfx.exe",
        "t4k.a'b.sfx.exe",
        "t4k.a\tb.sfx.exe",
        "t4k..sfx.exe",
        "t4k.0022.sfx.exe.html",
        "t4k.a%2fb.sfx.exe",
        "t4k.a:b.sfx.exe",
    };
    for (const std::string& target : refused) {
        SCOPED_TRACE(target);
        EXPECT_FALSE(AcceptableLinkTarget(target));
        testing::MemoryFile page(Link(target, ">x") + Gap() + Link("t4k.0050.sfx.exe", ">y"));
        std::vector<char> buffer(kWorkBufferBytes);
        const PageOutcome outcome = CheckPage(page, 21, kBase, buffer);
        EXPECT_EQ(outcome.verdict, PageVerdict::UpdateOffered);
        EXPECT_EQ(outcome.offer.downloadAddress, std::u16string(kBase) + u"t4k.0050.sfx.exe");
    }
    EXPECT_TRUE(AcceptableLinkTarget("t4k.BETA_2-0.0022.sfx.exe"));
}

TEST(PageCheck, ReadFailureEndsTheSearch) {
    testing::MemoryFile page(Gap(200) + Link("t4k.0022.sfx.exe", ">v"), 100);
    std::vector<char> buffer(101);
    EXPECT_EQ(CheckPage(page, 21, kBase, buffer).verdict, PageVerdict::NoCandidate);
}

TEST(PageCheck, DownloadBase) {
    EXPECT_EQ(DownloadBase(u"https://www.t4ksoft.net/index.html?req=d0"),
              u"https://www.t4ksoft.net/");
    EXPECT_EQ(DownloadBase(u"http://127.0.0.1:8080/a/index.html?req=d0/x"),
              u"http://127.0.0.1:8080/a/");
    EXPECT_EQ(DownloadBase(u"http://127.0.0.1:8080?req=d0"), u"http://127.0.0.1:8080/");
}

}  // namespace
}  // namespace vestrel::update
