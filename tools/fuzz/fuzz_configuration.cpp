// GET CONFIGURATION replies: feature walk, profile list, top profile and
// capability masks. The first input byte picks whether a mode page reply
// of the same bytes is also given.
#include <cstddef>
#include <cstdint>

#include "drive/capabilities.h"
#include "drive/replies.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

FUZZ_DEFAULT_MAX_LEN(512)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader reply(data, size);
    for (const Feature& f : ReadFeatures(reply)) {
        // A descriptor's bytes lie inside the reply.
        FUZZ_CHECK(f.bytes.data() >= data && f.bytes.data() + f.bytes.size() <= data + size);
        FUZZ_CHECK(f.bytes.size() <= 4u + f.additionalLength);
        if (f.code == 0) {
            auto profiles = ReadProfileList(f);
            FUZZ_CHECK(profiles.size() * 4 <= f.additionalLength);
        }
    }
    auto top = HighestProfile(reply);
    DriveCapabilities c =
        CapabilitiesFromReplies(size > 0 && (data[0] & 1) ? &reply : nullptr, &reply);
    if (top)
        FUZZ_CHECK((c.reads & ProfileToDiscType(*top)) == ProfileToDiscType(*top));
    FUZZ_CHECK((c.reads & 0xFF000000u) == 0 && (c.writes & 0xFF000000u) == 0);
    return 0;
}
