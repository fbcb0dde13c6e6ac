// The drive list on a simulated bay: the bay's volume events, queued as the
// frame's message loop would queue them, keep the rows and the plan current.
#include <gtest/gtest.h>

#include <deque>

#include "drive/drive_list.h"
#include "drive/volume_notifications.h"
#include "simulator/simulator.h"
#include "tests/support/scripted_transport.h"
#include "tests/support/test_bay.h"

namespace vestrel {
namespace {

class SimulatedBay : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        const std::string text = sim::testing::BaySpec()
                                     .Disc("written-dvd", "used = DVD+R")
                                     .Drive('D', "dvd-rom-reader")
                                     .Drive('F', "dvd-rw-dl-recorder")
                                     .Drive('G', "bd-re-recorder")
                                     .Text();
        ASSERT_TRUE(bay.LoadText(text, ".", error)) << error;
        bay.Install();
        bay.Subscribe([this](const VolumeEvent& e) { queue.push_back(e); });
        EnumerateOpticalDrives(list);
    }
    // Delivers what the bay raised, one event at a time.
    void Dispatch() {
        bay.Pump();
        while (!queue.empty()) {
            VolumeEvent e = queue.front();
            queue.pop_front();
            HandleVolumeEvent(e, list);
        }
    }
    std::u16string Letters() const {
        std::u16string s;
        for (const DriveRow& r : list.rows())
            s.push_back(r.record.letter);
        return s;
    }

    testing::CountingClock clock;
    sim::Simulator bay;
    std::deque<VolumeEvent> queue;
    DriveList list;
};

TEST_F(SimulatedBay, DiscAndDriveChangesReachTheRowsAndThePlan) {
    EXPECT_EQ(Letters(), u"DFG");
    EXPECT_FALSE(list.nextEnabled());

    std::string error;
    ASSERT_TRUE(bay.LoadDisc(u'D', bay.MakeDisc("written-dvd", error)));
    Dispatch();
    ASSERT_TRUE(list.rows()[0].hasCopiesControl);
    EXPECT_EQ(list.rows()[0].record.discType, disc::DvdPlusR);
    EXPECT_TRUE(list.nextEnabled());
    list.StepCopies(0, +2);
    list.Replan();
    ASSERT_EQ(SourceTable().size(), 1u);
    const std::vector<DestinationEntry>& d = SourceTable()[0].destinations;
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].recorderLetter, u'G');  // the larger write mask comes first
    EXPECT_EQ(d[0].copies, 2u);
    EXPECT_EQ(d[1].copies, 1u);

    bay.DetachDrive(u'G');
    Dispatch();
    EXPECT_EQ(Letters(), u"DF");
    EXPECT_EQ(SourceTable()[0].destinations.size(), 1u);
    bay.AttachDrive(u'G');
    Dispatch();
    EXPECT_EQ(Letters(), u"DFG");

    // Taking the disc out: after the 3 s wait the source is gone.
    bay.OpenTray(u'D');
    Dispatch();
    EXPECT_FALSE(list.rows()[0].hasCopiesControl);
    EXPECT_TRUE(SourceTable().empty());
    EXPECT_FALSE(list.nextEnabled());
    EXPECT_NE(std::find(clock.dispatchingWaits.begin(), clock.dispatchingWaits.end(), 3000u),
              clock.dispatchingWaits.end());
}

}  // namespace
}  // namespace vestrel
