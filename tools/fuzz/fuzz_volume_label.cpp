// Volume labels from a disc's own sectors: each reader on the input as one
// short sector, and the whole walk over a disc whose sectors the input
// gives as records of a 4-byte address and up to 2048 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>

#include "drive/volume_label.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ByteReader input(data, size);
    ClassifyIsoDescriptor(input);
    FUZZ_CHECK(IsoVolumeIdentifier(input).size() <= 32);
    UdfTagIdentifier(input);
    ReadUdfAnchor(input);
    if (std::optional<std::u16string> id = UdfLogicalVolumeIdentifier(input))
        FUZZ_CHECK(id->size() <= 127);
    FUZZ_CHECK(DecodeDstring(input).size() < std::max<size_t>(size, 1));

    // Addresses are taken modulo 512 so that the descriptors the walk looks
    // for (16.., 256, and the sequences) are within reach.
    std::map<uint32_t, const uint8_t*> sectors;
    std::map<uint32_t, size_t> lengths;
    for (size_t at = 0; at + 4 <= size;) {
        const uint32_t lba = input.Le32(at) % 512;
        const size_t length = std::min<size_t>(2048, size - at - 4);
        sectors[lba] = data + at + 4;
        lengths[lba] = length;
        at += 4 + length;
    }
    uint32_t reads = 0;
    const SectorReader read = [&](uint32_t lba, std::span<uint8_t> sector) {
        ++reads;
        FUZZ_CHECK(sector.size() == 2048);
        std::fill(sector.begin(), sector.end(), 0);
        auto it = sectors.find(lba);
        if (it != sectors.end())
            std::memcpy(sector.data(), it->second, lengths[lba]);
        return lba < 600;
    };
    if (std::optional<std::u16string> label = DataTrackVolumeLabel(0, read))
        FUZZ_CHECK(label->size() <= 127);
    FUZZ_CHECK(reads <= kVolumeLabelSectorReads);
    return 0;
}
