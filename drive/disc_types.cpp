#include "drive/disc_types.h"

namespace vestrel {

namespace {

const char16_t* const kNames[] = {
    u"CD-ROM",     u"CD-R",      u"CD-RW",       u"DVD-ROM",           u"DVD-R",
    u"DVD-RAM",    u"DVD-RW",    u"DVD-R DL",    u"DVD-RW DL",         u"DVD+RW",
    u"DVD+R",      u"DVD+RW DL", u"DVD+R DL",    u"HD DVD-ROM",        u"HD DVD-R",
    u"HD DVD-RAM", u"HD DVD-RW", u"HD DVD-R DL", u"HD DVD-RW DL",      u"BD-ROM",
    u"BD-R",       u"BD-RE",     u"Hybrid Disc", u"Unknown disc type",
};
constexpr unsigned kNamedBits = sizeof(kNames) / sizeof(kNames[0]);

}  // namespace

DiscType ProfileToDiscType(uint16_t profile) {
    switch (profile) {
        case 0x0000:
            return disc::None;
        case 0x0008:
            return disc::CdRom;
        case 0x0009:
            return disc::CdR;
        case 0x000A:
            return disc::CdRw;
        case 0x0010:
            return disc::DvdRom;
        case 0x0011:
            return disc::DvdR;
        case 0x0012:
            return disc::DvdRam;
        case 0x0013:
        case 0x0014:
            return disc::DvdRw;
        case 0x0015:
        case 0x0016:
            return disc::DvdRDl;
        case 0x0017:
            return disc::DvdRwDl;
        case 0x001A:
            return disc::DvdPlusRw;
        case 0x001B:
            return disc::DvdPlusR;
        case 0x002A:
            return disc::DvdPlusRwDl;
        case 0x002B:
            return disc::DvdPlusRDl;
        case 0x0050:
            return disc::HdDvdRom;
        case 0x0051:
            return disc::HdDvdR;
        case 0x0052:
            return disc::HdDvdRam;
        case 0x0053:
            return disc::HdDvdRw;
        case 0x0058:
            return disc::HdDvdRDl;
        case 0x005A:
            return disc::HdDvdRwDl;
        case 0x0040:
            return disc::BdRom;
        case 0x0041:
        case 0x0042:
            return disc::BdR;
        case 0x0043:
            return disc::BdRe;
        default:
            return disc::Unknown;
    }
}

std::u16string DiscTypeName(DiscType type) {
    if (type == disc::None)
        return u"No disc";
    for (unsigned bit = 0; bit < kNamedBits; ++bit) {
        if (type == (1u << bit))
            return kNames[bit];
    }
    return u"Unknown";
}

DiscTypeMask CompatibleBlankTypes(DiscType source) {
    using namespace disc;
    switch (source) {
        case CdRom:
        case CdR:
        case CdRw:
            return CdR | CdRw;
        case DvdRom:
        case DvdR:
        case DvdRam:
        case DvdRw:
        case DvdPlusRw:
        case DvdPlusR:
            return DvdR | DvdRam | DvdRw | DvdPlusRw | DvdPlusR;
        case DvdRDl:
        case DvdRwDl:
        case DvdPlusRwDl:
        case DvdPlusRDl:
            return DvdRDl | DvdRwDl | DvdPlusRwDl | DvdPlusRDl;
        case HdDvdRom:
        case HdDvdR:
        case HdDvdRam:
        case HdDvdRw:
            return HdDvdR | HdDvdRam | HdDvdRw;
        case HdDvdRDl:
        case HdDvdRwDl:
            return HdDvdRDl | HdDvdRwDl;
        case BdRom:
        case BdR:
        case BdRe:
            return BdR | BdRe;
        default:
            return None;
    }
}

DiscTypeMask CompatibleBlankTypes(DiscType source, uint64_t blocks) {
    using namespace disc;
    if (source == DvdRom && blocks > kDvdLayerBlocks)
        return DvdRDl | DvdRwDl | DvdPlusRwDl | DvdPlusRDl;
    if (source == HdDvdRom && blocks > kHdDvdLayerBlocks)
        return HdDvdRDl | HdDvdRwDl;
    return CompatibleBlankTypes(source);
}

std::u16string DescribeTypeList(DiscTypeMask mask) {
    std::u16string text;
    for (unsigned bit = 0; bit < kNamedBits; ++bit) {
        if (!(mask & (1u << bit)))
            continue;
        if (!text.empty())
            text += u", ";
        text += kNames[bit];
    }
    return text.empty() ? u"Not supported" : text;
}

bool IsHdDvdProfile(uint16_t p) {
    return p == 0x50 || p == 0x51 || p == 0x52 || p == 0x53 || p == 0x58 || p == 0x5A;
}

bool IsBdProfile(uint16_t p) {
    return p >= 0x40 && p <= 0x43;
}

}  // namespace vestrel
