// Image files planned on a simulated computer: a small home folder and a
// fixed drive with room.
#include <gtest/gtest.h>

#include "drive/source_table.h"
#include "engine/image_files.h"
#include "engine/image_store.h"
#include "engine/source_layout.h"
#include "tests/simulator/sim_fixture.h"

namespace vestrel {
namespace {

using namespace vestrel::sim::testing;

TEST(ImagePlan, ATrackTooBigForHomeGoesToTheFixedDriveAndIsWrittenThere) {
    TempFolder folder;
    WriteFile(folder / "dvd.iso", PatternBytes(40 * 2048, 21));
    Bay bay(R"(appdata-free = 50M
[folder D]
free = 60M
[disc dvd]
iso = dvd.iso
type = DVD-ROM
[drive E]
model = dvd-rom-reader
disc = dvd
becoming-ready = 0
)",
            folder.path());
    SourceRecord source;
    source.driveLetter = u'E';
    source.discType = disc::DvdRom;
    ASSERT_EQ(ReadSourceLayout(source), LayoutOutcome::Read);
    std::vector<SourceRecord> sources = {source};
    ASSERT_TRUE(PlanImageFiles(sources));
    const std::u16string& path = sources[0].tracks[0].imagePath;
    std::u16string root = bay.simulator.RootFolder(u'D');
    EXPECT_EQ(path, root + u"Temp" + kPathSeparator + u"E000.iso");
    ASSERT_TRUE(CreateImageFolders(path));
    EXPECT_TRUE(fs::is_directory(fs::path(root) / "Temp"));

    // Once the fixed drive is full as well, nothing fits anywhere.
    WriteFile(fs::path(root) / "filler.bin", PatternBytes(20 * 1024 * 1024, 22));
    EXPECT_FALSE(PlanImageFiles(sources));
    EXPECT_TRUE(sources[0].tracks[0].imagePath.empty());
}

}  // namespace
}  // namespace vestrel
