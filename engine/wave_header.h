// The RIFF/WAVE header at the start of every audio image file: 44 bytes
// describing 16-bit stereo samples at 44100 Hz, as a CD holds them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "drive/bytes.h"
#include "drive/file_system.h"
#include "engine/image_files.h"

namespace vestrel {

std::array<uint8_t, kWaveHeaderBytes> WaveHeaderBytes(uint32_t dataBytes);

// Moves to the start of the file and writes the header; true only when all
// 44 bytes were written.
bool WriteWaveHeader(File& file, uint32_t dataBytes);

struct WaveHeader {
    uint32_t riffBytes = 0;  // everything after the first 8 bytes
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint32_t dataBytes = 0;

    // The layout WriteWaveHeader gives: uncompressed 16-bit stereo at
    // 44100 Hz.
    bool IsCdAudio() const;
};

// Reads a header laid out as WriteWaveHeader writes it: "RIFF", "WAVE", a
// 16-byte "fmt " chunk and the "data" chunk header within the first 44
// bytes. Nothing when fewer bytes are given or a tag or size differs.
std::optional<WaveHeader> ReadWaveHeader(ByteReader bytes);

}  // namespace vestrel
