// INQUIRY, MODE SENSE page 2Ah, READ DISC INFORMATION, READ TRACK
// INFORMATION, READ FORMAT CAPACITIES, READ TOC ATIP and REQUEST SENSE
// replies.
#include <cstddef>
#include <cstdint>

#include "drive/replies.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader reply(data, size);
    FUZZ_CHECK(InquiryVendor(reply).size() <= 8);
    FUZZ_CHECK(InquiryProduct(reply).size() <= 16);
    CapabilitiesPage page = ReadCapabilitiesPage(reply);
    if (size <= 12)
        FUZZ_CHECK(!page.bufferUnderrunFree);
    DiscInformation info = ReadDiscInformationReply(reply);
    FUZZ_CHECK(info.discStatus <= 3);
    if (std::optional<uint32_t> leadOut = CdLastLeadOutLba(info))
        FUZZ_CHECK(*leadOut < 256u * 60 * 75);
    if (ReadTrackInformationReply(reply))
        FUZZ_CHECK(size >= 28);
    FormatCapacities capacities = ReadFormatCapacitiesReply(reply);
    FUZZ_CHECK(capacities.currentKind <= 3);
    FUZZ_CHECK(capacities.formats.size() <= (size >= 12 ? (size - 12) / 8 : 0));
    FUZZ_CHECK(capacities.formats.size() <= 31);  // (255 - 8) / 8
    if (std::optional<int32_t> leadIn = AtipLeadInStart(reply)) {
        FUZZ_CHECK(size >= 11);
        FUZZ_CHECK(*leadIn < -150 && *leadIn >= -450150);
    }
    SenseData sense = ReadSenseData(reply);
    FUZZ_CHECK(sense.senseKey <= 0x0F);
    if (!sense.valid)
        FUZZ_CHECK(!sense.progress);
    return 0;
}
