// The simulator's description files, as people write them: the text parser
// alone, over the built-in models a bay starts with. Nothing is loaded from
// disk; paths are only taken from the base folder.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "simulator/description.h"
#include "simulator/media.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel::sim;

namespace {

const Description& BuiltIn() {
    static const Description models = [] {
        Description d;
        std::string error;
        FUZZ_CHECK(ParseDescription(BuiltInModels(), {}, d, error));
        return d;
    }();
    return models;
}

bool Letter(char16_t letter) {
    return letter >= u'A' && letter <= u'Z';
}

constexpr uint32_t kDayMs = 24 * 60 * 60 * 1000;

void CheckPage(const std::vector<uint8_t>& page, uint8_t code) {
    FUZZ_CHECK(page.empty() ||
               (page.size() >= 2 && page[0] == code && page[1] + 2u == page.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Description d = BuiltIn();
    std::string error;
    const bool ok = ParseDescription(text, "/bay", d, error);
    // A failure says what is wrong, and says it briefly.
    FUZZ_CHECK(ok == error.empty());
    FUZZ_CHECK(error.size() <= size + 100);
    if (!ok)
        return 0;

    std::set<char16_t> letters;
    for (const DriveEntry& drive : d.drives) {
        FUZZ_CHECK(Letter(drive.letter) && letters.insert(drive.letter).second);
        FUZZ_CHECK(d.FindModel(drive.model) && drive.becomingReadyMs <= kDayMs);
        FUZZ_CHECK(drive.disc.empty() || d.FindDisc(drive.disc));
    }
    for (const FolderEntry& folder : d.folders) {
        FUZZ_CHECK(Letter(folder.letter) && letters.insert(folder.letter).second);
        FUZZ_CHECK(folder.path.empty() || folder.path.is_absolute());
    }
    std::set<std::string> discs;
    for (const DiscEntry& disc : d.discs) {
        FUZZ_CHECK(disc.profile != 0 && discs.insert(disc.name).second);
        FUZZ_CHECK(disc.image.empty() || disc.image.is_absolute());
        if (disc.source == DiscSource::Blank || disc.source == DiscSource::Used)
            FUZZ_CHECK(RulesForProfile(disc.profile).writable());
        if (disc.source != DiscSource::Blank && disc.source != DiscSource::Used)
            FUZZ_CHECK(!disc.image.empty());
        for (const Fault& f : disc.faults)
            FUZZ_CHECK(f.kind == FaultKind::ReadError);
    }
    for (const DriveModel& model : d.models) {
        for (const FeatureDescriptor& f : model.features)
            FUZZ_CHECK(f.data.size() % 4 == 0 && f.data.size() <= 252 && f.version <= 15);
        CheckPage(model.capabilitiesPage, 0x2A);
        CheckPage(model.writeParametersPage, 0x05);
        for (const auto& [family, speeds] : model.writeSpeeds) {
            FUZZ_CHECK(!speeds.empty());
            for (size_t i = 0; i < speeds.size(); ++i)
                FUZZ_CHECK(speeds[i] > 0 && (i == 0 || speeds[i] <= speeds[i - 1]));
        }
        for (const auto& [family, speed] : model.readSpeed)
            FUZZ_CHECK(speed > 0);
    }
    // The operator's steps name drives of the bay, at times that do not wrap.
    const std::set<char16_t> drives = [&] {
        std::set<char16_t> s;
        for (const DriveEntry& drive : d.drives)
            s.insert(drive.letter);
        return s;
    }();
    for (const LoadStep& load : d.op.loads)
        FUZZ_CHECK(drives.count(load.letter) && d.FindDisc(load.disc) && load.afterMs <= kDayMs);
    for (const auto& [letter, profile] : d.op.blanks)
        FUZZ_CHECK(drives.count(letter) && RulesForProfile(profile).writable());
    FUZZ_CHECK(d.op.blankDelayMs <= kDayMs && d.op.closeTraysAfterMs.value_or(0) <= kDayMs);
    for (const std::filesystem::path& p : {d.workFolder, d.appDataFolder, d.op.finishedFolder})
        FUZZ_CHECK(p.empty() || p.is_absolute());
    return 0;
}
