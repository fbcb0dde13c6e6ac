// A source's layout from two READ TOC replies (the MSF and the LBA form),
// and the header of an audio image file read back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/source_layout.h"
#include "engine/wave_header.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte splits the input into the two replies.
    if (size == 0)
        return 0;
    const size_t split = size > 1 ? data[0] % size : 0;
    ByteReader msf(data + 1, split > 0 ? split - 1 : 0);
    ByteReader lba(data + split, size - split);
    std::vector<TrackRecord> tracks;
    LayoutOutcome outcome = TracksFromToc(msf, lba, tracks);
    if (outcome == LayoutOutcome::Read) {
        FUZZ_CHECK(!tracks.empty());
        for (size_t i = 0; i < tracks.size(); ++i) {
            FUZZ_CHECK(tracks[i].lastLba >= tracks[i].firstLba);
            if (i > 0)
                FUZZ_CHECK(tracks[i].firstLba > tracks[i - 1].lastLba);
        }
    } else {
        FUZZ_CHECK(tracks.empty());
    }
    if (auto header = ReadWaveHeader(ByteReader(data, size))) {
        FUZZ_CHECK(size >= 44);
    }
    return 0;
}
