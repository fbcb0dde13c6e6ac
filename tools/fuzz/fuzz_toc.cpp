// READ TOC/PMA/ATIP format 0 replies.
#include <cstddef>
#include <cstdint>

#include "drive/replies.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Toc toc = ReadTocReply(ByteReader(data, size));
    FUZZ_CHECK(toc.entries.size() <= size_t{toc.lastTrack} + 1);
    FUZZ_CHECK(size < 4 || toc.entries.size() <= (size - 4) / 8);
    if (toc.complete)
        FUZZ_CHECK(toc.entries.size() == size_t{toc.lastTrack} + 1);
    for (const TocEntry& e : toc.entries)
        FUZZ_CHECK(e.control <= 0x0F);
    return 0;
}
