// Image file names, folders and sizes, and the RIFF/WAVE header of audio
// images: its exact bytes, its reader, and an independent WAV reader's view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "drive/file_system.h"
#include "engine/image_files.h"
#include "engine/wave_header.h"

namespace vestrel {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ImageFileName, LetterThreeDigitIndexAndKind) {
    EXPECT_EQ(ImageFileName(u"C:\\t4k\\Temp\\", u'E', 0, true), u"C:\\t4k\\Temp\\E000.iso");
    EXPECT_EQ(ImageFileName(u"D:\\Temp\\", u'E', 1, false), u"D:\\Temp\\E001.wav");
    EXPECT_EQ(ImageFileName(u"/tmp/", u'Z', 98, false), u"/tmp/Z098.wav");
}

TEST(ImageFolders, HomeBelowApplicationDataAndFallbackOnAFixedDrive) {
    EXPECT_EQ(HomeImageFolder(u"C:\\Users\\Ann\\AppData\\Roaming", u'\\'),
              u"C:\\Users\\Ann\\AppData\\Roaming\\t4k\\Temp\\");
    EXPECT_EQ(HomeImageFolder(u"/home/ann/.local/share", u'/'),
              u"/home/ann/.local/share/t4k/Temp/");
    EXPECT_EQ(HomeImageFolder(u""), u"");
    EXPECT_EQ(FallbackImageFolder(u'D'), u"D:\\Temp\\");
}

TEST(PlannedImageBytes, WholeSectorsOfTheTracksKind) {
    EXPECT_EQ(PlannedImageBytes(true, 0, 999), 2048000u);
    EXPECT_EQ(PlannedImageBytes(false, 150, 1149), 2352000u);
    EXPECT_EQ(PlannedImageBytes(true, 0, 0xFFFFFFFF), 2048ull << 32);
    EXPECT_EQ(PlannedImageBytes(true, 10, 9), 0u);
}

TEST(WaveHeader, ExactBytesForAThousandSectors) {
    auto h = WaveHeaderBytes(2352000);
    EXPECT_EQ(Bytes(h.begin(), h.end()),
              (Bytes{'R',  'I',  'F',  'F',  0xA4, 0xE3, 0x23, 0x00, 'W',  'A',  'V',
                     'E',  'f',  'm',  't',  ' ',  0x10, 0x00, 0x00, 0x00, 0x01, 0x00,
                     0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1, 0x02, 0x00, 0x04,
                     0x00, 0x10, 0x00, 'd',  'a',  't',  'a',  0x80, 0xE3, 0x23, 0x00}));
}

// A file in memory whose writes can be made to fail.
class MemoryFile : public File {
  public:
    bool Write(const uint8_t* data, size_t size, uint32_t& error) override {
        if (failWrites) {
            error = 28;
            return false;
        }
        if (bytes.size() < position + size)
            bytes.resize(position + size);
        std::copy(data, data + size, bytes.begin() + static_cast<std::ptrdiff_t>(position));
        position += size;
        return true;
    }
    size_t Read(uint8_t*, size_t, uint32_t&) override { return 0; }
    bool Seek(uint64_t offset) override {
        position = static_cast<size_t>(offset);
        return true;
    }
    bool Size(uint64_t& size) override {
        size = bytes.size();
        return true;
    }
    Bytes bytes;
    size_t position = 0;
    bool failWrites = false;
};

TEST(WaveHeader, WrittenAtTheStartOfTheFileAndReadBack) {
    MemoryFile file;
    file.bytes.assign(100, 'x');
    file.position = 100;
    ASSERT_TRUE(WriteWaveHeader(file, 2352000));
    ASSERT_EQ(file.bytes.size(), 100u);
    EXPECT_EQ(Bytes(file.bytes.begin() + 44, file.bytes.end()), Bytes(56, 'x'));

    auto header = ReadWaveHeader(ByteReader(file.bytes));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->riffBytes, 2352036u);
    EXPECT_EQ(header->dataBytes, 2352000u);
    EXPECT_TRUE(header->IsCdAudio());

    file.failWrites = true;
    EXPECT_FALSE(WriteWaveHeader(file, 10));
}

TEST(WaveHeader, TheReaderRefusesShortOrForeignHeaders) {
    auto h = WaveHeaderBytes(23520);
    EXPECT_FALSE(ReadWaveHeader(ByteReader(h.data(), 43)));
    for (size_t tagAt : {0u, 8u, 12u, 36u}) {
        auto bad = h;
        bad[tagAt] ^= 0x20;
        EXPECT_FALSE(ReadWaveHeader(ByteReader(bad.data(), bad.size()))) << tagAt;
    }
    auto longFormat = h;
    longFormat[16] = 18;  // a format chunk of another size moves "data"
    EXPECT_FALSE(ReadWaveHeader(ByteReader(longFormat.data(), longFormat.size())));

    auto mono = h;
    mono[22] = 1;
    auto header = ReadWaveHeader(ByteReader(mono.data(), mono.size()));
    ASSERT_TRUE(header);
    EXPECT_FALSE(header->IsCdAudio());
}

#ifndef _WIN32
// sox, when installed, must read an audio image as CD audio of the right
// length.
TEST(WaveHeader, AnIndependentWavReaderAgrees) {
    if (std::system("command -v soxi >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soxi is not installed";
    auto path = std::filesystem::temp_directory_path() /
                ("vestrel-wave-" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".wav");
    {
        uint32_t error = 0;
        auto file = PlatformFileSystem().CreateNew(path.u16string(), error);
        ASSERT_TRUE(file);
        Bytes silence(44 + 2352 * 75, 0);
        ASSERT_TRUE(file->Write(silence.data(), silence.size(), error));
        ASSERT_TRUE(WriteWaveHeader(*file, 2352 * 75));
    }
    std::string out = path.string() + ".txt";
    std::string command = "for o in -r -c -b -s; do soxi $o '" + path.string() +
                          "' || exit 1; done > '" + out + "' 2>&1";
    int rc = std::system(command.c_str());
    std::ifstream result(out);
    std::string text((std::istreambuf_iterator<char>(result)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    std::filesystem::remove(out);
    ASSERT_EQ(rc, 0) << text;
    // Rate, channels, bits, and samples per channel: one second of audio.
    EXPECT_EQ(text, "44100\n2\n16\n44100\n");
}
#endif

}  // namespace
}  // namespace vestrel
