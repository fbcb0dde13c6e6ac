// The vocabulary of disc kinds: one bit per type, so that what a drive
// reads and writes, what it holds and where a copy may go are all masks
// that can be intersected.
#pragma once

#include <cstdint>
#include <string>

namespace vestrel {

using DiscType = uint32_t;
using DiscTypeMask = uint32_t;

namespace disc {
constexpr DiscType None = 0;
constexpr DiscType CdRom = 1u << 0;
constexpr DiscType CdR = 1u << 1;
constexpr DiscType CdRw = 1u << 2;
constexpr DiscType DvdRom = 1u << 3;
constexpr DiscType DvdR = 1u << 4;
constexpr DiscType DvdRam = 1u << 5;
constexpr DiscType DvdRw = 1u << 6;
constexpr DiscType DvdRDl = 1u << 7;
constexpr DiscType DvdRwDl = 1u << 8;
constexpr DiscType DvdPlusRw = 1u << 9;
constexpr DiscType DvdPlusR = 1u << 10;
constexpr DiscType DvdPlusRwDl = 1u << 11;
constexpr DiscType DvdPlusRDl = 1u << 12;
constexpr DiscType HdDvdRom = 1u << 13;
constexpr DiscType HdDvdR = 1u << 14;
constexpr DiscType HdDvdRam = 1u << 15;
constexpr DiscType HdDvdRw = 1u << 16;
constexpr DiscType HdDvdRDl = 1u << 17;
constexpr DiscType HdDvdRwDl = 1u << 18;
constexpr DiscType BdRom = 1u << 19;
constexpr DiscType BdR = 1u << 20;
constexpr DiscType BdRe = 1u << 21;
constexpr DiscType HybridDisc = 1u << 22;
constexpr DiscType Unknown = 1u << 23;

constexpr DiscTypeMask CdTypes = 0x7;
constexpr DiscTypeMask DvdTypes = 0x1FF8;
constexpr DiscTypeMask HdDvdTypes = 0x7E000;
constexpr DiscTypeMask BdTypes = 0x380000;
// The recordable and rewritable DVD types.
constexpr DiscTypeMask WritableDvdTypes = 0x1FF0;
}  // namespace disc

DiscType ProfileToDiscType(uint16_t profile);
// The display name of one type; "Unknown" for anything that is not exactly
// one of the defined values.
std::u16string DiscTypeName(DiscType type);
// The blank types a copy of `source` can be written to, by its type alone:
// what a source of unknown size is taken to be.
DiscTypeMask CompatibleBlankTypes(DiscType source);
// The same, given the source's size in 2048-byte blocks (0: unknown). A
// pressed DVD or HD DVD reports the same profile with one layer or two, so
// one that holds more than a single-layer blank goes to the dual-layer
// blanks instead; every other source keeps its type's blanks.
DiscTypeMask CompatibleBlankTypes(DiscType source, uint64_t blocks);

// The most a single layer holds, in blocks: what a single-layer DVD-R and
// HD DVD-R blank take (4.7 GB and 15 GB).
constexpr uint64_t kDvdLayerBlocks = 2298496;
constexpr uint64_t kHdDvdLayerBlocks = 7341056;
// The names of the set bits, lowest first, joined with ", ";
// "Not supported" for an empty mask.
std::u16string DescribeTypeList(DiscTypeMask mask);

bool IsHdDvdProfile(uint16_t profile);
bool IsBdProfile(uint16_t profile);

}  // namespace vestrel
