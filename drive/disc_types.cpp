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

struct ProfileType {
    uint16_t profile;
    DiscType type;
};

constexpr ProfileType kProfileTypes[] = {
    {0x0000, disc::None},       {0x0008, disc::CdRom},    {0x0009, disc::CdR},
    {0x000A, disc::CdRw},       {0x0010, disc::DvdRom},   {0x0011, disc::DvdR},
    {0x0012, disc::DvdRam},     {0x0013, disc::DvdRw},    {0x0014, disc::DvdRw},
    {0x0015, disc::DvdRDl},     {0x0016, disc::DvdRDl},   {0x0017, disc::DvdRwDl},
    {0x001A, disc::DvdPlusRw},  {0x001B, disc::DvdPlusR}, {0x002A, disc::DvdPlusRwDl},
    {0x002B, disc::DvdPlusRDl}, {0x0050, disc::HdDvdRom}, {0x0051, disc::HdDvdR},
    {0x0052, disc::HdDvdRam},   {0x0053, disc::HdDvdRw},  {0x0058, disc::HdDvdRDl},
    {0x005A, disc::HdDvdRwDl},  {0x0040, disc::BdRom},    {0x0041, disc::BdR},
    {0x0042, disc::BdR},        {0x0043, disc::BdRe},
};

}  // namespace

DiscType ProfileToDiscType(uint16_t profile) {
    for (const ProfileType& entry : kProfileTypes) {
        if (entry.profile == profile)
            return entry.type;
    }
    return disc::Unknown;
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
