// CD-Text: READ TOC format 0101b replies, packs taken apart into texts,
// and 6-bit lead-in blocks gathered back into packs. The first byte's low
// bit asks for every pack's CRC to be set right before reading, so that the
// texts behind the CRC check are reached.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "drive/cd_text.h"
#include "drive/replies.h"
#include "drive/subchannel_q.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

FUZZ_DEFAULT_MAX_LEN(1024)

namespace {

void CheckReading(const CdTextReading& r, size_t packCount) {
    FUZZ_CHECK(r.blocks.size() <= kCdTextMaxBlocks);
    FUZZ_CHECK(r.set.packs.size() + r.set.rejected <= packCount);
    for (const CdTextPack& p : r.set.packs)
        FUZZ_CHECK(SubcodeCrc({p.data(), 16}) == ByteReader(p).Be16(16));
    for (const CdTextBlock& b : r.blocks) {
        FUZZ_CHECK(b.firstTrack >= 1 && b.firstTrack <= b.lastTrack);
        FUZZ_CHECK(b.lastTrack <= kCdTextMaxTrack);
        for (const auto& [type, texts] : b.texts)
            FUZZ_CHECK(texts.size() == (CdTextHasTrackTexts(type) ? b.lastTrack + 1u : 1u));
    }
    // What was read is written again, when it fits, as packs that read
    // back to the same texts.
    CdTextBuild rebuilt = BuildCdTextPacks(r.blocks);
    if (r.blocks.empty()) {
        FUZZ_CHECK(rebuilt.fault == CdTextFault::NoBlocks);
        return;
    }
    FUZZ_CHECK(rebuilt.fault == CdTextFault::None || rebuilt.fault == CdTextFault::TooManyPacks);
    if (rebuilt.fault == CdTextFault::None) {
        CdTextReading again = ReadCdTextPacks(rebuilt.packs);
        FUZZ_CHECK(again.blocks == r.blocks);
        FUZZ_CHECK(again.set.rejected == 0 && again.set.conflicting == 0);
        FUZZ_CHECK(again.missingPacks == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool fixCrcs = data[0] & 1;
    ByteReader input(data + 1, size - 1);

    CdTextReply reply = ReadCdTextReply(input);
    FUZZ_CHECK(reply.packs.size() <= (input.size() >= 4 ? (input.size() - 4) / 18 : 0));
    FUZZ_CHECK(reply.fullLength == 2u + input.Be16(0));

    std::vector<CdTextPack> packs;
    for (size_t at = 0; input.Has(at, kCdTextPackBytes); at += kCdTextPackBytes) {
        CdTextPack p;
        std::copy_n(input.data() + at, kCdTextPackBytes, p.begin());
        if (fixCrcs)
            ByteWriter(p).Be16(16, SubcodeCrc({p.data(), 16}));
        packs.push_back(p);
    }
    CheckReading(ReadCdTextPacks(packs), packs.size());

    // Gathering keeps the low 6 bits of every byte, and spreading gives
    // them back.
    std::vector<CdTextPack> gathered = GatherCdTextLeadIn(input);
    FUZZ_CHECK(gathered.size() == input.size() / kCdTextSpreadBytes);
    for (size_t i = 0; i < gathered.size(); ++i) {
        const auto spread = SpreadCdTextPack(gathered[i]);
        for (size_t j = 0; j < spread.size(); ++j)
            FUZZ_CHECK(spread[j] == (input.U8(i * kCdTextSpreadBytes + j) & 0x3F));
    }
    // And a lead-in filled with packs gathers back to them.
    if (!packs.empty()) {
        std::vector<uint8_t> leadIn(3 * kLeadInBlockBytes);
        FillCdTextLeadIn(packs, data[0] >> 1, leadIn);
        std::vector<CdTextPack> back = GatherCdTextLeadIn(ByteReader(leadIn));
        for (size_t i = 0; i < back.size(); ++i)
            FUZZ_CHECK(back[i] ==
                       packs[((data[0] >> 1) * kPacksPerLeadInBlock + i) % packs.size()]);
    }
    return 0;
}
