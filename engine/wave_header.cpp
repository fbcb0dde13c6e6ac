#include "engine/wave_header.h"

#include <string_view>

namespace vestrel {

namespace {

constexpr uint32_t kFormatChunkBytes = 16;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kChannels = 2;
constexpr uint32_t kSamplesPerSecond = 44100;
constexpr uint16_t kBitsPerSample = 16;
constexpr uint16_t kBlockAlign = kChannels * kBitsPerSample / 8;
constexpr uint32_t kBytesPerSecond = kSamplesPerSecond * kBlockAlign;

void PutTag(ByteWriter& w, size_t offset, std::string_view tag) {
    for (size_t i = 0; i < tag.size(); ++i)
        w.U8(offset + i, static_cast<uint8_t>(tag[i]));
}

bool HasTag(ByteReader r, size_t offset, std::string_view tag) {
    for (size_t i = 0; i < tag.size(); ++i) {
        if (!r.Has(offset + i, 1) || r.U8(offset + i) != static_cast<uint8_t>(tag[i]))
            return false;
    }
    return true;
}

}  // namespace

std::array<uint8_t, kWaveHeaderBytes> WaveHeaderBytes(uint32_t dataBytes) {
    std::array<uint8_t, kWaveHeaderBytes> h{};
    ByteWriter w(h.data(), h.size());
    PutTag(w, 0, "RIFF");
    w.Le32(4, dataBytes + 36);
    PutTag(w, 8, "WAVE");
    PutTag(w, 12, "fmt ");
    w.Le32(16, kFormatChunkBytes);
    w.Le16(20, kFormatPcm);
    w.Le16(22, kChannels);
    w.Le32(24, kSamplesPerSecond);
    w.Le32(28, kBytesPerSecond);
    w.Le16(32, kBlockAlign);
    w.Le16(34, kBitsPerSample);
    PutTag(w, 36, "data");
    w.Le32(40, dataBytes);
    return h;
}

bool WriteWaveHeader(File& file, uint32_t dataBytes) {
    const auto header = WaveHeaderBytes(dataBytes);
    uint32_t error = 0;
    return file.Seek(0) && file.Write(header.data(), header.size(), error);
}

bool WaveHeader::IsCdAudio() const {
    return formatTag == kFormatPcm && channels == kChannels &&
           samplesPerSecond == kSamplesPerSecond && bytesPerSecond == kBytesPerSecond &&
           blockAlign == kBlockAlign && bitsPerSample == kBitsPerSample;
}

std::optional<WaveHeader> ReadWaveHeader(ByteReader bytes) {
    if (!bytes.Has(0, kWaveHeaderBytes) || !HasTag(bytes, 0, "RIFF") || !HasTag(bytes, 8, "WAVE") ||
        !HasTag(bytes, 12, "fmt ") || bytes.Le32(16) != kFormatChunkBytes ||
        !HasTag(bytes, 36, "data")) {
        return std::nullopt;
    }
    WaveHeader h;
    h.riffBytes = bytes.Le32(4);
    h.formatTag = bytes.Le16(20);
    h.channels = bytes.Le16(22);
    h.samplesPerSecond = bytes.Le32(24);
    h.bytesPerSecond = bytes.Le32(28);
    h.blockAlign = bytes.Le16(32);
    h.bitsPerSample = bytes.Le16(34);
    h.dataBytes = bytes.Le32(40);
    return h;
}

}  // namespace vestrel
