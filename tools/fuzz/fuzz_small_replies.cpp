// INQUIRY, MODE SENSE page 2Ah and READ DISC INFORMATION replies.
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
    return 0;
}
