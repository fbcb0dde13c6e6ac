// The request block of IOCTL_SCSI_PASS_THROUGH_DIRECT: the pass-through
// header, a 4-byte filler and a 32-byte sense area, built as bytes so that
// its layout can be checked on any machine.
//
// The header holds a pointer to the caller's buffer, so its layout follows
// the pointer width of the process: 80 bytes with a 44-byte header in a
// 32-bit process, 96 bytes with a 56-byte header in a 64-bit one (where the
// pointer is 8-byte aligned). Windows accepts only the layout of the
// calling process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vestrel {

struct PassThroughLayout {
    uint16_t headerLength;    // value of the Length field
    size_t dataBufferOffset;  // the buffer pointer
    size_t pointerSize;
    size_t senseOffsetField;  // where SenseInfoOffset is stored
    size_t cdbOffset;
    size_t senseOffset;  // where the sense area starts
    size_t blockSize;
};

constexpr PassThroughLayout kPassThroughLayout32{44, 20, 4, 24, 28, 48, 80};
constexpr PassThroughLayout kPassThroughLayout64{56, 24, 8, 32, 36, 60, 96};

constexpr size_t kPassThroughSenseLength = 24;  // what the device may fill
constexpr size_t kPassThroughSenseArea = 32;
constexpr size_t kMaxPassThroughBlock = 96;

constexpr uint32_t kIoctlScsiPassThroughDirect = 0x0004D014;

// Fills `block` (at least layout.blockSize bytes): zeroes, then the header
// fields, the CDB (at most 16 bytes) and the sense offset.
void BuildPassThroughBlock(const PassThroughLayout& layout, std::span<uint8_t> block,
                           const uint8_t* cdb, uint8_t cdbLength, uint8_t dataIn,
                           uint32_t transferLength, uint32_t timeoutSeconds,
                           uint64_t bufferAddress);

struct PassThroughReply {
    uint8_t scsiStatus = 0;
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
};
PassThroughReply ReadPassThroughBlock(const PassThroughLayout& layout,
                                      std::span<const uint8_t> block);

}  // namespace vestrel
