// Record creation and refresh: what a drive row learns about its drive and
// disc, and how the copies count survives disc changes.
#include <gtest/gtest.h>

#include "drive/cdb.h"
#include "drive/drive_list.h"
#include "drive/drive_record.h"
#include "tests/support/fake_drives.h"

namespace vestrel {
namespace {

using namespace disc;
using namespace vestrel::testing;

TEST(CreateDriveRecord, DiscStatesGiveTypeBlankAndCopies) {
    FakeDrives drives;
    drives.Add(u'D', DvdRecorder());                        // no disc
    drives.Add(u'E', DvdRecorder()).Holding(0x001B, true);  // blank DVD+R
    drives.Add(u'F', DvdRomDrive()).Holding(0x0010);        // pressed DVD-ROM
    drives.Add(u'G', DvdRomDrive()).Holding(0x0010).failures[opcode::ReadDiscInformation] =
        CheckCondition(5, 0x20, 0);

    DriveRecord none = CreateDriveRecord(u'D');
    EXPECT_TRUE(none.usable());
    EXPECT_EQ(none.discType, None);
    EXPECT_FALSE(none.blank);
    EXPECT_EQ(none.copies, 0);
    EXPECT_FALSE(none.holdsSource());

    DriveRecord blank = CreateDriveRecord(u'E');
    EXPECT_EQ(blank.discType, DvdPlusR);
    EXPECT_TRUE(blank.blank);
    EXPECT_EQ(blank.copies, 0);

    DriveRecord pressed = CreateDriveRecord(u'F');
    EXPECT_EQ(pressed.discType, DvdRom);
    EXPECT_FALSE(pressed.blank);
    EXPECT_EQ(pressed.copies, 1);
    EXPECT_EQ(pressed.reads & (CdRom | DvdRom), CdRom | DvdRom);
    EXPECT_EQ(pressed.writes, 0u);

    // A disc whose information cannot be read counts as blank.
    DriveRecord unreadable = CreateDriveRecord(u'G');
    EXPECT_EQ(unreadable.discType, DvdRom);
    EXPECT_TRUE(unreadable.blank);
    EXPECT_EQ(unreadable.copies, 0);
}

TEST(CreateDriveRecord, ADiscToCopyIsSizedByItsLeadOutAndRefreshesKeepItCurrent) {
    FakeDrives drives;
    FakeDrive& d = drives.Add(u'F', DvdRomDrive().Holding(0x0010));
    d.leadOut = kDvdLayerBlocks + 1;
    DriveRecord r = CreateDriveRecord(u'F');
    EXPECT_EQ(r.discBlocks, kDvdLayerBlocks + 1);

    d.leadOut = 1000;
    RefreshDriveRecord(r);
    EXPECT_EQ(r.discBlocks, 1000u);
    // A blank has nothing to copy; a table of contents that cannot be read
    // leaves the size unknown.
    d.Holding(0x001B, true);
    RefreshDriveRecord(r);
    EXPECT_EQ(r.discBlocks, 0u);
    d.Holding(0x0010).failures[opcode::ReadToc] = CheckCondition(3, 0x57, 0);
    RefreshDriveRecord(r);
    EXPECT_TRUE(r.holdsSource());
    EXPECT_EQ(r.discBlocks, 0u);

    // One data track from LBA 0, lead-out at 2298497 (00231281h).
    const Bytes toc = {0x00, 0x12, 0x01, 0x01, 0x00, 0x14, 0x01, 0x00, 0x00, 0x00,
                       0x00, 0x00, 0x00, 0x14, 0xAA, 0x00, 0x00, 0x23, 0x12, 0x81};
    EXPECT_EQ(LeadOutFromToc(ByteReader(toc)), 2298497u);
    EXPECT_EQ(LeadOutFromToc(ByteReader(toc.data(), toc.size() - 1)), 0u);
    Bytes noLeadOut = toc;
    noLeadOut[14] = 0x02;
    EXPECT_EQ(LeadOutFromToc(ByteReader(noLeadOut)), 0u);
}

TEST(CreateDriveRecord, TitleNamesClassLetterAndTrimmedVendor) {
    FakeDrives drives;
    drives.Add(u'E', BdRecorder()).vendor = "ORBITA  ";
    DriveRecord r = CreateDriveRecord(u'E');
    EXPECT_EQ(r.topProfile, 0x0043);
    EXPECT_EQ(r.vendor, u"ORBITA");
    EXPECT_EQ(DriveDisplayName(r), u"BD-RE Drive (E:) [ORBITA]");
    EXPECT_EQ(RowTexts(r).currentDisc, u"Current disc type: No disc");
    r.discType = DvdPlusR;
    r.blank = true;
    EXPECT_EQ(RowTexts(r).currentDisc, u"Current disc type: DVD+R (Empty)");
    EXPECT_EQ(r.writes & BdTypes, BdR | BdRe);

    // Leading spaces go, a NUL ends the field, the rest is the ANSI page.
    Bytes inquiry = InquiryReply(std::string(" AB\0XYZ ", 8));
    EXPECT_EQ(VendorFromInquiry(ByteReader(inquiry)), u"AB");
    inquiry = InquiryReply("\xC9LAN");
    EXPECT_EQ(VendorFromInquiry(ByteReader(inquiry)), u"\u00C9LAN");
    // A reply that stops inside the field gives what arrived.
    EXPECT_EQ(VendorFromInquiry(ByteReader(inquiry.data(), 11)), u"\u00C9LA");
    EXPECT_EQ(VendorFromInquiry(ByteReader()), u"");
}

TEST(CreateDriveRecord, UnusableDriveKeepsEverythingAfterItsProbeAtZero) {
    FakeDrives drives;
    FakeDrive& d = drives.Add(u'E', DvdRecorder().Holding(0x0010));
    d.failures[opcode::Inquiry] = CheckCondition(5, 0x24, 0);
    DriveRecord r = CreateDriveRecord(u'E');
    EXPECT_EQ(r.probe.kind, ProbeKind::ScsiError);
    EXPECT_EQ(r.letter, u'E');
    EXPECT_EQ(r.topProfile, 0);
    EXPECT_EQ(r.vendor, u"");
    EXPECT_EQ(r.reads | r.writes | r.discType | r.copies, 0u);
    EXPECT_EQ(drives.OpcodesSentTo(u'E').size(), 2u);  // the probe's own commands

    // A refresh never makes it a source.
    d.failures.clear();
    RefreshDriveRecord(r);
    EXPECT_EQ(r.discType, None);
    EXPECT_EQ(r.copies, 0);
    EXPECT_EQ(drives.OpcodesSentTo(u'E').size(), 2u);
}

TEST(RefreshDriveRecord, CountAboveOneSurvivesOnlyWhileADiscToCopyIsThere) {
    FakeDrives drives;
    FakeDrive& d = drives.Add(u'E', DvdRecorder().Holding(0x0010));
    DriveRecord r = CreateDriveRecord(u'E');
    r.copies = 5;

    RefreshDriveRecord(r);
    EXPECT_EQ(r.copies, 5);

    d.Empty();
    RefreshDriveRecord(r);
    EXPECT_EQ(r.discType, None);
    EXPECT_FALSE(r.blank);
    EXPECT_EQ(r.copies, 0);
    // READ DISC INFORMATION goes out even without a disc.
    EXPECT_EQ(drives.OpcodesSentTo(u'E').back(), opcode::ReadDiscInformation);

    d.Holding(0x0010);
    RefreshDriveRecord(r);
    EXPECT_EQ(r.copies, 1);

    r.copies = 7;
    d.Holding(0x001B, true);
    RefreshDriveRecord(r);
    EXPECT_EQ(r.discType, DvdPlusR);
    EXPECT_TRUE(r.blank);
    EXPECT_EQ(r.copies, 0);

    // A failed GET CONFIGURATION reads as no disc.
    r.copies = 3;
    d.Holding(0x0008);
    d.failures[opcode::GetConfiguration] = CheckCondition(2, 0x04, 0x01);
    RefreshDriveRecord(r);
    EXPECT_EQ(r.discType, None);
    EXPECT_FALSE(r.blank);
    EXPECT_EQ(r.copies, 0);

    // Class, vendor and masks are not read again.
    const DiscTypeMask writes = r.writes;
    d.features.clear();
    d.failures.clear();
    RefreshDriveRecord(r);
    EXPECT_EQ(r.writes, writes);
    EXPECT_EQ(r.copies, 1);
}

}  // namespace
}  // namespace vestrel
