#include "drive/cd_text.h"

#include <algorithm>

#include "drive/subchannel_q.h"
#include "drive/text.h"

namespace vestrel {

namespace {

constexpr size_t kSizeInfoBytes = 3 * kCdTextPayloadBytes;
constexpr uint8_t kFirstPackType = 0x80;

bool IsTextType(uint8_t packType) {
    return CdTextHasTrackTexts(packType) || packType == cdtext::DiscId ||
           packType == cdtext::Closed;
}

uint8_t BlockOf(const CdTextPack& p) {
    return (p[3] >> 4) & 0x07;
}

void SetCrc(CdTextPack& p) {
    ByteWriter(p).Be16(16, SubcodeCrc({p.data(), 16}));
}

bool CrcMatches(const CdTextPack& p) {
    return SubcodeCrc({p.data(), 16}) == ByteReader(p).Be16(16);
}

// The TAB that stands for "the same text as the previous track".
std::string Tab(bool doubleByte) {
    return doubleByte ? std::string("\t\t") : std::string("\t");
}

// The tracks whose texts a block writes for a type, in writing order.
std::vector<uint8_t> TracksWritten(const CdTextBlock& block, uint8_t packType) {
    std::vector<uint8_t> tracks{0};
    if (CdTextHasTrackTexts(packType)) {
        for (uint32_t t = block.firstTrack; t <= block.lastTrack; ++t)
            tracks.push_back(static_cast<uint8_t>(t));
    }
    return tracks;
}

const std::string& TextOf(const std::vector<std::string>& texts, uint8_t track) {
    static const std::string kEmpty;
    return track < texts.size() ? texts[track] : kEmpty;
}

CdTextFault CheckText(const std::string& text, bool doubleByte) {
    if (!doubleByte)
        return text.find('\0') == std::string::npos ? CdTextFault::None
                                                    : CdTextFault::TextHasTerminator;
    if (text.size() % 2 != 0)
        return CdTextFault::OddDoubleByteText;
    for (size_t i = 0; i < text.size(); i += 2) {
        if (text[i] == '\0' && text[i + 1] == '\0')
            return CdTextFault::TextHasTerminator;
    }
    return CdTextFault::None;
}

// The packs of one type in one block: the texts with their terminators one
// after the other, each payload byte knowing its text's track and how many
// characters of that text came before it.
struct StreamByte {
    uint8_t value;
    uint8_t track;
    uint32_t characters;
};

void AppendTypePacks(const CdTextBlock& block, uint8_t blockNumber, uint8_t packType, bool useTab,
                     std::vector<CdTextPack>& packs) {
    const bool doubleByte = CdTextIsDoubleByte(packType, block.characterCode);
    const size_t unit = doubleByte ? 2 : 1;
    const std::vector<std::string>& texts = block.texts.at(packType);
    std::vector<StreamByte> stream;
    const std::string* previous = nullptr;
    for (uint8_t track : TracksWritten(block, packType)) {
        const std::string& text = TextOf(texts, track);
        std::string written = text;
        if (useTab && track > block.firstTrack && previous && !text.empty() && text == *previous)
            written = Tab(doubleByte);
        written.append(unit, '\0');
        for (size_t i = 0; i < written.size(); ++i) {
            stream.push_back(StreamByte{static_cast<uint8_t>(written[i]), track,
                                        static_cast<uint32_t>(i / unit)});
        }
        previous = &text;
    }
    for (size_t at = 0; at < stream.size(); at += kCdTextPayloadBytes) {
        CdTextPack p{};
        p[0] = packType;
        p[1] = stream[at].track;
        p[2] = static_cast<uint8_t>(packs.size());  // `packs` holds this block's only
        p[3] = static_cast<uint8_t>((doubleByte ? 0x80 : 0) | blockNumber << 4 |
                                    std::min<uint32_t>(stream[at].characters, 15));
        for (size_t i = 0; i < kCdTextPayloadBytes && at + i < stream.size(); ++i)
            p[4 + i] = stream[at + i].value;
        packs.push_back(p);
    }
}

// A block's packs without its size information, or a fault.
CdTextFault BlockPacks(const CdTextBlock& block, uint8_t blockNumber, bool useTab,
                       std::vector<CdTextPack>& packs) {
    if (block.firstTrack == 0 || block.firstTrack > block.lastTrack ||
        block.lastTrack > kCdTextMaxTrack)
        return CdTextFault::TrackRange;
    for (const auto& [packType, texts] : block.texts) {
        if (!IsTextType(packType))
            return CdTextFault::PackType;
        const bool doubleByte = CdTextIsDoubleByte(packType, block.characterCode);
        for (uint8_t track : TracksWritten(block, packType)) {
            CdTextFault fault = CheckText(TextOf(texts, track), doubleByte);
            if (fault != CdTextFault::None)
                return fault;
        }
    }
    for (const auto& entry : block.texts)  // in pack type order
        AppendTypePacks(block, blockNumber, entry.first, useTab, packs);
    return packs.size() + 3 > kCdTextMaxPacksPerBlock ? CdTextFault::TooManyPacks
                                                      : CdTextFault::None;
}

// The 36 bytes the three size information packs of a block carry, from
// every block's packs before their own size information is added.
std::array<uint8_t, kSizeInfoBytes> SizeInfo(std::span<const CdTextBlock> blocks,
                                             const std::vector<std::vector<CdTextPack>>& packs,
                                             size_t blockNumber) {
    const CdTextBlock& block = blocks[blockNumber];
    std::array<uint8_t, kSizeInfoBytes> info{};
    info[0] = block.characterCode;
    info[1] = block.firstTrack;
    info[2] = block.lastTrack;
    info[3] = block.copyright;
    for (const CdTextPack& p : packs[blockNumber])
        ++info[4 + (p[0] - kFirstPackType)];
    info[4 + (cdtext::SizeInfo - kFirstPackType)] = 3;
    for (size_t b = 0; b < blocks.size(); ++b) {
        info[20 + b] = static_cast<uint8_t>(packs[b].size() + 3 - 1);  // last sequence number
        info[28 + b] = blocks[b].language;
    }
    return info;
}

}  // namespace

bool CdTextHasTrackTexts(uint8_t packType) {
    return (packType >= cdtext::Title && packType <= cdtext::Message) ||
           packType == cdtext::UpcIsrc;
}

bool CdTextIsDoubleByte(uint8_t packType, uint8_t characterCode) {
    return characterCode == cdtext::MsJis && packType >= cdtext::Title &&
           packType <= cdtext::Message;
}

CdTextBuild BuildCdTextPacks(std::span<const CdTextBlock> blocks) {
    CdTextBuild build;
    if (blocks.empty()) {
        build.fault = CdTextFault::NoBlocks;
        return build;
    }
    if (blocks.size() > kCdTextMaxBlocks) {
        build.fault = CdTextFault::TooManyBlocks;
        return build;
    }
    std::vector<std::vector<CdTextPack>> packs(blocks.size());
    for (size_t b = 0; b < blocks.size(); ++b) {
        const uint8_t number = static_cast<uint8_t>(b);
        CdTextFault fault = BlockPacks(blocks[b], number, false, packs[b]);
        if (fault == CdTextFault::TooManyPacks) {
            packs[b].clear();
            fault = BlockPacks(blocks[b], number, true, packs[b]);
        }
        if (fault != CdTextFault::None) {
            build.fault = fault;
            return build;
        }
    }
    std::vector<std::array<uint8_t, kSizeInfoBytes>> infos;
    for (size_t b = 0; b < blocks.size(); ++b)
        infos.push_back(SizeInfo(blocks, packs, b));
    for (size_t b = 0; b < blocks.size(); ++b) {
        const auto& info = infos[b];
        for (uint8_t piece = 0; piece < 3; ++piece) {
            CdTextPack p{};
            p[0] = cdtext::SizeInfo;
            p[1] = piece;
            p[2] = static_cast<uint8_t>(packs[b].size());
            p[3] = static_cast<uint8_t>(b << 4);
            std::copy_n(info.begin() + piece * kCdTextPayloadBytes, kCdTextPayloadBytes, &p[4]);
            packs[b].push_back(p);
        }
        for (CdTextPack& p : packs[b]) {
            SetCrc(p);
            build.packs.push_back(p);
        }
    }
    return build;
}

namespace {

std::string ToLatin1(const std::string& utf8) {
    std::string out;
    for (char16_t c : FromUtf8(utf8))
        out += c <= 0xFF ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

std::vector<CdTextPack> AlbumCdTextPacks(const CdTexts& album, std::span<const CdTexts> tracks,
                                         uint8_t firstTrack) {
    if (tracks.empty() || firstTrack == 0 || firstTrack + tracks.size() - 1 > kCdTextMaxTrack)
        return {};
    CdTextBlock block;
    block.firstTrack = firstTrack;
    block.lastTrack = static_cast<uint8_t>(firstTrack + tracks.size() - 1);
    auto add = [&](uint8_t type, std::string CdTexts::*field) {
        std::vector<std::string> texts(size_t{block.lastTrack} + 1);
        texts[0] = ToLatin1(album.*field);
        bool any = !texts[0].empty();
        for (size_t t = 0; t < tracks.size(); ++t) {
            std::string& text = texts[firstTrack + t];
            text = ToLatin1(tracks[t].*field);
            any = any || !text.empty();
        }
        if (any)
            block.texts[type] = std::move(texts);
    };
    add(cdtext::Title, &CdTexts::title);
    add(cdtext::Performer, &CdTexts::performer);
    add(cdtext::Songwriter, &CdTexts::songwriter);
    if (block.texts.empty())
        return {};
    CdTextBuild build = BuildCdTextPacks(std::span<const CdTextBlock>(&block, 1));
    return build.fault == CdTextFault::None ? std::move(build.packs) : std::vector<CdTextPack>{};
}

std::vector<CdTextPack> AlbumCdTextPacks(const DiscMarks& marks) {
    std::vector<CdTexts> tracks;
    for (const TrackMarks& t : marks.tracks)
        tracks.push_back(t.texts);
    return AlbumCdTextPacks(marks.texts, tracks);
}

CdTextPackSet CollectCdTextPacks(std::span<const CdTextPack> packs) {
    CdTextPackSet set;
    std::map<uint16_t, CdTextPack> byNumber;
    for (const CdTextPack& p : packs) {
        if (!CrcMatches(p) || p[0] < kFirstPackType || p[0] > cdtext::SizeInfo ||
            (p[1] & 0x80) != 0) {
            ++set.rejected;
            continue;
        }
        const uint16_t key = static_cast<uint16_t>(BlockOf(p) << 8 | p[2]);
        auto [it, added] = byNumber.emplace(key, p);
        if (!added && it->second != p)
            ++set.conflicting;
    }
    set.packs.reserve(byNumber.size());
    for (const auto& entry : byNumber)
        set.packs.push_back(entry.second);
    return set;
}

namespace {

// The texts of one type in one block, by track, from its packs in sequence
// order. A text is kept only when its start was seen: after a gap in the
// sequence numbers (or a pack whose header disagrees with the count so
// far) the pack's own track byte and character position take over, and a
// text it shows to have begun earlier is dropped. The album's text is
// followed by the first track's.
std::map<uint32_t, std::string> TypeTexts(const std::vector<const CdTextPack*>& packs,
                                          bool doubleByte, uint8_t firstTrack) {
    const size_t unit = doubleByte ? 2 : 1;
    std::map<uint32_t, std::string> texts;
    bool running = false;
    uint8_t lastSequence = 0;
    uint32_t track = 0;
    std::string text;
    bool textStartSeen = false;
    for (const CdTextPack* p : packs) {
        const uint8_t packTrack = (*p)[1] & 0x7F;
        const uint8_t position = (*p)[3] & 0x0F;
        const size_t counted = std::min<size_t>(text.size() / unit, 15);
        const bool follows = running && (*p)[2] == static_cast<uint8_t>(lastSequence + 1) &&
                             packTrack == track && position == counted;
        if (!follows) {
            track = packTrack;
            text.clear();
            textStartSeen = position == 0;
        }
        for (size_t i = 0; i + unit <= kCdTextPayloadBytes; i += unit) {
            const uint8_t* at = &(*p)[4 + i];
            const bool terminator = at[0] == 0 && (unit == 1 || at[1] == 0);
            if (!terminator) {
                text.append(reinterpret_cast<const char*>(at), unit);
                continue;
            }
            if (textStartSeen && track <= kCdTextMaxTrack)
                texts.emplace(track, text);
            track = track == 0 ? firstTrack : track + 1;
            text.clear();
            textStartSeen = true;
        }
        running = true;
        lastSequence = (*p)[2];
    }
    return texts;
}

CdTextBlock ReadBlock(uint8_t blockNumber, const std::vector<const CdTextPack*>& packs,
                      size_t& missing) {
    CdTextBlock block;
    std::array<uint8_t, kSizeInfoBytes> info{};
    bool hasSizeInfo = false;
    bool doubleByteFlag = false;
    bool flagSeen = false;
    std::map<uint8_t, std::vector<const CdTextPack*>> byType;
    for (const CdTextPack* p : packs) {
        const uint8_t type = (*p)[0];
        if (type == cdtext::SizeInfo) {
            const uint8_t piece = (*p)[1];
            if (piece < 3) {
                hasSizeInfo = true;
                std::copy_n(&(*p)[4], kCdTextPayloadBytes,
                            info.begin() + piece * kCdTextPayloadBytes);
            }
        } else if (IsTextType(type)) {
            byType[type].push_back(p);
            if (!flagSeen && type <= cdtext::Message) {
                flagSeen = true;
                doubleByteFlag = ((*p)[3] & 0x80) != 0;
            }
        }
    }
    // The character code of the size information decides; without it the
    // double-byte flag of the block's first 80h..85h pack.
    if (hasSizeInfo) {
        block.characterCode = info[0];
        block.copyright = info[3];
        block.language = info[28 + blockNumber];
        block.lastTrack = std::clamp<uint8_t>(info[2], 1, kCdTextMaxTrack);
        block.firstTrack = std::clamp<uint8_t>(info[1], 1, block.lastTrack);
    } else {
        block.characterCode = doubleByteFlag ? cdtext::MsJis : cdtext::Iso8859_1;
        block.language = 0;
    }

    const size_t expected = hasSizeInfo && info[20 + blockNumber] >= (*packs.back())[2]
                                ? size_t{info[20 + blockNumber]} + 1
                                : size_t{(*packs.back())[2]} + 1;
    missing += expected - packs.size();

    std::map<uint8_t, std::map<uint32_t, std::string>> found;
    uint32_t highest = 1;
    for (const auto& [type, typePacks] : byType) {
        found[type] =
            TypeTexts(typePacks, CdTextIsDoubleByte(type, block.characterCode), block.firstTrack);
        if (!CdTextHasTrackTexts(type))
            continue;
        for (const auto& [track, text] : found[type]) {
            if (!text.empty())
                highest = std::max(highest, track);
        }
    }
    if (!hasSizeInfo)
        block.lastTrack = static_cast<uint8_t>(highest);

    for (const auto& [type, texts] : found) {
        std::vector<std::string>& list = block.texts[type];
        list.assign(CdTextHasTrackTexts(type) ? size_t{block.lastTrack} + 1 : 1, std::string());
        const std::string tab = Tab(CdTextIsDoubleByte(type, block.characterCode));
        const std::string* previous = nullptr;
        for (uint8_t track : TracksWritten(block, type)) {
            auto it = texts.find(track);
            if (it != texts.end())
                list[track] = it->second;
            if (previous && list[track] == tab)
                list[track] = *previous;
            previous = &list[track];
        }
    }
    return block;
}

}  // namespace

CdTextReading ReadCdTextPacks(std::span<const CdTextPack> packs) {
    CdTextReading reading;
    reading.set = CollectCdTextPacks(packs);
    std::array<std::vector<const CdTextPack*>, kCdTextMaxBlocks> byBlock;
    for (const CdTextPack& p : reading.set.packs)
        byBlock[BlockOf(p)].push_back(&p);
    for (size_t b = 0; b < kCdTextMaxBlocks; ++b) {
        if (!byBlock[b].empty()) {
            reading.blocks.push_back(
                ReadBlock(static_cast<uint8_t>(b), byBlock[b], reading.missingPacks));
        }
    }
    return reading;
}

std::array<uint8_t, kCdTextSpreadBytes> SpreadCdTextPack(const CdTextPack& pack) {
    std::array<uint8_t, kCdTextSpreadBytes> spread{};
    for (size_t g = 0; g < kCdTextPackBytes / 3; ++g) {
        const uint32_t bits = ByteReader(pack).Be24(3 * g);
        for (size_t s = 0; s < 4; ++s)
            spread[4 * g + s] = static_cast<uint8_t>((bits >> (18 - 6 * s)) & 0x3F);
    }
    return spread;
}

CdTextPack GatherCdTextPack(ByteReader spread) {
    CdTextPack pack{};
    for (size_t g = 0; g < kCdTextPackBytes / 3; ++g) {
        uint32_t bits = 0;
        for (size_t s = 0; s < 4; ++s)
            bits = bits << 6 | (spread.U8(4 * g + s) & 0x3F);
        ByteWriter(pack).Be24(3 * g, bits);
    }
    return pack;
}

uint32_t CdTextLeadInBlocks(int32_t leadInStartLba) {
    const int64_t blocks = int64_t{-kQLbaOffset} - leadInStartLba;
    return blocks > 0 ? static_cast<uint32_t>(blocks) : 0;
}

void FillCdTextLeadIn(std::span<const CdTextPack> cycle, uint32_t firstBlock,
                      std::span<uint8_t> out) {
    if (cycle.empty())
        return;
    const size_t blocks = out.size() / kLeadInBlockBytes;
    for (size_t k = 0; k < blocks; ++k) {
        for (size_t j = 0; j < kPacksPerLeadInBlock; ++j) {
            const uint64_t n = (uint64_t{firstBlock} + k) * kPacksPerLeadInBlock + j;
            const auto spread = SpreadCdTextPack(cycle[n % cycle.size()]);
            std::copy(spread.begin(), spread.end(),
                      out.begin() + k * kLeadInBlockBytes + j * kCdTextSpreadBytes);
        }
    }
}

std::vector<CdTextPack> GatherCdTextLeadIn(ByteReader blocks) {
    std::vector<CdTextPack> packs;
    packs.reserve(blocks.size() / kCdTextSpreadBytes);
    for (size_t at = 0; blocks.Has(at, kCdTextSpreadBytes); at += kCdTextSpreadBytes)
        packs.push_back(GatherCdTextPack(blocks.Sub(at, kCdTextSpreadBytes)));
    return packs;
}

}  // namespace vestrel
