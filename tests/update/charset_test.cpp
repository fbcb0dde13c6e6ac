// The charset converter: each pair of charsets on literal bytes, and whole
// files larger than the pieces they are converted in.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "charset/charset_converter.h"
#include "drive/text.h"

namespace vestrel::charset {
namespace {

std::vector<uint8_t> Bytes(std::string_view s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(Charset, ConvertsBetweenNamedCharsets) {
    struct Case {
        const char* from;
        const char* to;
        std::string in;
        std::string out;
    };
    using namespace std::string_literals;
    const std::vector<Case> cases = {
        {"iso-8859-1", "unicode", "A\xE9\0"s, "A\0\xE9\0\0\0"s},
        {"ISO-8859-1", "US-ASCII", "a\xE9\x7F"s, "a?\x7F"s},
        {"unicode", "us-ascii", "h\0\xE9\0\x22\0"s, "h?\""s},
        {"unicode", "us-ascii",
         "\xFF\xFE"
         "A\0"s,
         "A"s},  // byte-order mark
        {"unicode", "us-ascii",
         "\x3D\xD8\x00\xDE"
         "B\0"s,
         "?B"s},  // one pair, one '?'
        {"unicode", "us-ascii",
         "\x00\xDC"
         "B\0\x3D\xD8"s,
         "?B?"s},                                 // lone surrogates
        {"unicode", "us-ascii", "A\0B"s, "A?"s},  // odd length
        {"unicode", "iso-8859-1", "\xE9\0\x20\x20"s, "\xE9?"s},
        {"unicode", "unicode", "\x3D\xD8\x00\xDE"s, "\x3D\xD8\x00\xDE"s},
        {"us-ascii", "unicode", "a\x80"s, "a\0\xFD\xFF"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " to " + c.to);
        CharsetConverter converter;
        ASSERT_TRUE(converter.SetSourceCharset(c.from));
        ASSERT_TRUE(converter.SetTargetCharset(c.to));
        std::vector<uint8_t> out;
        ASSERT_TRUE(converter.Convert(Bytes(c.in), out));
        EXPECT_EQ(out, Bytes(c.out));
    }
}

TEST(Charset, UnknownNamesAreRefused) {
    CharsetConverter converter;
    EXPECT_FALSE(converter.SetSourceCharset("utf-8"));
    EXPECT_TRUE(converter.SetTargetCharset("unicode"));
    std::vector<uint8_t> out;
    EXPECT_FALSE(converter.Convert(Bytes("a"), out));
}

class CharsetFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("vestrel-charset-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::u16string Path(const char* name) const { return FromUtf8((folder_ / name).string()); }
    void Write(const char* name, const std::string& bytes) const {
        std::ofstream(folder_ / name, std::ios::binary) << bytes;
    }
    std::string Read(const char* name) const {
        std::ifstream in(folder_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path folder_;
};

// Every byte value, over several pieces, and a pair of units split between
// two pieces.
TEST_F(CharsetFileTest, ConvertsFilesLargerThanAPiece) {
    std::string page;
    for (int i = 0; i < 3 * 65536 + 7; ++i)
        page += static_cast<char>(i & 0xFF);
    Write("page", page);
    CharsetConverter wide, ascii;
    ASSERT_TRUE(wide.SetSourceCharset("iso-8859-1") && wide.SetTargetCharset("unicode"));
    ASSERT_TRUE(ascii.SetSourceCharset("unicode") && ascii.SetTargetCharset("us-ascii"));
    ASSERT_TRUE(wide.ConvertFile(Path("page"), Path("wide")));
    ASSERT_TRUE(ascii.ConvertFile(Path("wide"), Path("ascii")));
    EXPECT_EQ(Read("wide").size(), 2 * page.size());
    std::string expected = page;
    for (char& c : expected)
        c = static_cast<unsigned char>(c) < 0x80 ? c : '?';
    EXPECT_EQ(Read("ascii"), expected);

    using namespace std::string_literals;
    std::string units(65534, 'a');
    units +=
        "\x3D\xD8\x00\xDE"
        "b\0"s;
    Write("pair", units);
    CharsetConverter same;
    ASSERT_TRUE(same.SetSourceCharset("unicode") && same.SetTargetCharset("unicode"));
    ASSERT_TRUE(same.ConvertFile(Path("pair"), Path("pair-out")));
    EXPECT_EQ(Read("pair-out"), units);
}

}  // namespace
}  // namespace vestrel::charset
