// Drive-wide operations: which letters count as optical drives, the tray
// decision of the Remove discs page, and volume labels.
#include <gtest/gtest.h>

#include "drive/cdb.h"
#include "drive/inventory.h"
#include "tests/support/fake_drives.h"

namespace vestrel {
namespace {

using namespace vestrel::testing;

struct RecordingTarget : DriveListTarget {
    void Receive(DriveListMessage message, char16_t letter) override {
        received.push_back({message, letter});
    }
    std::vector<std::pair<DriveListMessage, char16_t>> received;
};

// Optical drives in D, F and Z; a hard disc in C; a letter that reports an
// optical drive type but is not among the logical drives is left out.
class MixedVolumes : public FakeDrives {
  public:
    MixedVolumes() {
        Add(u'Z', CdRomDrive());
        Add(u'F', DvdRecorder());
        Add(u'D', CdRecorder());
        Add(u'C', FakeDrive{}).kind = DriveKind::Fixed;
    }
    uint32_t LogicalDrives() override { return FakeDrives::LogicalDrives() & ~(1u << 25); }
};

TEST(Inventory, OnlyExistingOpticalLettersInLetterOrder) {
    MixedVolumes volumes;
    EXPECT_EQ(OpticalDriveLetters(), (std::vector<char16_t>{u'D', u'F'}));

    RecordingTarget target;
    EnumerateOpticalDrives(target);
    ASSERT_EQ(target.received.size(), 2u);
    EXPECT_EQ(target.received[0], std::make_pair(DriveListMessage::AddDriveRow, u'D'));
    EXPECT_EQ(target.received[1], std::make_pair(DriveListMessage::AddDriveRow, u'F'));
    EXPECT_EQ(static_cast<uint32_t>(DriveListMessage::AddDriveRow), 0x0401u);

    UnlockAllOpticalDrives();
    EjectAllOpticalDrives();
    EXPECT_EQ(volumes.transport.unlocked, (std::vector<char16_t>{u'D', u'F'}));
    EXPECT_EQ(volumes.transport.ejected, (std::vector<char16_t>{u'D', u'F'}));
    EXPECT_TRUE(volumes.transport.commands.empty());
}

TEST(TrayOpenBlocks, OpenTrayHoldsUpTheRemoveDiscsPageOnlyOnReadersOfCdOrOnRecorders) {
    FakeDrives drives;
    drives.Add(u'D', CdRomDrive()).trayOpen = true;
    drives.Add(u'E', DvdRomDrive()).trayOpen = true;
    drives.Add(u'F', DvdRecorder()).trayOpen = true;
    drives.Add(u'G', CdRecorder());  // closed, no disc
    drives.Add(u'H', DvdRecorder()).Holding(0x0010);
    FakeDrive& broken = drives.Add(u'I', CdRecorder());
    broken.trayOpen = true;
    broken.failures[opcode::Inquiry] = CheckCondition(4, 0x44, 0);
    // A usable device whose capabilities tell nothing.
    drives.Add(u'J', FakeDrive{}).trayOpen = true;

    EXPECT_EQ(TrayOpenBlocks(u'D'), TrayDecision::HoldsUp);
    EXPECT_EQ(TrayOpenBlocks(u'E'), TrayDecision::DoesNotHoldUp);
    EXPECT_EQ(TrayOpenBlocks(u'F'), TrayDecision::HoldsUp);
    EXPECT_EQ(TrayOpenBlocks(u'G'), TrayDecision::DoesNotHoldUp);
    EXPECT_EQ(TrayOpenBlocks(u'H'), TrayDecision::DoesNotHoldUp);
    EXPECT_EQ(TrayOpenBlocks(u'I'), TrayDecision::DoesNotHoldUp);
    EXPECT_EQ(TrayOpenBlocks(u'J'), TrayDecision::DoesNotHoldUp);
    EXPECT_EQ(TrayOpenBlocks(u'Q'), TrayDecision::DoesNotHoldUp);
    // A closed tray costs one command.
    EXPECT_EQ(drives.OpcodesSentTo(u'G'), std::vector<uint8_t>{opcode::TestUnitReady});
    EXPECT_EQ(static_cast<int>(TrayDecision::HoldsUp), 0);
}

TEST(TrayOpenBlocks, ProbeAndCapabilityQueryRunUnderTheDriveLock) {
    FakeDrives drives;
    drives.Add(u'F', DvdRecorder()).trayOpen = true;
    drives.watchLock = true;
    TrayOpenBlocks(u'F');
    // TEST UNIT READY, then the probe's three and the two capability commands.
    ASSERT_EQ(drives.commandsUnderLock.size(), 6u);
    EXPECT_FALSE(drives.commandsUnderLock[0]);
    for (size_t i = 1; i < 6; ++i)
        EXPECT_TRUE(drives.commandsUnderLock[i]) << i;
    EXPECT_FALSE(DriveLockHeld());
}

TEST(ReadVolumeLabel, TrimmedBoundedAndReadUnderTheLock) {
    FakeDrives drives;
    drives.Add(u'E', DvdRomDrive().Holding(0x0010)).label = u"  HOLIDAY 2009 ";
    drives.Add(u'F', DvdRomDrive().Holding(0x0010)).label = std::u16string(300, u'X');
    drives.Add(u'G', DvdRomDrive());
    drives.watchLock = true;
    EXPECT_EQ(ReadVolumeLabel(u'E'), u"HOLIDAY 2009");
    EXPECT_EQ(ReadVolumeLabel(u'F'), std::u16string(260, u'X'));
    EXPECT_EQ(ReadVolumeLabel(u'G'), u"");
    EXPECT_EQ(drives.labelReadsUnderLock, (std::vector<bool>{true, true, true}));
}

}  // namespace
}  // namespace vestrel
