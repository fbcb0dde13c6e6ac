// The pressed CDs' cue sheets of the simulator: the text, then the layout
// it gives over BINARY files of several sizes, from none to far more than
// a CD holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "simulator/disc.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ParsedCue sheet;
    std::string error;
    if (!ParseCueSheet(text, sheet, error)) {
        // "LINE: why", briefly.
        FUZZ_CHECK(!error.empty() && error.size() <= size + 100);
        return 0;
    }
    FUZZ_CHECK(!sheet.binary.empty() && !sheet.tracks.empty() && sheet.tracks.size() <= 99);
    int32_t latest = 0;
    for (size_t i = 0; i < sheet.tracks.size(); ++i) {
        const ParsedCueTrack& t = sheet.tracks[i];
        FUZZ_CHECK(t.number == static_cast<int>(i) + 1);
        FUZZ_CHECK(t.stride == 2048 || t.stride == 2352);
        FUZZ_CHECK(t.index0 >= -1 && t.index0 < kMaxCueFrames);
        FUZZ_CHECK(t.index1 >= -1 && t.index1 < kMaxCueFrames);
        latest = std::max({latest, t.index0, t.index1});
    }
    const uint64_t near = uint64_t(latest) * 2352;
    for (uint64_t binBytes : {uint64_t{0}, near + 2352, near + 150 * 2352,
                              uint64_t{kMaxCueFrames} * 2352 + 1, UINT64_MAX}) {
        CueLayout layout;
        if (!LayOutCueSheet(sheet, binBytes, layout, error)) {
            FUZZ_CHECK(!error.empty() && error.size() <= 100);
            continue;
        }
        // Tracks follow each other up to the lead-out, within a CD, and
        // each starts among sectors of its own kind; the regions tile the
        // disc, and those not of PREGAP silence tile the file.
        FUZZ_CHECK(layout.tracks.size() == sheet.tracks.size());
        FUZZ_CHECK(layout.metadata.tracks.size() == sheet.tracks.size());
        FUZZ_CHECK(layout.leadOut > 0 && layout.leadOut <= kMaxCueFrames);
        for (size_t i = 0; i < layout.tracks.size(); ++i) {
            const DiscTrack& t = layout.tracks[i];
            const TrackMetadata& m = layout.metadata.tracks[i];
            FUZZ_CHECK(t.number == i + 1 && t.length > 0 && m.number == t.number);
            FUZZ_CHECK(m.indexes.size() >= 2 && m.indexes[1] == t.start);
            FUZZ_CHECK(std::is_sorted(m.indexes.begin(), m.indexes.end()));
            const int64_t end = int64_t{t.start} + t.length;
            FUZZ_CHECK(end == (i + 1 < layout.tracks.size() ? layout.tracks[i + 1].start
                                                            : layout.leadOut));
            FUZZ_CHECK(std::any_of(layout.regions.begin(), layout.regions.end(), [&](auto& r) {
                return !r.silent && r.audio == t.audio && t.start >= r.firstLba &&
                       t.start - r.firstLba < int64_t{r.count};
            }));
        }
        const SectorRegion* lastFile = nullptr;
        for (size_t i = 0; i < layout.regions.size(); ++i) {
            const SectorRegion& r = layout.regions[i];
            FUZZ_CHECK(r.count > 0);
            const int64_t regionEnd = int64_t{r.firstLba} + r.count;
            FUZZ_CHECK(regionEnd == (i + 1 < layout.regions.size() ? layout.regions[i + 1].firstLba
                                                                   : layout.leadOut));
            if (r.silent)
                continue;
            if (lastFile)
                FUZZ_CHECK(lastFile->fileOffset + uint64_t{lastFile->count} * lastFile->stride ==
                           r.fileOffset);
            lastFile = &r;
        }
        FUZZ_CHECK(lastFile &&
                   lastFile->fileOffset + uint64_t{lastFile->count} * lastFile->stride <= binBytes);
    }
    return 0;
}
