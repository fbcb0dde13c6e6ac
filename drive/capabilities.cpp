#include "drive/capabilities.h"

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

DriveCapabilities FromCapabilitiesPage(ByteReader reply) {
    DriveCapabilities c;
    CapabilitiesPage page = ReadCapabilitiesPage(reply);
    const uint8_t r = page.readSupport, w = page.writeSupport;
    if (r & 0x01)
        c.reads |= CdRom | CdR;
    if (r & 0x02)
        c.reads |= CdRom | CdRw;
    if (r & 0x08)
        c.reads |= DvdRom;
    if (r & 0x10)
        c.reads |= DvdRom | DvdR;
    if (r & 0x20)
        c.reads |= DvdRam;
    if (w & 0x01)
        c.writes |= CdR;
    if (w & 0x02)
        c.writes |= CdR | CdRw;
    if (w & 0x10)
        c.writes |= DvdR;
    if (w & 0x20)
        c.writes |= DvdRam;
    return c;
}

DriveCapabilities FromFeature(const Feature& f) {
    DriveCapabilities c;
    const ByteReader& d = f.bytes;
    switch (f.code) {
        case 0x001E:
            c.reads |= CdRom | CdR | CdRw;
            break;
        case 0x001F:
            c.reads |= DvdRom | DvdR | DvdRw;
            if (d.Bit(6, 0))
                c.reads |= DvdRDl;
            if (d.Bit(6, 1))
                c.reads |= DvdRwDl;
            break;
        case 0x002A:
            c.reads |= DvdPlusRw;
            if (d.Bit(4, 0))
                c.writes |= DvdPlusRw;
            break;
        case 0x002B:
            c.reads |= DvdPlusR;
            if (d.Bit(4, 0))
                c.writes |= DvdPlusR;
            break;
        case 0x002D:
            c.writes |= CdR;
            break;
        case 0x002E:
            c.writes |= CdR;
            if (d.Bit(4, 1))
                c.writes |= CdRw;
            break;
        case 0x002F:
            c.writes |= DvdR | DvdRw;
            if (d.Bit(4, 3))
                c.writes |= DvdRDl;
            break;
        case 0x0037:
            c.writes |= CdRw;
            break;
        case 0x003A:
            c.reads |= DvdPlusRwDl;
            if (d.Bit(4, 0))
                c.writes |= DvdPlusRwDl;
            break;
        case 0x003B:
            c.reads |= DvdPlusRDl;
            if (d.Bit(4, 0))
                c.writes |= DvdPlusRDl;
            break;
        case 0x0040:
            if (d.Bit(9, 1) || d.Bit(9, 2))
                c.reads |= BdRe;
            if (d.Bit(17, 1))
                c.reads |= BdR;
            if (d.Bit(25, 1))
                c.reads |= BdRom;
            break;
        case 0x0041:
            if (d.Bit(9, 2))
                c.writes |= BdRe;
            if (d.Bit(17, 1))
                c.writes |= BdR;
            break;
        case 0x0050:
            c.reads |= HdDvdRom;
            if (d.Bit(4, 0))
                c.reads |= HdDvdR | HdDvdRw;
            if (d.Bit(6, 0))
                c.reads |= HdDvdRam;
            break;
        case 0x0051:
            if (d.Bit(4, 0))
                c.writes |= HdDvdR | HdDvdRw;
            if (d.Bit(6, 0))
                c.writes |= HdDvdRam;
            break;
        case 0x0080:
            c.reads |= HybridDisc;
            break;
        default:
            break;
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
