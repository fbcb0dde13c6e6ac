// The windowless drive list: rows as drives come and go and discs change,
// the copies control, focus moves, and the plan after every change.
#include <gtest/gtest.h>

#include "drive/drive_list.h"
#include "drive/volume_notifications.h"
#include "tests/support/fake_drives.h"

namespace vestrel {
namespace {

using namespace vestrel::testing;
using Msg = DriveListMessage;

TEST(DriveList, RowsFollowArrivalsRemovalsAndDiscChanges) {
    FakeDrives drives;
    CountingClock clock;
    drives.Add(u'D', DvdRomDrive().Holding(0x0010));
    drives.Add(u'E', DvdRecorder());
    DriveList list;
    EnumerateOpticalDrives(list);
    ASSERT_EQ(list.rows().size(), 2u);
    EXPECT_EQ(clock.dispatchingWaits, (std::vector<uint32_t>{500, 500}));
    EXPECT_TRUE(list.rows()[0].hasCopiesControl);
    EXPECT_TRUE(list.nextEnabled());
    EXPECT_EQ(SourceTable().at(0).destinations.at(0).recorderLetter, u'E');

    // The user asks for 5; the disc goes, comes back, the count restarts at 1.
    EXPECT_TRUE(list.StepCopies(0, +4));
    list.Replan();
    EXPECT_EQ(SourceTable().at(0).copies, 5u);
    drives.drives[u'D'].Empty();
    EXPECT_EQ(list.RefreshRow(u'D'), CopiesControlChange::Destroyed);
    list.Replan();
    EXPECT_TRUE(SourceTable().empty());
    EXPECT_FALSE(list.nextEnabled());
    drives.drives[u'D'].Holding(0x0010);
    HandleVolumeEvent({VolumeEventKind::MediaArrival, u'D'}, list);
    EXPECT_TRUE(list.rows()[0].hasCopiesControl);
    EXPECT_EQ(list.rows()[0].record.copies, 1);
    EXPECT_TRUE(list.nextEnabled());

    // Removing the only recorder leaves the source without destinations.
    list.Receive(Msg::RemoveDriveRow, u'E');
    ASSERT_EQ(list.rows().size(), 1u);
    EXPECT_FALSE(list.nextEnabled());
    EXPECT_EQ(list.plan().rows.at(0).kind, DestinationKind::NoCapableDrive);

    // Letters without a row are ignored; a letter is never listed twice.
    EXPECT_EQ(list.RemoveRow(u'Q'), std::nullopt);
    EXPECT_EQ(list.RefreshRow(u'Q'), std::nullopt);
    EXPECT_EQ(list.AddRow(u'D'), 0u);
    EXPECT_EQ(list.rows().size(), 1u);
}

TEST(DriveList, CopiesStayWithinOneToNinetyNine) {
    FakeDrives drives;
    drives.Add(u'D', CdRomDrive().Holding(0x0008));
    drives.Add(u'E', CdRecorder());
    DriveList list;
    list.AddRow(u'D');
    list.AddRow(u'E');
    EXPECT_FALSE(list.StepCopies(0, -1));  // from 1
    EXPECT_EQ(list.rows()[0].record.copies, 1);
    EXPECT_TRUE(list.StepCopies(0, +98));
    EXPECT_FALSE(list.StepCopies(0, +1));  // from 99
    EXPECT_EQ(list.rows()[0].record.copies, 99);
    EXPECT_TRUE(list.StepCopies(0, -1));
    EXPECT_EQ(list.rows()[0].record.copies, 98);
    EXPECT_FALSE(list.StepCopies(1, +1));  // no source in the recorder
    EXPECT_FALSE(list.StepCopies(7, +1));
    // A count above one survives a refresh that finds the same disc.
    EXPECT_EQ(list.RefreshRow(u'D'), CopiesControlChange::None);
    EXPECT_EQ(list.rows()[0].record.copies, 98);
}

TEST(DriveList, FocusMovesStopAtTheEnds) {
    EXPECT_EQ(MoveFocus(0, FocusKey::Up, 6), 0u);
    EXPECT_EQ(MoveFocus(2, FocusKey::Down, 6), 3u);
    EXPECT_EQ(MoveFocus(5, FocusKey::Down, 6), 5u);
    EXPECT_EQ(MoveFocus(1, FocusKey::PageDown, 6), 5u);
    EXPECT_EQ(MoveFocus(3, FocusKey::PageDown, 6), 5u);
    EXPECT_EQ(MoveFocus(5, FocusKey::PageUp, 6), 1u);
    EXPECT_EQ(MoveFocus(3, FocusKey::PageUp, 6), 0u);
    EXPECT_EQ(MoveFocus(2, FocusKey::Home, 6), 0u);
    EXPECT_EQ(MoveFocus(2, FocusKey::End, 6), 5u);
    EXPECT_EQ(FocusAfterRemoval(1, 3), 1u);
    EXPECT_EQ(FocusAfterRemoval(3, 3), 2u);
    EXPECT_EQ(FocusAfterRemoval(0, 0), std::nullopt);
}

}  // namespace
}  // namespace vestrel
