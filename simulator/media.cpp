#include "simulator/media.h"

#include <array>
#include <charconv>

namespace vestrel::sim {

namespace {

struct Row {
    uint16_t profile;
    const char* name;
    MediaFamily family;
    Recording recording;
    uint32_t capacity;
    uint32_t unit;
    bool closing;
};

using F = MediaFamily;
using R = Recording;

// Capacities are the usual user-data block counts of 80-minute CDs,
// 4.7/8.5 GB DVDs, 15/30 GB HD DVDs and 25 GB BDs.
constexpr std::array<Row, 21> kRows{{
    {0x0008, "CD-ROM", F::Cd, R::Pressed, 0, 1, false},
    {0x0009, "CD-R", F::Cd, R::Sequential, 359849, 1, false},
    {0x000A, "CD-RW", F::Cd, R::Erasable, 359849, 1, false},
    {0x0010, "DVD-ROM", F::Dvd, R::Pressed, 0, 1, false},
    {0x0011, "DVD-R", F::Dvd, R::Sequential, 2298496, 16, false},
    {0x0012, "DVD-RAM", F::Dvd, R::Overwritable, 2236704, 16, false},
    {0x0014, "DVD-RW", F::Dvd, R::Erasable, 2298496, 16, false},
    {0x0013, "DVD-RW restricted overwrite", F::Dvd, R::Overwritable, 2298496, 16, false},
    {0x0015, "DVD-R DL", F::Dvd, R::Sequential, 4171712, 16, false},
    {0x0017, "DVD-RW DL", F::Dvd, R::Erasable, 4171712, 16, false},
    {0x001A, "DVD+RW", F::Dvd, R::Overwritable, 2295104, 16, false},
    {0x001B, "DVD+R", F::Dvd, R::Sequential, 2295104, 16, true},
    {0x002A, "DVD+RW DL", F::Dvd, R::Overwritable, 4173824, 16, false},
    {0x002B, "DVD+R DL", F::Dvd, R::Sequential, 4173824, 16, true},
    {0x0050, "HD DVD-ROM", F::HdDvd, R::Pressed, 0, 1, false},
    {0x0051, "HD DVD-R", F::HdDvd, R::Sequential, 7341056, 32, false},
    {0x0052, "HD DVD-RAM", F::HdDvd, R::Overwritable, 9828288, 32, false},
    {0x0053, "HD DVD-RW", F::HdDvd, R::Erasable, 7341056, 32, false},
    {0x0040, "BD-ROM", F::Bd, R::Pressed, 0, 1, false},
    {0x0041, "BD-R", F::Bd, R::Sequential, 12219392, 32, true},
    {0x0043, "BD-RE", F::Bd, R::Overwritable, 11826176, 32, false},
}};

// Dual-layer HD DVD profiles share the rules of their single-layer kin.
constexpr std::array<Row, 3> kAliases{{
    {0x0058, "HD DVD-R DL", F::HdDvd, R::Sequential, 14682112, 32, false},
    {0x005A, "HD DVD-RW DL", F::HdDvd, R::Erasable, 14682112, 32, false},
    {0x0016, "DVD-R DL jump", F::Dvd, R::Sequential, 4171712, 16, false},
}};

const Row* Find(uint16_t profile) {
    for (const Row& r : kRows) {
        if (r.profile == profile)
            return &r;
    }
    for (const Row& r : kAliases) {
        if (r.profile == profile)
            return &r;
    }
    return nullptr;
}

}  // namespace

bool MediaRules::usesWriteParameters() const {
    return family == MediaFamily::Dvd && takesReserveTrack() && !needsClosing;
}

MediaRules RulesForProfile(uint16_t profile) {
    MediaRules rules;
    rules.profile = profile;
    const Row* r = Find(profile);
    if (!r)
        return rules;
    rules.family = r->family;
    rules.recording = r->recording;
    rules.blankCapacity = r->capacity;
    rules.reservationUnit = r->unit;
    rules.needsClosing = r->closing;
    rules.erasableBit = r->recording == R::Erasable || r->recording == R::Overwritable;
    return rules;
}

std::optional<uint16_t> ProfileFromName(std::string_view name) {
    for (const Row& r : kRows) {
        if (name == r.name)
            return r.profile;
    }
    for (const Row& r : kAliases) {
        if (name == r.name)
            return r.profile;
    }
    if (name.starts_with("0x") || name.starts_with("0X"))
        name.remove_prefix(2);
    unsigned value = 0;
    auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), value, 16);
    if (ec != std::errc() || end != name.data() + name.size() || name.empty() || value > 0xFFFF)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

std::string ProfileName(uint16_t profile) {
    const Row* r = Find(profile);
    if (r)
        return r->name;
    char text[8];
    auto [end, ec] = std::to_chars(text, text + sizeof text, profile, 16);
    (void)ec;
    return "profile " + std::string(text, end);
}

}  // namespace vestrel::sim
