// Writes the sample audio CD of the built-in bay: sample-audio.bin (raw
// 2352-byte sectors of 16-bit stereo samples at 44.1 kHz) and its cue
// sheet, three short tracks of tones.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "drive/bytes.h"

namespace {

constexpr int kFramesPerSector = 588;  // stereo sample pairs in 2352 bytes

struct Tone {
    double hertz;
    int sectors;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vestrel-sample-audio FOLDER\n");
        return 2;
    }
    std::filesystem::path folder = argv[1];
    const Tone tones[] = {{440.0, 150}, {660.0, 225}, {523.25, 188}};
    std::ofstream bin(folder / "sample-audio.bin", std::ios::binary | std::ios::trunc);
    std::ofstream cue(folder / "sample-audio.cue", std::ios::trunc);
    cue << "FILE \"sample-audio.bin\" BINARY\n";
    int start = 0;
    int trackNumber = 1;
    std::vector<uint8_t> sector(2352);
    for (const Tone& tone : tones) {
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n",
                      trackNumber++, start / 4500, (start / 75) % 60, start % 75);
        cue << line;
        for (int s = 0; s < tone.sectors; ++s) {
            vestrel::ByteWriter w(sector.data(), sector.size());
            for (int i = 0; i < kFramesPerSector; ++i) {
                double t = (s * kFramesPerSector + i) / 44100.0;
                double fade = std::min(1.0, (tone.sectors - s) / 20.0);
                auto left =
                    static_cast<int16_t>(9000.0 * fade * std::sin(2 * M_PI * tone.hertz * t));
                auto right =
                    static_cast<int16_t>(9000.0 * fade * std::sin(2 * M_PI * tone.hertz * 1.5 * t));
                w.Le16(4 * i, static_cast<uint16_t>(left));
                w.Le16(4 * i + 2, static_cast<uint16_t>(right));
            }
            bin.write(reinterpret_cast<const char*>(sector.data()), 2352);
        }
        start += tone.sectors;
    }
    if (!bin || !cue) {
        std::fprintf(stderr, "cannot write the sample audio disc into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
