// GET PERFORMANCE write-speed replies.
#include <cstddef>
#include <cstdint>

#include "drive/replies.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto speeds = ReadWriteSpeeds(ByteReader(data, size));
    FUZZ_CHECK(size < 8 || speeds.size() <= (size - 8) / 16);
    FUZZ_CHECK(size >= 8 || speeds.empty());
    return 0;
}
