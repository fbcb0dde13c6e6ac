#include "wizard/version_text.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

TEST(VersionText, ParsesFourNumbers) {
    struct Case {
        std::u16string_view text;
        VersionNumbers expected;
    };
    for (const Case& c : {Case{u"0.75.0.21", {0, 75, 0, 21}},
                          {u"1, 2, 3, 4", {1, 2, 3, 4}},
                          {u"2.1", {2, 1, 0, 0}},
                          {u"7", {7, 0, 0, 0}},
                          {u"", {0, 0, 0, 0}},
                          {u"1.2.3.4.5", {1, 2, 3, 4}},
                          {u"1.x.-3.99999999999", {1, 0, -3, 2147483647}},
                          {u"1.5, 2, 3, 4", {1, 2, 3, 4}}}) {
        const VersionNumbers n = ParseVersionNumbers(c.text);
        EXPECT_EQ(n.major, c.expected.major) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(n.minor, c.expected.minor) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(n.build, c.expected.build) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(n.revision, c.expected.revision) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(VersionText, DisplayVersionCutsBeforeTheSecondDot) {
    EXPECT_EQ(DisplayVersion(u"0.75.0.21", u"BETA"), u"0.75 BETA");
    EXPECT_EQ(DisplayVersion(u"0.75.0.21", u""), u"0.75");
    EXPECT_EQ(DisplayVersion(u"2.1", u""), u"2.1");
    EXPECT_EQ(DisplayVersion(u"1, 2, 3, 4", u"RC"), u"1, 2, 3, 4 RC");
}

TEST(VersionText, CaptionEndsInMajorMinorAndSpecialBuild) {
    EXPECT_EQ(CaptionVersion(ParseVersionNumbers(u"0.75.0.21"), u"BETA"), u" 0.75 BETA");
    EXPECT_EQ(CaptionVersion(ParseVersionNumbers(u"0.75.0.21"), u""), u" 0.75 ");
}

}  // namespace
}  // namespace vestrel
