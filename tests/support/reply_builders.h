// Builders of drive replies for tests.
#pragma once

#include <cstdint>
#include <string>
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

// An INQUIRY reply (96 bytes) of a CD/DVD device with the vendor field
// taken byte for byte (at most 8 bytes; the rest of the field is spaces).
inline Bytes InquiryReply(const std::string& vendor, const std::string& product = "DRIVE") {
    Bytes r(96, 0);
    r[0] = 0x05;  // CD/DVD device
    r[4] = 96 - 5;
    for (size_t i = 0; i < 8; ++i)
        r[8 + i] = i < vendor.size() ? static_cast<uint8_t>(vendor[i]) : ' ';
    for (size_t i = 0; i < 16; ++i)
        r[16 + i] = i < product.size() ? static_cast<uint8_t>(product[i]) : ' ';
    return r;
}

// A READ DISC INFORMATION reply; disc status 0 is an empty disc, 2 a
// complete one.
inline Bytes DiscInformationReply(uint8_t discStatus, bool erasable = false) {
    Bytes r(34, 0);
    r[1] = 32;
    r[2] = static_cast<uint8_t>((discStatus & 0x03) | (erasable ? 0x10 : 0));
    return r;
}

// A READ TOC format 0 reply (804 bytes) naming `lastTrack`, with one
// descriptor per entry: CONTROL and address (LBA, or 00 M S F). The last
// entry is numbered AAh as the lead-out; the data length covers them all.
struct TocDescriptor {
    uint8_t control = 0;
    uint32_t address = 0;
};
inline Bytes TocReply(uint8_t lastTrack, const std::vector<TocDescriptor>& entries) {
    Bytes r(804, 0);
    size_t length = 2 + 8 * entries.size();
    r[0] = static_cast<uint8_t>(length >> 8);
    r[1] = static_cast<uint8_t>(length);
    r[2] = 1;
    r[3] = lastTrack;
    for (size_t i = 0; i < entries.size() && 4 + 8 * i + 8 <= r.size(); ++i) {
        uint8_t* d = &r[4 + 8 * i];
        d[1] = static_cast<uint8_t>(0x10 | (entries[i].control & 0x0F));
        d[2] = i + 1 == entries.size() ? 0xAA : static_cast<uint8_t>(i + 1);
        d[4] = static_cast<uint8_t>(entries[i].address >> 24);
        d[5] = static_cast<uint8_t>(entries[i].address >> 16);
        d[6] = static_cast<uint8_t>(entries[i].address >> 8);
        d[7] = static_cast<uint8_t>(entries[i].address);
    }
    return r;
}

// A GET PERFORMANCE type 03h reply (488 bytes) with one write speed
// descriptor per (read speed, write speed) pair.
struct SpeedPair {
    uint32_t readSpeed = 0;
    uint32_t writeSpeed = 0;
};
inline Bytes PerformanceReply(const std::vector<SpeedPair>& descriptors) {
    Bytes r(488, 0);
    uint32_t length = static_cast<uint32_t>(4 + 16 * descriptors.size());
    for (int i = 0; i < 4; ++i)
        r[i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    for (size_t d = 0; d < descriptors.size() && 8 + 16 * d + 16 <= r.size(); ++d) {
        for (int i = 0; i < 4; ++i) {
            r[8 + 16 * d + 8 + i] = static_cast<uint8_t>(descriptors[d].readSpeed >> (24 - 8 * i));
            r[8 + 16 * d + 12 + i] =
                static_cast<uint8_t>(descriptors[d].writeSpeed >> (24 - 8 * i));
        }
    }
    return r;
}

// A MODE SENSE (10) page 05h reply (512 bytes, DBD) whose page bytes are
// all `fill`, so tests see which bytes a caller changed.
inline Bytes WriteParametersPageReply(uint8_t fill = 0xEE) {
    Bytes r(512, 0);
    r[1] = 0x3A;  // mode data length: the header's rest and a 52-byte page
    for (size_t i = 8; i < 8 + 52; ++i)
        r[i] = fill;
    r[8] = 0x05;
    r[9] = 0x32;
    return r;
}

}  // namespace vestrel::testing
