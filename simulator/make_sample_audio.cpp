// Writes the sample audio CDs: sample-audio.bin (raw 2352-byte sectors of
// 16-bit stereo samples at 44.1 kHz) and its cue sheet, three short tracks
// of tones, for the built-in bay; and sample-album, a disc with what audio
// CDs carry besides their tracks: hidden audio before track 1, pre-gaps in
// the file and as PREGAP silence, an index 2, ISRCs, a catalogue number,
// flags and texts.
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

// Appends the tone's sectors, fading out at the end.
void WriteTone(std::ofstream& bin, const Tone& tone) {
    std::vector<uint8_t> sector(2352);
    for (int s = 0; s < tone.sectors; ++s) {
        vestrel::ByteWriter w(sector.data(), sector.size());
        for (int i = 0; i < kFramesPerSector; ++i) {
            double t = (s * kFramesPerSector + i) / 44100.0;
            double fade = std::min(1.0, (tone.sectors - s) / 20.0);
            auto left = static_cast<int16_t>(9000.0 * fade * std::sin(2 * M_PI * tone.hertz * t));
            auto right =
                static_cast<int16_t>(9000.0 * fade * std::sin(2 * M_PI * tone.hertz * 1.5 * t));
            w.Le16(4 * i, static_cast<uint16_t>(left));
            w.Le16(4 * i + 2, static_cast<uint16_t>(right));
        }
        bin.write(reinterpret_cast<const char*>(sector.data()), 2352);
    }
}

// Four tracks: 30 s of hidden audio, track 1 of 5 s, a 2 s pre-gap in the
// file and track 2 of 5 s 25 (pre-emphasis), track 3 of 6 s 50 with an
// index 2 at 3 s, 3.5 s of PREGAP silence and track 4 of 5 s 25 (copy
// permitted).
bool WriteAlbum(const std::filesystem::path& folder) {
    const Tone tones[] = {{330.0, 2250}, {440.0, 375},  {220.0, 150},
                          {660.0, 400},  {523.25, 500}, {392.0, 400}};
    std::ofstream bin(folder / "sample-album.bin", std::ios::binary | std::ios::trunc);
    for (const Tone& tone : tones)
        WriteTone(bin, tone);
    std::ofstream cue(folder / "sample-album.cue", std::ios::trunc);
    cue << "CATALOG 0012345678905\n"
           "PERFORMER \"Vestrel Sample Ensemble\"\n"
           "TITLE \"Sample Album\"\n"
           "FILE \"sample-album.bin\" BINARY\n"
           "  TRACK 01 AUDIO\n"
           "    TITLE \"Opening\"\n"
           "    ISRC USRC17607839\n"
           "    INDEX 00 00:00:00\n"
           "    INDEX 01 00:30:00\n"
           "  TRACK 02 AUDIO\n"
           "    TITLE \"Emphasis\"\n"
           "    FLAGS PRE\n"
           "    ISRC GBAYE0000351\n"
           "    INDEX 00 00:35:00\n"
           "    INDEX 01 00:37:00\n"
           "  TRACK 03 AUDIO\n"
           "    TITLE \"Two Parts\"\n"
           "    SONGWRITER \"A. Writer\"\n"
           "    ISRC DEA123456789\n"
           "    INDEX 01 00:42:25\n"
           "    INDEX 02 00:45:25\n"
           "  TRACK 04 AUDIO\n"
           "    TITLE \"After Silence\"\n"
           "    FLAGS DCP\n"
           "    PREGAP 00:03:38\n"
           "    INDEX 01 00:49:00\n";
    return bin && cue;
}

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
    for (const Tone& tone : tones) {
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n",
                      trackNumber++, start / 4500, (start / 75) % 60, start % 75);
        cue << line;
        WriteTone(bin, tone);
        start += tone.sectors;
    }
    if (!bin || !cue || !WriteAlbum(folder)) {
        std::fprintf(stderr, "cannot write the sample audio disc into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
