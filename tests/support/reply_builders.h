// Builders of drive replies for tests.
#pragma once

#include <cstdint>
#include <vector>

namespace vestrel::testing {

using Bytes = std::vector<uint8_t>;

// A feature descriptor with the given feature data.
inline Bytes FeatureDescriptor(uint16_t code, const Bytes& data, uint8_t flags = 0x03) {
    Bytes f(4 + data.size(), 0);
    f[0] = static_cast<uint8_t>(code >> 8);
    f[1] = static_cast<uint8_t>(code);
    f[2] = flags;
    f[3] = static_cast<uint8_t>(data.size());
    for (size_t i = 0; i < data.size(); ++i)
        f[4 + i] = data[i];
    return f;
}

inline Bytes ProfileListFeature(const std::vector<uint16_t>& profiles) {
    Bytes data(4 * profiles.size(), 0);
    for (size_t i = 0; i < profiles.size(); ++i) {
        data[4 * i] = static_cast<uint8_t>(profiles[i] >> 8);
        data[4 * i + 1] = static_cast<uint8_t>(profiles[i]);
    }
    return FeatureDescriptor(0x0000, data);
}

// A GET CONFIGURATION reply with a correct data length.
inline Bytes Configuration(uint16_t currentProfile, const std::vector<Bytes>& features) {
    Bytes r(8, 0);
    r[6] = static_cast<uint8_t>(currentProfile >> 8);
    r[7] = static_cast<uint8_t>(currentProfile);
    for (const Bytes& f : features) {
        for (uint8_t b : f)
            r.push_back(b);
    }
    uint32_t len = static_cast<uint32_t>(r.size() - 4);
    r[0] = static_cast<uint8_t>(len >> 24);
    r[1] = static_cast<uint8_t>(len >> 16);
    r[2] = static_cast<uint8_t>(len >> 8);
    r[3] = static_cast<uint8_t>(len);
    return r;
}

// A MODE SENSE (10) page 2Ah reply (DBD) with the read and write support
// bytes of the page.
inline Bytes CapabilitiesPageReply(uint8_t readSupport, uint8_t writeSupport, bool buf = false) {
    Bytes r(142, 0);
    r[1] = 142 - 2;
    r[8] = 0x2A;
    r[9] = 142 - 10;
    r[10] = readSupport;
    r[11] = writeSupport;
    r[12] = buf ? 0x80 : 0;
    return r;
}

}  // namespace vestrel::testing
