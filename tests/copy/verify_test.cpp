// Writers asked to verify read every copy back in the recorder and compare
// it with the image files: a copy recorded wrongly while the drive reported
// success is caught at the first sector that differs, and counts as failed.
#include <gtest/gtest.h>

#include "engine/recording.h"
#include "engine/writer_thread.h"
#include "tests/copy/copy_fixture.h"

namespace vestrel {
namespace {

using namespace vestrel::sim::testing;

class VerifyTest : public testing::CopyTest {};

TEST_F(VerifyTest, ACopyThatDiffersFailsAtItsFirstDifferingSector) {
    struct Row {
        const char* what;
        const char* reader;
        const char* recorder;
        const char* blank;
        DiscType source;
        int32_t corrupt;  // the sector recorded wrongly; -1: none
        bool verify;
    };
    // The mixed CD's audio track starts at 40; a CD copy's sectors are
    // numbered from its first track.
    const Row rows[] = {
        {"mixed CD on CD-R", "dvd-rom-reader", "cd-rw-recorder", "CD-R", disc::CdRom, -1, true},
        {"mixed CD, audio sector", "dvd-rom-reader", "cd-rw-recorder", "CD-R", disc::CdRom, 52,
         true},
        {"mixed CD, data sector", "dvd-rom-reader", "cd-rw-recorder", "CD-R", disc::CdRom, 3, true},
        {"DVD on DVD+R, closed", "dvd-rom-reader", "dvd-rw-dl-recorder", "DVD+R", disc::DvdRom, 99,
         true},
        {"BD on BD-RE, formatted", "bd-re-recorder", "bd-re-recorder", "BD-RE", disc::BdRom, -1,
         true},
        {"BD on BD-RE, last sector", "bd-re-recorder", "bd-re-recorder", "BD-RE", disc::BdRom, 99,
         true},
        // Without verification the same fault goes unnoticed.
        {"DVD on DVD+R, unverified", "dvd-rom-reader", "dvd-rw-dl-recorder", "DVD+R", disc::DvdRom,
         99, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        BaySpec bay;
        if (r.source == disc::CdRom)
            bay.Cue("source", PatternTracks({40, -30}, 1));
        else
            bay.Iso("source", r.source == disc::DvdRom ? "DVD-ROM" : "BD-ROM",
                    PatternBytes(100 * 2048, 3));
        bay.Drive('D', r.reader, "source").Drive('F', r.recorder);
        if (r.corrupt >= 0)
            bay.With("fault = corrupt-write " + std::to_string(r.corrupt) + " 1");
        Bay sim(bay.Blanks('F', r.blank), folder_.path());
        ReadSources({{u'D', r.source, {{u'F', 1}}}});
        testing::QuickClock clock;
        MemoryPanel panel(u'F');
        panel.SetObserver([](MemoryPanel& p, const MemoryPanel::Update& u) {
            if (u.links == panel_link::SkipCopy)
                p.Click(panel_link::SkipCopy);
        });
        Run(WriterThread, u'F', panel, r.verify ? writer_option::VerifyCopies : 0);

        const bool caught = r.verify && r.corrupt >= 0;
        EXPECT_EQ(testing::EverShown(panel, u"Verifying the copy..."), r.verify);
        EXPECT_EQ(testing::EverShown(panel, kCopyVerifiedStatus), r.verify && !caught);
        EXPECT_EQ(panel.GetRunState(), caught ? RunState::Stopped : RunState::Finished);
        if (caught) {
            EXPECT_TRUE(testing::Offered(
                panel, FormatText(u"The copy differs from its source at sector %d.", {r.corrupt}),
                panel_link::SkipCopy));
        }
    }
}

}  // namespace
}  // namespace vestrel
