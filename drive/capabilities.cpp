#include "drive/capabilities.h"

#include <span>
#include <vector>

#include "drive/cdb.h"
#include "drive/drive_lock.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"

namespace vestrel {

using namespace disc;

std::optional<uint16_t> HighestProfile(ByteReader reply) {
    if (ReadConfigurationHeader(reply).dataLength < 6)
        return std::nullopt;
    // The Profile List is the first descriptor; the rest need not be read.
    std::vector<Feature> features = ReadFeatures(reply, 1);
    if (features.empty() || features[0].code != 0x0000 || features[0].additionalLength < 4) {
        return std::nullopt;
    }
    std::vector<uint16_t> profiles = ReadProfileList(features[0]);
    if (profiles.empty())
        return std::nullopt;
    uint16_t highest = profiles[0];
    for (uint16_t p : profiles) {
        if (IsHdDvdProfile(p) && IsBdProfile(highest))
            continue;
        if (p > highest)
            highest = p;
    }
    return highest;
}

namespace {

// What one bit of the capabilities page's read or write support byte adds.
struct SupportBit {
    uint8_t bit;
    DiscTypeMask types;
};

constexpr SupportBit kReadSupport[] = {
    {0x01, CdRom | CdR},   {0x02, CdRom | CdRw}, {0x08, DvdRom},
    {0x10, DvdRom | DvdR}, {0x20, DvdRam},
};
constexpr SupportBit kWriteSupport[] = {
    {0x01, CdR},
    {0x02, CdR | CdRw},
    {0x10, DvdR},
    {0x20, DvdRam},
};

DiscTypeMask Supported(uint8_t support, std::span<const SupportBit> bits) {
    DiscTypeMask types = 0;
    for (const SupportBit& b : bits) {
        if (support & b.bit)
            types |= b.types;
    }
    return types;
}

DriveCapabilities FromCapabilitiesPage(ByteReader reply) {
    const CapabilitiesPage page = ReadCapabilitiesPage(reply);
    return {Supported(page.readSupport, kReadSupport), Supported(page.writeSupport, kWriteSupport)};
}

// What a feature adds to the masks: always, or only when bit `bit` of its
// byte `byte` is set.
struct FeatureRule {
    uint16_t code;
    int byte;  // kAlways: whatever the feature's bytes say
    unsigned bit;
    DiscTypeMask reads;
    DiscTypeMask writes;
};
constexpr int kAlways = -1;

constexpr FeatureRule kFeatureRules[] = {
    {0x001E, kAlways, 0, CdRom | CdR | CdRw, 0},     // CD Read
    {0x001F, kAlways, 0, DvdRom | DvdR | DvdRw, 0},  // DVD Read
    {0x001F, 6, 0, DvdRDl, 0},
    {0x001F, 6, 1, DvdRwDl, 0},
    {0x002A, kAlways, 0, DvdPlusRw, 0},  // DVD+RW
    {0x002A, 4, 0, 0, DvdPlusRw},
    {0x002B, kAlways, 0, DvdPlusR, 0},  // DVD+R
    {0x002B, 4, 0, 0, DvdPlusR},
    {0x002D, kAlways, 0, 0, CdR},  // Track at Once
    {0x002E, kAlways, 0, 0, CdR},  // Session at Once
    {0x002E, 4, 1, 0, CdRw},
    {0x002F, kAlways, 0, 0, DvdR | DvdRw},  // DVD-R/-RW Write
    {0x002F, 4, 3, 0, DvdRDl},
    {0x0037, kAlways, 0, 0, CdRw},         // CD-RW Media Write
    {0x003A, kAlways, 0, DvdPlusRwDl, 0},  // DVD+RW Dual Layer
    {0x003A, 4, 0, 0, DvdPlusRwDl},
    {0x003B, kAlways, 0, DvdPlusRDl, 0},  // DVD+R Dual Layer
    {0x003B, 4, 0, 0, DvdPlusRDl},
    {0x0040, 9, 1, BdRe, 0},  // BD Read
    {0x0040, 9, 2, BdRe, 0},
    {0x0040, 17, 1, BdR, 0},
    {0x0040, 25, 1, BdRom, 0},
    {0x0041, 9, 2, 0, BdRe},  // BD Write
    {0x0041, 17, 1, 0, BdR},
    {0x0050, kAlways, 0, HdDvdRom, 0},  // HD DVD Read
    {0x0050, 4, 0, HdDvdR | HdDvdRw, 0},
    {0x0050, 6, 0, HdDvdRam, 0},
    {0x0051, 4, 0, 0, HdDvdR | HdDvdRw},  // HD DVD Write
    {0x0051, 6, 0, 0, HdDvdRam},
    {0x0080, kAlways, 0, HybridDisc, 0},  // Hybrid Disc
};

DriveCapabilities FromFeature(const Feature& f) {
    DriveCapabilities c;
    for (const FeatureRule& rule : kFeatureRules) {
        if (rule.code != f.code)
            continue;
        if (rule.byte == kAlways || f.bytes.Bit(static_cast<size_t>(rule.byte), rule.bit)) {
            c.reads |= rule.reads;
            c.writes |= rule.writes;
        }
    }
    return c;
}

}  // namespace

DriveCapabilities CapabilitiesFromReplies(const ByteReader* capabilitiesPage,
                                          const ByteReader* configuration) {
    DriveCapabilities c;
    if (capabilitiesPage)
        c = FromCapabilitiesPage(*capabilitiesPage);
    if (configuration && ReadConfigurationHeader(*configuration).dataLength > 4) {
        for (const Feature& f : ReadFeatures(*configuration)) {
            DriveCapabilities fc = FromFeature(f);
            c.reads |= fc.reads;
            c.writes |= fc.writes;
        }
    }
    if (configuration) {
        if (auto top = HighestProfile(*configuration))
            c.reads |= ProfileToDiscType(*top);
    }
    return c;
}

bool RecordsLeadInRw(ByteReader configurationReply) {
    constexpr uint16_t kCdMastering = 0x002E;
    constexpr uint8_t kCurrent = 0x01;
    for (const Feature& f : ReadFeatures(configurationReply)) {
        if (f.code == kCdMastering)
            return (f.flags & kCurrent) && f.bytes.Bit(4, 0);
    }
    return false;
}

DriveCapabilities ReadDriveCapabilities(char16_t letter) {
    std::vector<uint8_t> page(kCapabilitiesPageLength);
    std::vector<uint8_t> config(kGetConfigurationLength);
    const bool pageOk = SendModeSenseCapabilities(letter, page).ok();
    const bool configOk = SendGetConfiguration(letter, config).ok();
    ByteReader pageReader(page), configReader(config);
    return CapabilitiesFromReplies(pageOk ? &pageReader : nullptr,
                                   configOk ? &configReader : nullptr);
}

DiscTypeMask WritableBlankTypes(char16_t letter, DiscType source, uint64_t blocks) {
    DriveCapabilities c;
    {
        DriveLockGuard lock;
        c = ReadDriveCapabilities(letter);
    }
    return CompatibleBlankTypes(source, blocks) & c.writes;
}

DiscTypeMask WritableBlankTypes(char16_t letter, DiscType source) {
    return WritableBlankTypes(letter, source, 0);
}

}  // namespace vestrel
