#include "simulator/description.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <utility>

#include "simulator/cd_sector.h"
#include "simulator/trim.h"

namespace vestrel::sim {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Words(std::string_view s) {
    std::vector<std::string> out;
    std::istringstream in{std::string(s)};
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

std::vector<std::string> CommaList(std::string_view s) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= s.size()) {
        size_t comma = s.find(',', start);
        std::string item = Trim(s.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (!item.empty())
            out.push_back(item);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return out;
}

bool ParseUnsigned(std::string_view s, uint64_t& value, int base = 10) {
    if (base == 16 && (s.starts_with("0x") || s.starts_with("0X")))
        s.remove_prefix(2);
    if (s.empty())
        return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    return ec == std::errc() && end == s.data() + s.size();
}

bool ParseU32(std::string_view s, uint32_t& value) {
    uint64_t v = 0;
    if (!ParseUnsigned(s, v) || v > 0xFFFFFFFFu)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// Times of the bay's clock: at most a day, so that a due time never wraps.
bool ParseMs(std::string_view s, uint32_t& ms) {
    constexpr uint32_t kDayMs = 24 * 60 * 60 * 1000;
    uint32_t v = 0;
    if (!ParseU32(s, v) || v > kDayMs)
        return false;
    ms = v;
    return true;
}

bool ParseSize(std::string_view s, uint64_t& bytes) {
    uint64_t unit = 1;
    if (!s.empty()) {
        switch (std::toupper(static_cast<unsigned char>(s.back()))) {
            case 'K':
                unit = 1ull << 10;
                break;
            case 'M':
                unit = 1ull << 20;
                break;
            case 'G':
                unit = 1ull << 30;
                break;
            default:
                break;
        }
        if (unit != 1)
            s.remove_suffix(1);
    }
    uint64_t v = 0;
    if (!ParseUnsigned(s, v) || v > UINT64_MAX / unit)
        return false;
    bytes = v * unit;
    return true;
}

bool ParseHexBytes(const std::vector<std::string>& words, size_t from, std::vector<uint8_t>& out) {
    for (size_t i = from; i < words.size(); ++i) {
        uint64_t v = 0;
        if (!ParseUnsigned(words[i], v, 16) || v > 0xFF)
            return false;
        out.push_back(static_cast<uint8_t>(v));
    }
    return true;
}

bool ParseLetter(std::string_view s, char16_t& letter) {
    if (s.size() != 1 && !(s.size() == 2 && s[1] == ':'))
        return false;
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    if (c < 'A' || c > 'Z')
        return false;
    letter = static_cast<char16_t>(c);
    return true;
}

bool ParseFamily(std::string_view s, MediaFamily& family) {
    if (s == "CD")
        family = MediaFamily::Cd;
    else if (s == "DVD")
        family = MediaFamily::Dvd;
    else if (s == "HD-DVD")
        family = MediaFamily::HdDvd;
    else if (s == "BD")
        family = MediaFamily::Bd;
    else
        return false;
    return true;
}

bool ParseBool(std::string_view s, bool& value) {
    if (s == "yes" || s == "true" || s == "1")
        value = true;
    else if (s == "no" || s == "false" || s == "0")
        value = false;
    else
        return false;
    return true;
}

// The faults a description names by one word, and how many numbers follow
// the word: an address and a count, a count, or none.
struct FaultWord {
    std::string_view word;
    FaultKind kind;
    size_t numbers;
};
constexpr FaultWord kFaultWords[] = {
    {"read-error", FaultKind::ReadError, 2},
    {"write-error", FaultKind::WriteError, 2},
    {"corrupt-write", FaultKind::CorruptWrite, 2},
    {"long-write", FaultKind::LongWrite, 1},
    {"unit-attention", FaultKind::UnitAttention, 1},
    {"not-ready-after-erase", FaultKind::NotReadyAfterErase, 1},
    {"blank-fails", FaultKind::BlankFails, 0},
    {"long-sync", FaultKind::LongSync, 1},
    {"close-fails", FaultKind::CloseFails, 0},
    {"format-fails", FaultKind::FormatFails, 0},
    {"long-close", FaultKind::LongClose, 1},
    {"long-format", FaultKind::LongFormat, 1},
    {"nwa-offset", FaultKind::NwaOffset, 1},
    {"toc-unreadable", FaultKind::TocUnreadable, 0},
    {"short-tracks-refused", FaultKind::RefuseShortTracks, 0},
    {"q-binary", FaultKind::QBinary, 0},
    {"q-crc-errors", FaultKind::QCrcErrors, 1},
    {"q-shift", FaultKind::QShift, 1},
    {"cd-text-unsupported", FaultKind::CdTextUnsupported, 0},
    {"hidden-audio-unreadable", FaultKind::HiddenAudioUnreadable, 0},
    {"isrc-latch", FaultKind::IsrcLatch, 1},
};

// The commands `refuse COMMAND` can name.
constexpr std::pair<std::string_view, FaultKind> kRefusals[] = {
    {"send-cue-sheet", FaultKind::RefuseCueSheet},
    {"reserve-track", FaultKind::RefuseReserveTrack},
    {"mode-select", FaultKind::RefuseModeSelect},
    {"get-performance", FaultKind::RefuseGetPerformance},
};

bool ParseFault(std::string_view text, Fault& f) {
    std::vector<std::string> w = Words(text);
    if (w.empty())
        return false;
    const std::string& k = w[0];
    auto numbers = [&](size_t want) {
        if (w.size() != want + 1)
            return false;
        if (want == 2) {
            int64_t lba = 0;
            auto [end, ec] = std::from_chars(w[1].data(), w[1].data() + w[1].size(), lba);
            if (ec != std::errc() || end != w[1].data() + w[1].size() || lba < -150 ||
                lba > INT32_MAX)
                return false;
            f.lba = static_cast<int32_t>(lba);
            return ParseU32(w[2], f.count);
        }
        return want == 0 || ParseU32(w[1], f.count);
    };
    for (const FaultWord& named : kFaultWords) {
        if (k == named.word) {
            f.kind = named.kind;
            // An offset, shift, error rate or lag of 0 would be no fault.
            return numbers(named.numbers) &&
                   ((f.kind != FaultKind::NwaOffset && f.kind != FaultKind::QCrcErrors &&
                     f.kind != FaultKind::QShift && f.kind != FaultKind::IsrcLatch) ||
                    f.count > 0);
        }
    }
    if (k == "refuse" && w.size() == 2) {
        for (const auto& [command, kind] : kRefusals) {
            if (w[1] == command) {
                f.kind = kind;
                return true;
            }
        }
    }
    return false;
}

class Parser {
  public:
    Parser(const fs::path& base, Description& out) : base_(base), out_(out) {}

    bool Line(std::string_view raw, std::string& error) {
        std::string line = Trim(raw.substr(0, raw.find('#')));
        if (line.empty())
            return true;
        if (line.front() == '[') {
            if (line.back() != ']')
                return Fail(error, "a section header ends with ]");
            return Section(Trim(std::string_view(line).substr(1, line.size() - 2)), error);
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            return Fail(error, "expected key = value");
        std::string key = Trim(std::string_view(line).substr(0, eq));
        std::string value = Trim(std::string_view(line).substr(eq + 1));
        switch (section_) {
            case Kind::Top:
                return Top(key, value, error);
            case Kind::Model:
                return Model(key, value, error);
            case Kind::Disc:
                return DiscKey(key, value, error);
            case Kind::Drive:
                return Drive(key, value, error);
            case Kind::Folder:
                return Folder(key, value, error);
            case Kind::Operator:
                return Operator(key, value, error);
        }
        return true;
    }

  private:
    enum class Kind { Top, Model, Disc, Drive, Folder, Operator };

    bool Fail(std::string& error, const std::string& why) {
        error = why;
        return false;
    }

    // A file or folder, relative to the description's folder.
    bool Path(const std::string& value, fs::path& path, std::string& error) const {
        if (value.empty()) {
            error = "a file or folder name expected";
            return false;
        }
        fs::path p(value);
        path = p.is_absolute() ? p : base_ / p;
        return true;
    }

    bool Section(const std::string& header, std::string& error) {
        std::vector<std::string> w = Words(header);
        if (w.size() == 1 && w[0] == "operator") {
            section_ = Kind::Operator;
            return true;
        }
        if (w.size() != 2)
            return Fail(error, "unknown section [" + header + "]");
        if (w[0] == "model") {
            section_ = Kind::Model;
            out_.models.push_back(DriveModel{});
            out_.models.back().name = w[1];
            return true;
        }
        if (w[0] == "disc") {
            if (out_.FindDisc(w[1]))
                return Fail(error, "disc " + w[1] + " is described twice");
            section_ = Kind::Disc;
            out_.discs.push_back(DiscEntry{});
            out_.discs.back().name = w[1];
            return true;
        }
        char16_t letter = 0;
        if (!ParseLetter(w[1], letter))
            return Fail(error, "a drive letter A to Z expected, not " + w[1]);
        for (const DriveEntry& d : out_.drives) {
            if (d.letter == letter)
                return Fail(error, "letter " + w[1] + " is described twice");
        }
        for (const FolderEntry& f : out_.folders) {
            if (f.letter == letter)
                return Fail(error, "letter " + w[1] + " is described twice");
        }
        if (w[0] == "drive") {
            section_ = Kind::Drive;
            out_.drives.push_back(DriveEntry{});
            out_.drives.back().letter = letter;
            return true;
        }
        if (w[0] == "folder") {
            section_ = Kind::Folder;
            out_.folders.push_back(FolderEntry{});
            out_.folders.back().letter = letter;
            return true;
        }
        return Fail(error, "unknown section [" + header + "]");
    }

    bool Top(const std::string& key, const std::string& value, std::string& error) {
        if (key == "timing") {
            if (value != "instant" && value != "real")
                return Fail(error, "timing is instant or real");
            out_.instant = value == "instant";
        } else if (key == "work") {
            return Path(value, out_.workFolder, error);
        } else if (key == "appdata") {
            return Path(value, out_.appDataFolder, error);
        } else if (key == "appdata-free") {
            uint64_t v = 0;
            if (!ParseSize(value, v))
                return Fail(error, "bad size " + value);
            out_.appDataFreeBytes = v;
        } else {
            return Fail(error, "unknown key " + key);
        }
        return true;
    }

    bool Profiles(const std::string& value, std::vector<uint16_t>& out, std::string& error) {
        for (const std::string& name : CommaList(value)) {
            std::optional<uint16_t> p = ProfileFromName(name);
            if (!p)
                return Fail(error, "unknown disc type " + name);
            out.push_back(*p);
        }
        return true;
    }

    bool Model(const std::string& key, const std::string& value, std::string& error) {
        DriveModel& m = out_.models.back();
        std::vector<std::string> kw = Words(key);
        if (key == "vendor") {
            m.vendor = value;
        } else if (key == "product") {
            m.product = value;
        } else if (key == "revision") {
            m.revision = value;
        } else if (key == "profiles") {
            return Profiles(value, m.profiles, error);
        } else if (key == "reads") {
            return Profiles(value, m.reads, error);
        } else if (key == "writes") {
            return Profiles(value, m.writes, error);
        } else if (key == "records-lead-in-rw") {
            if (value != "yes" && value != "no")
                return Fail(error, "records-lead-in-rw = yes or no");
            m.recordsLeadInRw = value == "yes";
        } else if (key == "lead-in-start") {
            // MM:SS:FF from 90:00:00 on: an address before LBA -150.
            unsigned mm = 0, ss = 0, ff = 0;
            char c1 = 0, c2 = 0, extra = 0;
            if (std::sscanf(value.c_str(), "%u%c%u%c%u%c", &mm, &c1, &ss, &c2, &ff, &extra) != 5 ||
                c1 != ':' || c2 != ':' || mm < kNegativeMsfMinute || mm > 99 || ss >= 60 ||
                ff >= 75)
                return Fail(error, "lead-in-start = MM:SS:FF from 90:00:00 to 99:59:74");
            m.leadInStart = SignedMsfToLba(static_cast<uint8_t>(mm), static_cast<uint8_t>(ss),
                                           static_cast<uint8_t>(ff));
        } else if (key == "features") {
            if (value != "none")
                return Fail(error, "features = none is the only list form; use feature =");
            m.features.clear();
        } else if (key == "feature") {
            std::vector<std::string> w = Words(value);
            uint64_t code = 0, version = 0;
            FeatureDescriptor f;
            if (w.size() < 2 || !ParseUnsigned(w[0], code, 16) || code > 0xFFFF ||
                !ParseUnsigned(w[1], version, 16) || version > 15 || !ParseHexBytes(w, 2, f.data) ||
                f.data.size() > 252 || f.data.size() % 4)
                return Fail(error, "feature = CODE VERSION and whole 4-byte groups of data");
            f.code = static_cast<uint16_t>(code);
            f.version = static_cast<uint8_t>(version);
            m.features.push_back(std::move(f));
        } else if (kw.size() == 2 && kw[0] == "page") {
            std::vector<uint8_t> bytes;
            if (!ParseHexBytes(Words(value), 0, bytes) || bytes.size() < 2 ||
                bytes[1] + 2u != bytes.size())
                return Fail(error, "a page is its code, its length and that many bytes");
            if (kw[1] == "2A" && bytes[0] == 0x2A)
                m.capabilitiesPage = bytes;
            else if (kw[1] == "05" && bytes[0] == 0x05)
                m.writeParametersPage = bytes;
            else
                return Fail(error, "pages 2A and 05 are modelled");
        } else if (kw.size() == 2 && (kw[0] == "read-speed" || kw[0] == "write-speeds")) {
            MediaFamily family;
            if (!ParseFamily(kw[1], family))
                return Fail(error, "disc family CD, DVD, HD-DVD or BD expected");
            std::vector<uint32_t> speeds;
            for (const std::string& s : Words(value)) {
                uint32_t v = 0;
                if (!ParseU32(s, v) || v == 0)
                    return Fail(error, "speeds are kB/s numbers");
                speeds.push_back(v);
            }
            if (speeds.empty())
                return Fail(error, "no speed given");
            std::sort(speeds.rbegin(), speeds.rend());
            if (kw[0] == "read-speed")
                m.readSpeed[family] = speeds.front();
            else
                m.writeSpeeds[family] = speeds;
        } else {
            return Fail(error, "unknown model key " + key);
        }
        return true;
    }

    bool DiscKey(const std::string& key, const std::string& value, std::string& error) {
        DiscEntry& d = out_.discs.back();
        if (key == "iso" || key == "image") {
            if (d.source != DiscSource::Used)
                d.source = DiscSource::Iso;
            if (!Path(value, d.image, error))
                return false;
        } else if (key == "cue") {
            d.source = DiscSource::Cue;
            if (!Path(value, d.image, error))
                return false;
            d.profile = 0x0008;
        } else if (key == "type") {
            std::optional<uint16_t> p = ProfileFromName(value);
            if (!p)
                return Fail(error, "unknown disc type " + value);
            d.profile = *p;
        } else if (key == "blank" || key == "used") {
            std::optional<uint16_t> p = ProfileFromName(value);
            if (!p || !RulesForProfile(*p).writable())
                return Fail(error, "a writable disc type expected, not " + value);
            d.profile = *p;
            d.source = key == "used" ? DiscSource::Used : DiscSource::Blank;
        } else if (key == "blocks") {
            if (!ParseU32(value, d.usedBlocks) || d.usedBlocks == 0)
                return Fail(error, "blocks is a positive number");
        } else if (key == "formatted") {
            return ParseBool(value, d.formatted) || Fail(error, "yes or no expected");
        } else if (key == "fault") {
            Fault f;
            if (!ParseFault(value, f) || f.kind != FaultKind::ReadError)
                return Fail(error, "a disc takes read-error LBA ATTEMPTS faults");
            d.faults.push_back(f);
        } else {
            return Fail(error, "unknown disc key " + key);
        }
        return true;
    }

    bool Drive(const std::string& key, const std::string& value, std::string& error) {
        DriveEntry& d = out_.drives.back();
        if (key == "model") {
            d.model = value;
        } else if (key == "disc") {
            d.disc = value;
        } else if (key == "tray") {
            if (value != "open" && value != "closed")
                return Fail(error, "tray is open or closed");
            d.trayOpen = value == "open";
        } else if (key == "open") {
            if (value != "fails")
                return Fail(error, "open = fails");
            d.openFails = true;
        } else if (key == "pass-through") {
            std::vector<std::string> w = Words(value);
            if (w.size() != 2 || w[0] != "fails" || !ParseU32(w[1], d.passThroughError) ||
                d.passThroughError == 0)
                return Fail(error, "pass-through = fails OS-ERROR");
        } else if (key == "becoming-ready") {
            if (!ParseMs(value, d.becomingReadyMs))
                return Fail(error, "milliseconds (at most a day) expected");
        } else if (key == "timing") {
            if (value != "instant" && value != "real")
                return Fail(error, "timing is instant or real");
            d.instant = value == "instant";
        } else if (key == "fault") {
            Fault f;
            if (!ParseFault(value, f))
                return Fail(error, "unknown fault " + value);
            d.faults.push_back(f);
        } else {
            return Fail(error, "unknown drive key " + key);
        }
        return true;
    }

    bool Folder(const std::string& key, const std::string& value, std::string& error) {
        FolderEntry& f = out_.folders.back();
        if (key == "path") {
            return Path(value, f.path, error);
        } else if (key == "free") {
            uint64_t v = 0;
            if (!ParseSize(value, v))
                return Fail(error, "bad size " + value);
            f.freeBytes = v;
        } else if (key == "label") {
            f.label = value;
        } else {
            return Fail(error, "unknown folder key " + key);
        }
        return true;
    }

    bool Operator(const std::string& key, const std::string& value, std::string& error) {
        OperatorPolicy& op = out_.op;
        std::vector<std::string> w = Words(value);
        if (key == "close-trays-after") {
            uint32_t ms = 0;
            if (!ParseMs(value, ms))
                return Fail(error, "milliseconds (at most a day) expected");
            op.closeTraysAfterMs = ms;
        } else if (key == "load") {
            LoadStep step;
            if (w.size() != 3 || !ParseLetter(w[0], step.letter) || !ParseMs(w[2], step.afterMs))
                return Fail(error, "load = LETTER DISC MILLISECONDS");
            step.disc = w[1];
            op.loads.push_back(step);
        } else if (key == "blank") {
            char16_t letter = 0;
            size_t space = value.find(' ');
            std::optional<uint16_t> p;
            if (space != std::string::npos)
                p = ProfileFromName(Trim(std::string_view(value).substr(space + 1)));
            if (space == std::string::npos ||
                !ParseLetter(std::string_view(value).substr(0, space), letter) || !p ||
                !RulesForProfile(*p).writable())
                return Fail(error, "blank = LETTER WRITABLE-DISC-TYPE");
            op.blanks[letter] = *p;
        } else if (key == "blank-delay") {
            if (!ParseMs(value, op.blankDelayMs))
                return Fail(error, "milliseconds (at most a day) expected");
        } else if (key == "take-finished") {
            return ParseBool(value, op.takeFinished) || Fail(error, "yes or no expected");
        } else if (key == "finished") {
            return Path(value, op.finishedFolder, error);
        } else {
            return Fail(error, "unknown operator key " + key);
        }
        return true;
    }

    fs::path base_;
    Description& out_;
    Kind section_ = Kind::Top;
};

}  // namespace

const DriveModel* Description::FindModel(std::string_view name) const {
    // Later definitions override earlier ones of the same name.
    for (auto it = models.rbegin(); it != models.rend(); ++it) {
        if (it->name == name)
            return &*it;
    }
    return nullptr;
}

const DiscEntry* Description::FindDisc(std::string_view name) const {
    for (const DiscEntry& d : discs) {
        if (d.name == name)
            return &d;
    }
    return nullptr;
}

bool ParseDescription(std::string_view text, const fs::path& baseFolder, Description& out,
                      std::string& error) {
    Parser parser(baseFolder, out);
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        ++lineNumber;
        std::string why;
        if (!parser.Line(line, why)) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        }
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    // The operator's steps name drives of the bay.
    auto noDrive = [&](char16_t letter) {
        if (std::any_of(out.drives.begin(), out.drives.end(),
                        [&](const DriveEntry& d) { return d.letter == letter; }))
            return false;
        error = "operator: no drive " + std::string(1, static_cast<char>(letter)) + ":";
        return true;
    };
    for (const DriveEntry& d : out.drives) {
        std::string letter(1, static_cast<char>(d.letter));
        if (d.model.empty())
            return error = "drive " + letter + ": give its model", false;
        if (!out.FindModel(d.model))
            return error = "drive " + letter + ": unknown model '" + d.model + "'", false;
        if (!d.disc.empty() && !out.FindDisc(d.disc))
            return error = "drive " + letter + ": unknown disc '" + d.disc + "'", false;
    }
    for (const LoadStep& l : out.op.loads) {
        if (!out.FindDisc(l.disc))
            return error = "operator: unknown disc '" + l.disc + "'", false;
        if (noDrive(l.letter))
            return false;
    }
    for (const auto& blank : out.op.blanks) {
        if (noDrive(blank.first))
            return false;
    }
    for (const DiscEntry& d : out.discs) {
        if (d.source == DiscSource::Iso && d.profile == 0)
            return error = "disc " + d.name + ": give the pressed disc's type", false;
        if (d.profile == 0)
            return error = "disc " + d.name + ": give iso, cue, blank or used", false;
        if ((d.source == DiscSource::Blank || d.source == DiscSource::Used) &&
            !RulesForProfile(d.profile).writable())
            return error = "disc " + d.name + ": a blank or used disc has a writable type", false;
    }
    return true;
}

}  // namespace vestrel::sim
