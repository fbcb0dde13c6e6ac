#include "drive/drive_record.h"

#include <string_view>
#include <vector>

#include "drive/capabilities.h"
#include "drive/cdb.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"
#include "drive/text.h"

namespace vestrel {

namespace {

constexpr size_t kVendorOffset = 8;
constexpr size_t kVendorLength = 8;
constexpr uint8_t kLeadOutTrack = 0xAA;

// Whether the disc in the drive is empty. A READ DISC INFORMATION that
// fails leaves its reply zero, which reads as empty.
bool DiscIsEmpty(char16_t letter) {
    std::vector<uint8_t> info(kDiscInformationLength);
    SendReadDiscInformation(letter, info);
    return ReadDiscInformationReply(ByteReader(info)).discStatus == kDiscStatusEmpty;
}

}  // namespace

std::u16string VendorFromInquiry(ByteReader inquiry) {
    std::string bytes;
    for (size_t i = 0; i < kVendorLength && inquiry.Has(kVendorOffset + i, 1); ++i) {
        uint8_t c = inquiry.U8(kVendorOffset + i);
        if (c == 0)
            break;
        bytes.push_back(c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c));
    }
    return TrimSpaces(FromLatin1(bytes));
}

uint64_t LeadOutFromToc(ByteReader reply) {
    const Toc toc = ReadTocReply(reply);
    if (!toc.complete || toc.entries.empty() || toc.entries.back().trackNumber != kLeadOutTrack)
        return 0;
    return toc.entries.back().address;
}

uint64_t ReadDiscBlocks(char16_t letter) {
    std::vector<uint8_t> toc(kTocLength);
    if (!SendReadToc(letter, false, toc).ok())
        return 0;
    return LeadOutFromToc(ByteReader(toc));
}

DriveRecord CreateDriveRecord(char16_t letter) {
    DriveRecord record;
    record.letter = letter;
    record.probe = ProbeDrive(letter);
    if (!record.usable())
        return record;

    std::vector<uint8_t> configuration(kGetConfigurationLength);
    SendGetConfiguration(letter, configuration);
    ByteReader configReader(configuration);
    record.topProfile = HighestProfile(configReader).value_or(0);

    std::vector<uint8_t> inquiry(kInquiryLength);
    SendInquiry(letter, inquiry);
    record.vendor = VendorFromInquiry(ByteReader(inquiry));

    DriveCapabilities capabilities = ReadDriveCapabilities(letter);
    record.reads = capabilities.reads;
    record.writes = capabilities.writes;

    record.discType = ProfileToDiscType(ReadConfigurationHeader(configReader).currentProfile);
    if (record.discType != disc::None) {
        if (DiscIsEmpty(letter)) {
            record.blank = true;
        } else {
            record.copies = kMinCopies;
            record.discBlocks = ReadDiscBlocks(letter);
        }
    }
    return record;
}

void RefreshDriveRecord(DriveRecord& record) {
    // An unusable drive keeps everything after its probe at zero, so it can
    // never turn into a source.
    if (!record.usable())
        return;
    std::vector<uint8_t> configuration(kGetConfigurationLength);
    SendGetConfiguration(record.letter, configuration);
    record.discType =
        ProfileToDiscType(ReadConfigurationHeader(ByteReader(configuration)).currentProfile);

    const bool empty = DiscIsEmpty(record.letter);
    record.blank = record.discType != disc::None && empty;

    const bool source = record.discType != disc::None && !record.blank;
    record.discBlocks = source ? ReadDiscBlocks(record.letter) : 0;
    if (!source)
        record.copies = 0;
    else if (record.copies < 2)
        record.copies = kMinCopies;
}

std::u16string DriveDisplayName(const DriveRecord& record) {
    return FormatText(u"%s Drive (%C:) [%s]", {DiscTypeName(ProfileToDiscType(record.topProfile)),
                                               record.letter, record.vendor});
}

}  // namespace vestrel
