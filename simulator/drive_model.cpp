#include "simulator/drive_model.h"

#include <algorithm>

#include "drive/bytes.h"

namespace vestrel::sim {

namespace {

void PutText(std::vector<uint8_t>& out, size_t offset, size_t width, const std::string& text) {
    for (size_t i = 0; i < width; ++i)
        out[offset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

bool Between(uint16_t p, uint16_t low, uint16_t high) {
    return p >= low && p <= high;
}

// Features whose current bit follows the disc in the drive; the others are
// current whenever the drive has them.
bool FeatureCurrent(uint16_t code, uint16_t profile) {
    bool cd = Between(profile, 0x08, 0x0A);
    bool dvd = Between(profile, 0x10, 0x2B);
    switch (code) {
        case 0x0010:  // Random Readable
        case 0x001D:  // Multi-Read
            return profile != 0;
        case 0x001E:
            return cd;
        case 0x001F:
            return dvd;
        case 0x0020:  // Random Writable
        case 0x0024:  // Hardware Defect Management
            return profile == 0x12 || profile == 0x43 || profile == 0x52;
        case 0x0021:  // Incremental Streaming Writable
            return profile == 0x11 || profile == 0x14 || profile == 0x15;
        case 0x0023:  // Formattable
            return profile == 0x12 || profile == 0x1A || profile == 0x2A || profile == 0x43 ||
                   profile == 0x52;
        case 0x002A:
            return profile == 0x1A;
        case 0x002B:
            return profile == 0x1B;
        case 0x002D:
        case 0x002E:
            return profile == 0x09 || profile == 0x0A;
        case 0x002F:
            return Between(profile, 0x11, 0x17) && profile != 0x12;
        case 0x0037:
            return profile == 0x0A;
        case 0x003A:
            return profile == 0x2A;
        case 0x003B:
            return profile == 0x2B;
        case 0x0040:
            return Between(profile, 0x40, 0x43);
        case 0x0041:
            return Between(profile, 0x41, 0x43);
        case 0x0050:
            return Between(profile, 0x50, 0x5A);
        case 0x0051:
            return Between(profile, 0x51, 0x5A);
        default:
            return true;
    }
}

bool FeaturePersistent(uint16_t code) {
    return code <= 0x0003 || code == 0x0100 || code == 0x0105;
}

}  // namespace

bool DriveModel::Reads(uint16_t profile) const {
    return std::find(profiles.begin(), profiles.end(), profile) != profiles.end() ||
           std::find(reads.begin(), reads.end(), profile) != reads.end();
}

bool DriveModel::Writes(uint16_t profile) const {
    return std::find(writes.begin(), writes.end(), profile) != writes.end();
}

std::vector<uint8_t> InquiryData(const DriveModel& model) {
    std::vector<uint8_t> d(96, 0);
    d[0] = 0x05;  // CD/DVD device
    d[1] = 0x80;  // removable
    d[2] = 0x00;
    d[3] = 0x02;  // response data format
    d[4] = 91;    // additional length
    PutText(d, 8, 8, model.vendor);
    PutText(d, 16, 16, model.product);
    PutText(d, 32, 4, model.revision);
    return d;
}

std::vector<uint8_t> ConfigurationData(const DriveModel& model, uint16_t currentProfile, uint8_t rt,
                                       uint16_t start) {
    auto wanted = [&](uint16_t code, bool current) {
        if (rt == 2)
            return code == start;
        if (code < start)
            return false;
        return rt == 0 || current;
    };
    std::vector<uint8_t> out(8, 0);
    auto put16 = [&](uint16_t v) {
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v));
    };
    if (!model.profiles.empty() && wanted(0x0000, true)) {
        put16(0x0000);
        out.push_back(0x03);  // persistent, current
        out.push_back(static_cast<uint8_t>(4 * model.profiles.size()));
        for (uint16_t profile : model.profiles) {
            put16(profile);
            out.push_back(profile == currentProfile ? 1 : 0);
            out.push_back(0);
        }
    }
    std::vector<FeatureDescriptor> sorted = model.features;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.code < b.code; });
    for (const FeatureDescriptor& f : sorted) {
        bool current = FeatureCurrent(f.code, currentProfile);
        if (!wanted(f.code, current))
            continue;
        put16(f.code);
        out.push_back(static_cast<uint8_t>((f.version << 2) | (FeaturePersistent(f.code) << 1) |
                                           (current ? 1 : 0)));
        out.push_back(static_cast<uint8_t>(f.data.size()));
        for (uint8_t b : f.data)
            out.push_back(b);
    }
    ByteWriter w(out.data(), out.size());
    w.Be32(0, static_cast<uint32_t>(out.size() - 4));
    w.Be16(6, currentProfile);
    return out;
}

std::vector<uint8_t> WriteSpeedData(const DriveModel& model, uint16_t profile, uint32_t capacity,
                                    uint16_t maxDescriptors) {
    std::vector<uint32_t> speeds;
    uint32_t read = 0;
    MediaFamily family = RulesForProfile(profile).family;
    if (model.Writes(profile)) {
        auto it = model.writeSpeeds.find(family);
        if (it != model.writeSpeeds.end())
            speeds = it->second;
    }
    auto r = model.readSpeed.find(family);
    if (r != model.readSpeed.end())
        read = r->second;
    size_t n = std::min<size_t>(speeds.size(), maxDescriptors);
    std::vector<uint8_t> out(8 + 16 * n, 0);
    ByteWriter w(out.data(), out.size());
    w.Be32(0, static_cast<uint32_t>(4 + 16 * n));
    for (size_t i = 0; i < n; ++i) {
        size_t at = 8 + 16 * i;
        w.U8(at, 0x02);  // Exact
        w.Be32(at + 4, capacity ? capacity - 1 : 0);
        w.Be32(at + 8, read);
        w.Be32(at + 12, speeds[i]);
    }
    return out;
}

}  // namespace vestrel::sim
