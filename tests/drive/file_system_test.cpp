// The platform's files and folders, in a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "drive/file_system.h"

namespace vestrel {
namespace {

class FileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("vestrel-fs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    void TearDown() override {
        for (auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
            fs_.SetReadOnly(entry.path().u16string(), false);
        }
        std::filesystem::remove_all(root_);
    }
    std::u16string Path(const char* name) { return (root_ / name).u16string(); }

    FileSystem& fs_ = PlatformFileSystem();
    std::filesystem::path root_;
};

TEST_F(FileSystemTest, WriteReadSeekAndSize) {
    uint32_t error = 0;
    auto out = fs_.CreateNew(Path("a.iso"), error);
    ASSERT_TRUE(out);
    std::vector<uint8_t> data(70000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    EXPECT_TRUE(out->Write(data.data(), data.size(), error));
    ASSERT_TRUE(out->Seek(0));
    const uint8_t head[4] = {'R', 'I', 'F', 'F'};
    EXPECT_TRUE(out->Write(head, 4, error));
    out.reset();

    auto in = fs_.OpenRead(Path("a.iso"), error);
    ASSERT_TRUE(in);
    uint64_t size = 0;
    ASSERT_TRUE(in->Size(size));
    EXPECT_EQ(size, 70000u);
    std::vector<uint8_t> back(80000);
    EXPECT_EQ(in->Read(back.data(), back.size(), error), 70000u);
    EXPECT_EQ(back[0], 'R');
    EXPECT_EQ(back[4], data[4]);
    EXPECT_EQ(back[69999], data[69999]);
    EXPECT_EQ(in->Read(back.data(), 10, error), 0u);  // at the end
}

// Images of dual-layer discs pass 4 GB: offsets past 32 bits are kept whole
// (the file is sparse, so this costs no disk).
TEST_F(FileSystemTest, OffsetsPastFourGigabytes) {
    constexpr uint64_t kFar = 5'000'000'000;
    const uint8_t tail[4] = {'E', 'N', 'D', '!'};
    uint32_t error = 0;
    auto out = fs_.CreateNew(Path("large.iso"), error);
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->Seek(kFar));
    EXPECT_TRUE(out->Write(tail, sizeof tail, error));
    out.reset();
    auto in = fs_.OpenRead(Path("large.iso"), error);
    ASSERT_TRUE(in);
    uint64_t size = 0;
    ASSERT_TRUE(in->Size(size));
    EXPECT_EQ(size, kFar + sizeof tail);
    ASSERT_TRUE(in->Seek(kFar - 2));
    uint8_t back[8] = {};
    EXPECT_EQ(in->Read(back, sizeof back, error), 6u);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 6),
              (std::vector<uint8_t>{0, 0, 'E', 'N', 'D', '!'}));
}

// Two handles adding to one file, as a report and a resumed run's do: each
// write lands at the end, even after the other's, and flushes.
TEST_F(FileSystemTest, AppendedLinesLandAtTheEnd) {
    uint32_t error = 0;
    auto first = fs_.OpenAppend(Path("r.jsonl"), error);
    auto second = fs_.OpenAppend(Path("r.jsonl"), error);
    ASSERT_TRUE(first && second) << error;
    const std::string a = "first\n", b = "second\n";
    EXPECT_TRUE(first->Write(reinterpret_cast<const uint8_t*>(a.data()), a.size(), error));
    EXPECT_TRUE(second->Write(reinterpret_cast<const uint8_t*>(b.data()), b.size(), error));
    EXPECT_TRUE(first->Write(reinterpret_cast<const uint8_t*>(a.data()), a.size(), error));
    EXPECT_TRUE(first->Flush(error) && second->Flush(error)) << error;
    first.reset();
    second.reset();
    auto in = fs_.OpenRead(Path("r.jsonl"), error);
    ASSERT_TRUE(in);
    std::string text(64, '\0');
    text.resize(in->Read(reinterpret_cast<uint8_t*>(text.data()), text.size(), error));
    EXPECT_EQ(text, "first\nsecond\nfirst\n");
}

TEST_F(FileSystemTest, FoldersAndMissingFilesReportErrors) {
    uint32_t error = 0;
    std::u16string folder = Path("t4k");
    EXPECT_FALSE(fs_.Exists(folder));
    EXPECT_TRUE(fs_.CreateFolder(folder, error));
    EXPECT_TRUE(fs_.IsFolder(folder));
    EXPECT_FALSE(fs_.CreateFolder(folder, error));
    EXPECT_NE(error, 0u);

    error = 0;
    EXPECT_FALSE(fs_.OpenRead(Path("missing.wav"), error));
    EXPECT_NE(error, 0u);
    error = 0;
    EXPECT_FALSE(fs_.RemoveFile(Path("missing.wav"), error));
    EXPECT_NE(error, 0u);

    // A folder that is not empty stays.
    std::u16string inner =
        folder + std::u16string(1, std::filesystem::path::preferred_separator) + u"E000.iso";
    ASSERT_TRUE(fs_.CreateNew(inner, error));
    EXPECT_FALSE(fs_.RemoveFolder(folder));
    EXPECT_TRUE(fs_.RemoveFile(inner, error));
    EXPECT_TRUE(fs_.RemoveFolder(folder));
    EXPECT_FALSE(fs_.Exists(folder));
}

TEST_F(FileSystemTest, ReadOnlyFilesAreNeitherDeletedNorEmptied) {
    uint32_t error = 0;
    std::u16string path = Path("E000.iso");
    {
        auto f = fs_.CreateNew(path, error);
        ASSERT_TRUE(f);
        const uint8_t byte = 1;
        ASSERT_TRUE(f->Write(&byte, 1, error));
    }
    ASSERT_TRUE(fs_.SetReadOnly(path, true));
    error = 0;
    EXPECT_FALSE(fs_.RemoveFile(path, error));
    EXPECT_NE(error, 0u);
    EXPECT_FALSE(fs_.CreateNew(path, error));
    EXPECT_TRUE(fs_.Exists(path));
    ASSERT_TRUE(fs_.SetReadOnly(path, false));
    EXPECT_TRUE(fs_.RemoveFile(path, error));
}

}  // namespace
}  // namespace vestrel
