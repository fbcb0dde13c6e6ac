#include "platform/win32/pass_through_block.h"

#include <algorithm>
#include <cstring>

#include "drive/bytes.h"

namespace vestrel {

void BuildPassThroughBlock(const PassThroughLayout& layout, std::span<uint8_t> block,
                           const uint8_t* cdb, uint8_t cdbLength, uint8_t dataIn,
                           uint32_t transferLength, uint32_t timeoutSeconds,
                           uint64_t bufferAddress) {
    if (block.size() < layout.blockSize)
        return;
    std::memset(block.data(), 0, layout.blockSize);
    const uint8_t length = std::min<uint8_t>(cdbLength, 16);
    ByteWriter w(block.data(), layout.blockSize);
    w.Le16(0, layout.headerLength);
    w.U8(6, length);
    w.U8(7, static_cast<uint8_t>(kPassThroughSenseLength));
    w.U8(8, dataIn);
    w.Le32(12, transferLength);
    w.Le32(16, timeoutSeconds);
    if (layout.pointerSize == 8) {
        w.Le64(layout.dataBufferOffset, bufferAddress);
    } else {
        w.Le32(layout.dataBufferOffset, static_cast<uint32_t>(bufferAddress));
    }
    w.Le32(layout.senseOffsetField, static_cast<uint32_t>(layout.senseOffset));
    if (cdb && length)
        std::memcpy(block.data() + layout.cdbOffset, cdb, length);
}

PassThroughReply ReadPassThroughBlock(const PassThroughLayout& layout,
                                      std::span<const uint8_t> block) {
    ByteReader r(block.data(), std::min(block.size(), layout.blockSize));
    PassThroughReply reply;
    reply.scsiStatus = r.U8(2);
    reply.senseKey = r.U8(layout.senseOffset + 2);
    reply.asc = r.U8(layout.senseOffset + 12);
    reply.ascq = r.U8(layout.senseOffset + 13);
    return reply;
}

}  // namespace vestrel
