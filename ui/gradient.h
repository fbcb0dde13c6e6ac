// The frame's dithered horizontal gradient, computed into plain memory.
// The Win32 fill (gradient_fill.h) copies the result to the screen.
#pragma once

#include <cstdint>
#include <functional>

namespace vestrel {

// A colour with 16-bit channels (an 8-bit value × 256, plus a fraction).
struct Color16 {
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;
};

inline constexpr Color16 Color16From8(uint8_t red, uint8_t green, uint8_t blue) {
    return {static_cast<uint16_t>(red << 8), static_cast<uint16_t>(green << 8),
            static_cast<uint16_t>(blue << 8)};
}

// Largest width and height a fill accepts.
inline constexpr int kGradientMaxSide = 4096;
inline constexpr int kDitherTableSize = 65536;

// The process-wide dither table: 65,536 thresholds of 12 bits each. Filled
// once at start-up from `random` (each value & 0xFFF); all zeros before.
void FillDitherTable(const std::function<int()>& random);
const uint16_t* DitherTable();

bool GradientSizeAccepted(int width, int height);

// Writes width × height pixels as 0x00RRGGBB, top-down, `stride` pixels
// apart per row, from `left` at the first column towards `right` at the
// last. Each channel steps width × 256 times per 8-bit unit; the fraction
// picks between the two nearest 8-bit values by the dither table, whose
// running index starts at 0 and advances once per channel. Refuses (writes
// nothing, returns false) sizes outside 1..4096 or a stride below width.
bool RenderGradient(uint32_t* pixels, int width, int height, int stride, Color16 left,
                    Color16 right, const uint16_t* dither);

// The gradient's pixel cache only grows: the new size is the larger of the
// old and the requested in each direction.
struct CacheSize {
    int width = 0;
    int height = 0;
};
CacheSize GrownCacheSize(CacheSize cache, int width, int height);
bool CacheFits(CacheSize cache, int width, int height);

}  // namespace vestrel
