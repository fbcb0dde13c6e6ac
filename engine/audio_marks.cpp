#include "engine/audio_marks.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "drive/cd_text.h"
#include "drive/cdb.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"
#include "drive/text.h"

namespace vestrel {

namespace {

// How many sectors off its audio a drive's Q may run.
constexpr int32_t kQShiftLimit = 4;

// Where a sector lies: its track and index; track 0 when unknown.
struct Place {
    uint8_t track = 0;
    uint8_t index = 0;
    bool known() const { return track != 0; }
    bool operator==(const Place&) const = default;
};

// The value counted most often; the first such when tied.
template <typename T>
std::optional<T> Majority(const std::vector<T>& values) {
    std::map<T, size_t> counts;
    std::optional<T> best;
    size_t bestCount = 0;
    for (const T& v : values) {
        const size_t c = ++counts[v];
        if (c > bestCount) {
            best = v;
            bestCount = c;
        }
    }
    return best;
}

bool AllZeros(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == '0'; });
}

std::string Latin1ToUtf8(const std::string& bytes) {
    return ToUtf8(FromLatin1(bytes));
}

}  // namespace

void QScan::Add(int32_t lba, ByteReader q) {
    Sector s;
    s.lba = lba;
    for (size_t i = 0; i < kFormattedQBytes && q.Has(i, 1); ++i)
        s.q[i] = q.data()[i];
    sectors_.push_back(s);
}

DiscMarks MarksFromToc(std::span<const TrackRecord> tracks, std::span<const uint8_t> tocControls,
                       uint32_t hiddenAudio) {
    DiscMarks marks;
    marks.tracks.resize(tracks.size());
    for (size_t i = 0; i < tracks.size() && i < tocControls.size(); ++i)
        marks.tracks[i].flags = tocControls[i] & track_flag::All;
    if (!marks.tracks.empty())
        marks.tracks.front().hiddenAudio = hiddenAudio;
    return marks;
}

DiscMarks QScan::Marks(std::span<const TrackRecord> tracks, std::span<const uint8_t> tocControls,
                       uint32_t hiddenAudio) const {
    DiscMarks marks = MarksFromToc(tracks, tocControls, hiddenAudio);
    if (sectors_.empty() || tracks.empty())
        return marks;

    // How the drive gives position numbers: the first frame that tells, at
    // its sector's address or, nearest first, a few sectors off it.
    auto detect = [&]() -> std::optional<QNumbers> {
        for (const Sector& s : sectors_) {
            for (int32_t off = 0; off <= kQShiftLimit; ++off) {
                for (int32_t at : {s.lba + off, s.lba - off}) {
                    if (std::optional<QNumbers> n = DetectFormattedQNumbers(ByteReader(s.q), at))
                        return n;
                }
            }
        }
        return std::nullopt;
    };
    const QNumbers numbers = detect().value_or(QNumbers::Bcd);

    const size_t count = sectors_.size();
    auto decode = [&](size_t i) { return DecodeFormattedQ(ByteReader(sectors_[i].q), numbers); };
    // How far the frames run off the audio: the offset of their own address
    // from the sector read that most good position frames give. Each frame
    // is then taken at its own address.
    std::vector<int32_t> offsets;
    for (size_t i = 0; i < count; ++i) {
        const QDecoded d = decode(i);
        const int64_t offset = int64_t{QLba(d.frame)} - sectors_[i].lba;
        if (d.ok() && d.crc != QCrc::Differs && d.frame.adr == qadr::Position &&
            d.frame.track >= 1 && d.frame.track <= tracks.size() &&
            std::abs(offset) <= kQShiftLimit)
            offsets.push_back(static_cast<int32_t>(offset));
    }
    const int32_t shift = Majority(offsets).value_or(0);
    auto lbaOf = [&](size_t i) { return sectors_[i].lba + shift; };

    std::vector<Place> places(count);
    std::vector<Place> claimed(count);  // what a frame with a bad CRC says
    std::vector<std::vector<uint8_t>> controls(tracks.size());
    std::vector<std::string> catalogNumbers;
    std::vector<std::pair<size_t, std::string>> isrcFrames;  // sector, code
    bool pauseBitSeen = false;
    auto trackOf = [&](int32_t lba) -> std::optional<size_t> {
        for (size_t t = 0; t < tracks.size(); ++t) {
            if (lba >= static_cast<int32_t>(tracks[t].firstLba) &&
                lba <= static_cast<int32_t>(tracks[t].lastLba))
                return t;
        }
        return std::nullopt;
    };
    for (size_t i = 0; i < count; ++i) {
        pauseBitSeen = pauseBitSeen || (sectors_[i].q[15] & 0x80) != 0;
        const QDecoded d = decode(i);
        if (!d.ok())
            continue;
        const QFrame& f = d.frame;
        if (f.adr == qadr::Position) {
            const bool placed = f.track >= 1 && f.track <= tracks.size() && QLba(f) == lbaOf(i);
            if (!placed)
                continue;
            if (d.crc == QCrc::Differs) {
                claimed[i] = {f.track, f.index};
                continue;
            }
            places[i] = {f.track, f.index};
            if (f.index >= 1)
                controls[f.track - 1].push_back(f.control);
        } else if (d.crc == QCrc::Differs) {
            continue;
        } else if (f.adr == qadr::CatalogNumber) {
            if (IsCatalogNumber(f.code) && !AllZeros(f.code))
                catalogNumbers.push_back(f.code);
        } else if (f.adr == qadr::Isrc && IsIsrc(f.code)) {
            isrcFrames.emplace_back(i, f.code);
        }
    }

    // Sectors whose place no good frame gave: inside a run between two
    // sectors of the same place, that place; where the place changes, the
    // frame's own content when it names one of the two, else the P bit
    // (set through index 0), else the later place: a boundary that frames
    // without a position hide is taken to lie right after the last frame
    // of the earlier place.
    for (size_t i = 0; i < count;) {
        if (places[i].known()) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < count && !places[end].known())
            ++end;
        const Place before = i > 0 ? places[i - 1] : Place{};
        const Place after = end < count ? places[end] : Place{};
        for (size_t k = i; k < end; ++k) {
            const bool contiguous = lbaOf(k) == lbaOf(i) + int32_t(k - i);
            if (!contiguous)
                break;
            if (before == after || !after.known()) {
                places[k] = before;
            } else if (!before.known()) {
                places[k] = after;
            } else if (claimed[k] == before || claimed[k] == after) {
                places[k] = claimed[k];
            } else if (pauseBitSeen && (before.index == 0) != (after.index == 0)) {
                const bool pause = (sectors_[k].q[15] & 0x80) != 0;
                places[k] = pause == (after.index == 0) ? after : before;
            } else {
                places[k] = after;
            }
        }
        i = end;
    }

    // Where each track's indexes begin.
    std::vector<std::map<uint8_t, int32_t>> starts(tracks.size());
    for (size_t i = 0; i < count; ++i) {
        if (!places[i].known())
            continue;
        auto& first = starts[places[i].track - 1];
        if (!first.count(places[i].index))
            first[places[i].index] = lbaOf(i);
    }
    // Each ISRC frame counts for the track its place names (a pre-gap's
    // frames for its own track, not for the track before, whose blocks hold
    // it), else for the track whose blocks hold it. The code most frames
    // give wins: a lagging ISRC latch gives only a track's first frames the
    // track before's code.
    std::vector<std::vector<std::string>> isrcs(tracks.size());
    for (const auto& [i, code] : isrcFrames) {
        if (places[i].known())
            isrcs[places[i].track - 1].push_back(code);
        else if (std::optional<size_t> t = trackOf(lbaOf(i)))
            isrcs[*t].push_back(code);
    }
    for (size_t t = 0; t < tracks.size(); ++t) {
        TrackMarks& m = marks.tracks[t];
        const int32_t indexOne =
            static_cast<int32_t>(tracks[t].firstLba + (t == 0 ? hiddenAudio : 0));
        if (tracks[t].isData)
            continue;
        if (std::optional<uint8_t> c = Majority(controls[t]))
            m.flags = *c & track_flag::All;
        if (std::optional<std::string> code = Majority(isrcs[t]))
            m.isrc = *code;
        const auto& first = starts[t];
        if (t > 0) {
            if (auto zero = first.find(0); zero != first.end() && zero->second < indexOne)
                m.preGap = static_cast<uint32_t>(indexOne - zero->second);
        }
        for (uint8_t index = 2; index <= 99; ++index) {
            auto at = first.find(index);
            if (at == first.end() || at->second <= indexOne)
                break;
            m.indexes.push_back(static_cast<uint32_t>(at->second - indexOne));
        }
    }
    if (std::optional<std::string> code = Majority(catalogNumbers))
        marks.catalogNumber = *code;
    return marks;
}

bool AddDriveMarks(char16_t letter, std::span<const TrackRecord> tracks, DiscMarks& marks) {
    marks.tracks.resize(tracks.size());
    std::vector<uint8_t> reply(kSubChannelCodeLength);
    if (marks.catalogNumber.empty() && SendReadSubChannelCatalogNumber(letter, reply).ok()) {
        const SubChannelCode code = ReadCatalogNumberReply(ByteReader(reply));
        if (code.state == SubChannelCodeState::Present && !AllZeros(code.text))
            marks.catalogNumber = code.text;
    }
    for (size_t t = 0; t < tracks.size(); ++t) {
        if (tracks[t].isData || !marks.tracks[t].isrc.empty())
            continue;
        if (!SendReadSubChannelIsrc(letter, static_cast<uint8_t>(t + 1), reply).ok())
            continue;
        const SubChannelCode code = ReadIsrcReply(ByteReader(reply));
        if (code.state == SubChannelCodeState::Present && IsIsrc(code.text))
            marks.tracks[t].isrc = code.text;
    }

    std::vector<uint8_t> header(kCdTextHeaderLength);
    if (!SendReadTocCdText(letter, header).ok())
        return false;
    const uint32_t full =
        std::min(ReadCdTextReply(ByteReader(header)).fullLength, kCdTextReplyLimit);
    if (full <= kCdTextHeaderLength)
        return true;
    std::vector<uint8_t> whole(full);
    if (!SendReadTocCdText(letter, whole).ok())
        return false;
    const CdTextReply packs = ReadCdTextReply(ByteReader(whole));
    const CdTextReading reading = ReadCdTextPacks(packs.packs);
    // The first block that is not double-byte: the texts are kept as UTF-8
    // converted from ISO 8859-1 (ASCII is a part of it).
    for (const CdTextBlock& block : reading.blocks) {
        if (block.characterCode == cdtext::MsJis)
            continue;
        auto take = [&](uint8_t type, std::string CdTexts::*field) {
            auto texts = block.texts.find(type);
            if (texts == block.texts.end())
                return;
            for (size_t n = 0; n < texts->second.size(); ++n) {
                const std::string text = Latin1ToUtf8(texts->second[n]);
                if (n == 0)
                    marks.texts.*field = text;
                else if (n <= marks.tracks.size())
                    marks.tracks[n - 1].texts.*field = text;
            }
        };
        take(cdtext::Title, &CdTexts::title);
        take(cdtext::Performer, &CdTexts::performer);
        take(cdtext::Songwriter, &CdTexts::songwriter);
        break;
    }
    return true;
}

std::vector<uint8_t> TocControls(ByteReader msfReply) {
    const Toc toc = ReadTocReply(msfReply);
    std::vector<uint8_t> controls;
    if (!toc.complete)
        return controls;
    for (size_t i = 0; i < toc.lastTrack && i < toc.entries.size(); ++i)
        controls.push_back(toc.entries[i].control);
    return controls;
}

}  // namespace vestrel
