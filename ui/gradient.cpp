#include "ui/gradient.h"

#include <algorithm>
#include <array>

namespace vestrel {

namespace {

std::array<uint16_t, kDitherTableSize> ditherTable{};

// One channel's walk from left to right in 8-bit steps plus a fraction of
// `span` (= width × 256) parts.
struct ChannelWalk {
    int direction = 1;
    int step = 0;
    int64_t remainder = 0;
    int startValue = 0;
    int64_t startFraction = 0;

    ChannelWalk(uint16_t from, uint16_t to, int width, int64_t span) {
        const int difference = from > to ? from - to : to - from;
        direction = from > to ? -1 : 1;
        step = static_cast<int>(difference / span);
        remainder = difference % span;
        startValue = from >> 8;
        startFraction = static_cast<int64_t>(from & 255) * width;
        // Walking down, the fraction counts how far below the value the
        // colour lies, so a start between two values is taken from above.
        if (direction < 0 && startFraction != 0) {
            startValue += 1;
            startFraction = span - startFraction;
        }
    }
};

struct ChannelState {
    int value;
    int64_t fraction;
};

}  // namespace

void FillDitherTable(const std::function<int()>& random) {
    for (auto& entry : ditherTable)
        entry = static_cast<uint16_t>(random() & 0xFFF);
}

const uint16_t* DitherTable() {
    return ditherTable.data();
}

bool GradientSizeAccepted(int width, int height) {
    return width >= 1 && width <= kGradientMaxSide && height >= 1 && height <= kGradientMaxSide;
}

bool RenderGradient(uint32_t* pixels, int width, int height, int stride, Color16 left,
                    Color16 right, const uint16_t* dither) {
    if (!pixels || !dither || !GradientSizeAccepted(width, height) || stride < width)
        return false;
    const int64_t span = static_cast<int64_t>(width) * 256;
    const std::array<ChannelWalk, 3> walks{ChannelWalk(left.red, right.red, width, span),
                                           ChannelWalk(left.green, right.green, width, span),
                                           ChannelWalk(left.blue, right.blue, width, span)};
    unsigned ditherIndex = 0;
    for (int y = 0; y < height; ++y) {
        std::array<ChannelState, 3> states{};
        for (size_t c = 0; c < 3; ++c)
            states[c] = {walks[c].startValue, walks[c].startFraction};
        uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = 0;
            for (size_t c = 0; c < 3; ++c) {
                const ChannelWalk& walk = walks[c];
                ChannelState& state = states[c];
                const int64_t threshold = (static_cast<int64_t>(dither[ditherIndex]) * span) >> 12;
                ditherIndex = (ditherIndex + 1) % kDitherTableSize;
                int out = threshold < state.fraction ? state.value + walk.direction : state.value;
                out = std::clamp(out, 0, 255);
                pixel = (pixel << 8) | static_cast<uint32_t>(out);
                state.fraction += walk.remainder;
                state.value += walk.direction * walk.step;
                if (state.fraction >= span) {
                    state.value += walk.direction;
                    state.fraction -= span;
                }
            }
            row[x] = pixel;
        }
    }
    return true;
}

CacheSize GrownCacheSize(CacheSize cache, int width, int height) {
    return {std::max(cache.width, width), std::max(cache.height, height)};
}

bool CacheFits(CacheSize cache, int width, int height) {
    return cache.width >= width && cache.height >= height;
}

}  // namespace vestrel
