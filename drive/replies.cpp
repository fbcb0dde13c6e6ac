#include "drive/replies.h"

#include <algorithm>

#include "drive/subchannel_q.h"

namespace vestrel {

namespace {

std::u16string AsciiField(ByteReader reply, size_t offset, size_t length) {
    std::u16string s;
    for (size_t i = 0; i < length; ++i) {
        if (!reply.Has(offset + i, 1))
            break;
        uint8_t c = reply.U8(offset + i);
        s.push_back(c >= 0x20 && c < 0x7F ? static_cast<char16_t>(c) : u' ');
    }
    return s;
}

}  // namespace

std::u16string InquiryVendor(ByteReader reply) {
    return AsciiField(reply, 8, 8);
}
std::u16string InquiryProduct(ByteReader reply) {
    return AsciiField(reply, 16, 16);
}

ConfigurationHeader ReadConfigurationHeader(ByteReader reply) {
    ConfigurationHeader h;
    h.dataLength = static_cast<int32_t>(reply.Be32(0));
    h.currentProfile = reply.Be16(6);
    return h;
}

ByteReader ConfigurationData(ByteReader reply) {
    int32_t length = ReadConfigurationHeader(reply).dataLength;
    uint64_t end = 4 + static_cast<uint64_t>(std::max<int32_t>(length, 0));
    return reply.Sub(0, static_cast<size_t>(std::min<uint64_t>(end, reply.size())));
}

std::vector<Feature> ReadFeatures(ByteReader reply, size_t limit) {
    ByteReader data = ConfigurationData(reply);
    // Counted first, so that the list is allocated once.
    size_t count = 0;
    for (size_t offset = 8; count < limit && data.Has(offset, 4);
         offset += 4 + size_t{data.U8(offset + 3)})
        ++count;
    std::vector<Feature> features;
    features.reserve(count);
    size_t offset = 8;
    while (features.size() < count) {
        Feature f;
        f.code = data.Be16(offset);
        f.flags = data.U8(offset + 2);
        f.additionalLength = data.U8(offset + 3);
        f.bytes = data.Sub(offset, 4 + size_t{f.additionalLength});
        features.push_back(f);
        offset += 4 + size_t{f.additionalLength};
    }
    return features;
}

std::vector<uint16_t> ReadProfileList(const Feature& profileList) {
    std::vector<uint16_t> profiles;
    profiles.reserve(std::min<size_t>(profileList.additionalLength, profileList.bytes.size()) / 4);
    for (size_t offset = 4;
         offset + 4 <= 4 + size_t{profileList.additionalLength} && profileList.bytes.Has(offset, 4);
         offset += 4) {
        profiles.push_back(profileList.bytes.Be16(offset));
    }
    return profiles;
}

CapabilitiesPage ReadCapabilitiesPage(ByteReader reply) {
    CapabilitiesPage page;
    page.readSupport = reply.U8(10);
    page.writeSupport = reply.U8(11);
    page.bufferUnderrunFree = reply.Bit(12, 7);
    return page;
}

DiscInformation ReadDiscInformationReply(ByteReader reply) {
    DiscInformation info;
    info.discStatus = reply.U8(2) & 0x03;
    info.erasable = reply.Bit(2, 4);
    info.lastLeadOutStart = reply.Be32(20);
    return info;
}

std::optional<uint32_t> CdLastLeadOutLba(const DiscInformation& info) {
    const uint32_t m = (info.lastLeadOutStart >> 16) & 0xFF;
    const uint32_t s = (info.lastLeadOutStart >> 8) & 0xFF;
    const uint32_t f = info.lastLeadOutStart & 0xFF;
    const uint32_t frames = (m * 60 + s) * 75 + f;
    if ((info.lastLeadOutStart >> 24) != 0 || s >= 60 || f >= 75 || frames < 150)
        return std::nullopt;
    return frames - 150;
}

std::optional<TrackInformation> ReadTrackInformationReply(ByteReader reply) {
    // The data length counts from byte 2; the fields read end at byte 27.
    const size_t end = std::min<size_t>(reply.size(), 2 + size_t{reply.Be16(0)});
    ByteReader data = reply.Sub(0, end);
    if (!data.Has(0, 28))
        return std::nullopt;
    TrackInformation t;
    t.trackNumber = static_cast<uint16_t>((data.U8(32) << 8) | data.U8(2));
    t.reserved = data.Bit(6, 7);
    t.blank = data.Bit(6, 6);
    t.nwaValid = data.Bit(7, 0);
    t.trackStart = data.Be32(8);
    t.nextWritable = data.Be32(12);
    t.freeBlocks = data.Be32(16);
    t.trackSize = data.Be32(24);
    return t;
}

FormatCapacities ReadFormatCapacitiesReply(ByteReader reply) {
    FormatCapacities c;
    const size_t end = std::min<size_t>(reply.size(), 4 + size_t{reply.U8(3)});
    ByteReader list = reply.Sub(0, end);
    if (!list.Has(4, 8))
        return c;
    c.currentBlocks = list.Be32(4);
    c.currentKind = list.U8(8) & 0x03;
    for (size_t at = 12; list.Has(at, 8); at += 8) {
        c.formats.push_back(FormatDescriptor{
            list.Be32(at), static_cast<uint8_t>(list.U8(at + 4) >> 2), list.Be24(at + 5)});
    }
    return c;
}

SenseData ReadSenseData(ByteReader reply) {
    SenseData d;
    const uint8_t code = reply.U8(0) & 0x7F;
    // Bytes 15..17 (fixed) or the 3 bytes after a sense-key-specific
    // descriptor's header: SKSV in the first, then the progress.
    auto progressAt = [&](ByteReader field) {
        if (field.Has(0, 3) && field.Bit(0, 7) && (d.senseKey == 0x00 || d.senseKey == 0x02))
            d.progress = field.Be16(1);
    };
    // The additional length in byte 7 bounds the rest.
    const ByteReader sense = reply.Sub(0, 8 + size_t{reply.U8(7)});
    // The key, ASC and ASCQ where the format keeps them; false when the sense
    // data is shorter than the format's `minimum`.
    auto readKey = [&](size_t minimum, size_t keyAt, size_t ascAt) {
        if (!sense.Has(0, minimum))
            return false;
        d.valid = true;
        d.senseKey = sense.U8(keyAt) & 0x0F;
        d.asc = sense.U8(ascAt);
        d.ascq = sense.U8(ascAt + 1);
        return true;
    };
    if (code == 0x70 || code == 0x71) {
        if (!readKey(14, 2, 12))
            return d;
        progressAt(sense.Sub(15, 3));
    } else if (code == 0x72 || code == 0x73) {
        if (!readKey(8, 1, 2))
            return d;
        for (size_t at = 8; sense.Has(at, 2); at += 2 + size_t{sense.U8(at + 1)}) {
            if (sense.U8(at) == 0x02)  // sense key specific
                progressAt(sense.Sub(at + 4, 3));
        }
    }
    return d;
}

Toc ReadTocReply(ByteReader reply) {
    Toc toc;
    toc.lastTrack = reply.U8(3);
    size_t end = std::min<size_t>(reply.size(), 2 + size_t{reply.Be16(0)});
    ByteReader data = reply.Sub(0, end);
    size_t wanted = size_t{toc.lastTrack} + 1;
    for (size_t i = 0; i < wanted; ++i) {
        size_t offset = 4 + 8 * i;
        if (!data.Has(offset, 8))
            break;
        TocEntry e;
        e.control = data.U8(offset + 1) & 0x0F;
        e.trackNumber = data.U8(offset + 2);
        e.address = data.Be32(offset + 4);
        toc.entries.push_back(e);
    }
    toc.complete = toc.lastTrack > 0 && toc.entries.size() == wanted;
    return toc;
}

std::vector<WriteSpeedDescriptor> ReadWriteSpeeds(ByteReader reply) {
    std::vector<WriteSpeedDescriptor> speeds;
    uint32_t length = reply.Be32(0);
    size_t promised = length >= 4 ? (length - 4) / 16 : 0;
    for (size_t i = 0; i < promised; ++i) {
        size_t offset = 8 + 16 * i;
        if (!reply.Has(offset, 16))
            break;
        WriteSpeedDescriptor d;
        d.endLba = reply.Be32(offset + 4);
        d.readSpeed = reply.Be32(offset + 8);
        d.writeSpeed = reply.Be32(offset + 12);
        speeds.push_back(d);
    }
    return speeds;
}

namespace {

// The bytes of a READ SUB-CHANNEL reply its data length covers, the
// characters of format `format` and whether they are flagged valid; nothing
// when the reply is of another format or stops before the characters end.
struct CodeField {
    ByteReader data;
    bool valid = false;
};
std::optional<CodeField> ReadCodeField(ByteReader reply, uint8_t format, size_t characters,
                                       SubChannelCode& code) {
    ByteReader data = reply.Sub(0, 4 + size_t{reply.Be16(2)});
    if (!data.Has(9, characters) || data.U8(4) != format)
        return std::nullopt;
    code.text.assign(reinterpret_cast<const char*>(data.data()) + 9, characters);
    return CodeField{data, data.Bit(8, 7)};
}

}  // namespace

SubChannelCode ReadCatalogNumberReply(ByteReader reply) {
    SubChannelCode code;
    std::optional<CodeField> field = ReadCodeField(reply, 0x02, 13, code);
    if (!field)
        return code;
    if (!field->valid || code.text == "0000000000000")
        code.state = SubChannelCodeState::Absent;
    else
        code.state = IsCatalogNumber(code.text) ? SubChannelCodeState::Present
                                                : SubChannelCodeState::BadSyntax;
    return code;
}

SubChannelCode ReadIsrcReply(ByteReader reply) {
    SubChannelCode code;
    std::optional<CodeField> field = ReadCodeField(reply, 0x03, 12, code);
    if (!field)
        return code;
    code.adr = field->data.U8(5) >> 4;
    code.control = field->data.U8(5) & 0x0F;
    code.track = field->data.U8(6);
    if (!field->valid)
        code.state = SubChannelCodeState::Absent;
    else
        code.state =
            IsIsrc(code.text) ? SubChannelCodeState::Present : SubChannelCodeState::BadSyntax;
    return code;
}

std::optional<int32_t> AtipLeadInStart(ByteReader reply) {
    constexpr size_t kLeadInStart = 4 + 4;  // descriptor byte 4, after the header
    ByteReader data = reply.Sub(0, 2 + size_t{reply.Be16(0)});
    if (!data.Has(kLeadInStart, 3))
        return std::nullopt;
    const int32_t m = data.U8(kLeadInStart), s = data.U8(kLeadInStart + 1),
                  f = data.U8(kLeadInStart + 2);
    if (s >= 60 || f >= 75)
        return std::nullopt;
    const int32_t frames = (m * 60 + s) * 75 + f;
    const int32_t lba = m >= 90 ? frames - 450150 : frames - 150;
    if (lba >= -150)
        return std::nullopt;
    return lba;
}

CdTextReply ReadCdTextReply(ByteReader reply) {
    constexpr size_t kCdTextFirstPack = 4;  // after the 4-byte header
    CdTextReply r;
    const size_t stated = reply.Be16(0);
    r.fullLength = static_cast<uint32_t>(2 + stated);
    if (!reply.Has(0, kCdTextFirstPack))
        return r;
    ByteReader data = reply.Sub(0, 2 + stated);
    for (size_t at = kCdTextFirstPack; data.Has(at, kCdTextPackBytes); at += kCdTextPackBytes) {
        CdTextPack p;
        std::copy_n(data.data() + at, kCdTextPackBytes, p.begin());
        r.packs.push_back(p);
    }
    r.complete = stated >= 2 && (stated - 2) % kCdTextPackBytes == 0 && data.size() == 2 + stated;
    return r;
}

}  // namespace vestrel
