#include "drive/cdb.h"

#include <algorithm>

#include "drive/bytes.h"

namespace vestrel {

namespace {

CommandBlock Make(uint8_t op, uint8_t length, DataDirection direction, uint32_t transfer,
                  uint32_t timeout) {
    CommandBlock b;
    b.cdb[0] = op;
    b.length = length;
    b.direction = direction;
    b.transferLength = transfer;
    b.timeoutSeconds = timeout;
    return b;
}

ByteWriter Bytes(CommandBlock& b) {
    return ByteWriter(b.cdb.data(), b.cdb.size());
}

// A command whose length field (byte 4 of a 6-byte block, bytes 7 and 8 of
// a 10-byte one) carries the whole transfer.
CommandBlock MakeSized(uint8_t op, uint8_t length, DataDirection direction, uint32_t transfer,
                       uint32_t timeout) {
    CommandBlock b = Make(op, length, direction, transfer, timeout);
    if (length == 6)
        b.cdb[4] = static_cast<uint8_t>(transfer);
    else
        Bytes(b).Be16(7, static_cast<uint16_t>(transfer));
    return b;
}

constexpr auto In = DataDirection::FromDevice;
constexpr auto Out = DataDirection::ToDevice;

}  // namespace

CommandBlock TestUnitReadyCdb() {
    return Make(opcode::TestUnitReady, 6, In, 0, 30);
}

CommandBlock RequestSenseCdb() {
    return MakeSized(opcode::RequestSense, 6, In, kRequestSenseLength, 15);
}

CommandBlock InquiryCdb() {
    return MakeSized(opcode::Inquiry, 6, In, kInquiryLength, 15);
}

CommandBlock GetConfigurationCdb() {
    return MakeSized(opcode::GetConfiguration, 10, In, kGetConfigurationLength, 15);
}

CommandBlock ModeSenseCapabilitiesCdb(uint16_t allocationLength) {
    CommandBlock b = MakeSized(opcode::ModeSense10, 10, In, allocationLength, 15);
    b.cdb[1] = 0x08;  // DBD: no block descriptors
    b.cdb[2] = 0xAA;  // default values, page 2Ah
    return b;
}

CommandBlock ModeSenseWriteParametersCdb() {
    CommandBlock b = MakeSized(opcode::ModeSense10, 10, In, kWriteParametersPageLength, 15);
    b.cdb[1] = 0x08;
    b.cdb[2] = 0x85;  // default values, page 05h
    return b;
}

CommandBlock ModeSelect10Cdb() {
    CommandBlock b = MakeSized(opcode::ModeSelect10, 10, Out, kWriteParametersPageLength, 15);
    b.cdb[1] = 0x10;  // PF
    return b;
}

CommandBlock ReadDiscInformationCdb() {
    return MakeSized(opcode::ReadDiscInformation, 10, In, kDiscInformationLength, 60);
}

CommandBlock ReadTrackInformationCdb(uint32_t trackNumber) {
    CommandBlock b = MakeSized(opcode::ReadTrackInformation, 10, In, kTrackInformationLength, 60);
    b.cdb[1] = 0x01;  // address type: track number
    Bytes(b).Be32(2, trackNumber);
    return b;
}

CommandBlock ReadTocCdb(bool msf) {
    CommandBlock b = MakeSized(opcode::ReadToc, 10, In, kTocLength, 30);
    b.cdb[1] = msf ? 0x02 : 0x00;
    return b;
}

CommandBlock Read10Cdb(uint32_t lba, uint16_t blocks) {
    CommandBlock b = Make(opcode::Read10, 10, In, uint32_t{blocks} * kDataSectorSize, 30);
    Bytes(b).Be32(2, lba);
    Bytes(b).Be16(7, blocks);
    return b;
}

CommandBlock ReadCdCdb(uint32_t lba, uint32_t blocks) {
    blocks &= 0xFFFFFF;
    CommandBlock b = Make(opcode::ReadCd, 12, In, blocks * kAudioSectorSize, 30);
    Bytes(b).Be32(2, lba);
    Bytes(b).Be24(6, blocks);
    b.cdb[9] = 0xF8;  // sync, all headers, user data, EDC/ECC
    return b;
}

uint32_t ReadCdAudioBlockBytes(SubChannelSelection selection) {
    switch (selection) {
        case SubChannelSelection::RawPW:
        case SubChannelSelection::CorrectedRW:
            return kAudioSectorSize + 96;
        case SubChannelSelection::FormattedQ:
            return kAudioSectorSize + 16;
        case SubChannelSelection::None:
            break;
    }
    return kAudioSectorSize;
}

CommandBlock ReadCdAudioCdb(int32_t lba, uint32_t blocks, SubChannelSelection selection) {
    const uint32_t blockBytes = ReadCdAudioBlockBytes(selection);
    blocks = std::min({blocks, uint32_t{0xFFFFFF}, UINT32_MAX / blockBytes});
    CommandBlock b = Make(opcode::ReadCd, 12, In, blocks * blockBytes, 30);
    b.cdb[1] = 0x04;  // expected sector type 001b: CD-DA
    Bytes(b).Be32(2, static_cast<uint32_t>(lba));
    Bytes(b).Be24(6, blocks);
    b.cdb[9] = 0x10;  // user data only: the 2352 audio bytes
    b.cdb[10] = static_cast<uint8_t>(selection);
    return b;
}

CommandBlock ReadSubChannelCatalogNumberCdb() {
    CommandBlock b = MakeSized(opcode::ReadSubChannel, 10, In, kSubChannelCodeLength, 30);
    b.cdb[2] = 0x40;  // SubQ: without it only the header comes back
    b.cdb[3] = 0x02;
    return b;
}

CommandBlock ReadSubChannelIsrcCdb(uint8_t track) {
    CommandBlock b = MakeSized(opcode::ReadSubChannel, 10, In, kSubChannelCodeLength, 30);
    b.cdb[2] = 0x40;
    b.cdb[3] = 0x03;
    b.cdb[6] = track;
    return b;
}

// Track/session number (byte 6) and allocation length (bytes 7..8) where
// the READ TOC of format 0 has them.
CommandBlock ReadTocCdTextCdb(uint16_t allocationLength) {
    CommandBlock b = MakeSized(opcode::ReadToc, 10, In, allocationLength, 30);
    b.cdb[2] = 0x05;
    return b;
}

CommandBlock ReadTocAtipCdb() {
    CommandBlock b = MakeSized(opcode::ReadToc, 10, In, kAtipLength, 30);
    b.cdb[2] = 0x04;
    return b;
}

CommandBlock Write10Cdb(int32_t lba, uint16_t blocks, uint32_t bufferLength) {
    CommandBlock b = Make(opcode::Write10, 10, Out, bufferLength, 300);
    Bytes(b).Be32(2, static_cast<uint32_t>(lba));
    Bytes(b).Be16(7, blocks);
    return b;
}

CommandBlock SendCueSheetCdb(uint32_t cueSheetBytes) {
    cueSheetBytes &= 0xFFFFFF;
    CommandBlock b = Make(opcode::SendCueSheet, 10, Out, cueSheetBytes, 180);
    Bytes(b).Be24(6, cueSheetBytes);
    return b;
}

CommandBlock ReserveTrackCdb(uint32_t blocks) {
    CommandBlock b = Make(opcode::ReserveTrack, 10, In, 0, 60);
    Bytes(b).Be32(5, blocks);
    return b;
}

CommandBlock SynchronizeCacheCdb() {
    return Make(opcode::SynchronizeCache, 10, In, 0, 300);
}

CommandBlock BlankCdb() {
    CommandBlock b = Make(opcode::Blank, 12, Out, 0, 1800);
    b.cdb[1] = 0x01;  // minimal blanking, IMMED 0
    return b;
}

CommandBlock SetCdSpeedCdb(uint16_t writeSpeedKBps) {
    CommandBlock b = Make(opcode::SetCdSpeed, 12, In, 0, 30);
    Bytes(b).Be16(2, 0xFFFF);  // read speed: as fast as possible
    Bytes(b).Be16(4, writeSpeedKBps);
    return b;
}

CommandBlock SetStreamingCdb() {
    CommandBlock b = Make(opcode::SetStreaming, 12, Out, kStreamingDescriptorLength, 30);
    Bytes(b).Be16(9, static_cast<uint16_t>(kStreamingDescriptorLength));
    return b;
}

CommandBlock GetPerformanceCdb() {
    CommandBlock b = Make(opcode::GetPerformance, 12, In, kPerformanceLength, 30);
    Bytes(b).Be16(8, 30);  // at most 30 descriptors
    b.cdb[10] = 0x03;      // type 03h: write speed
    return b;
}

std::array<uint8_t, kStreamingDescriptorLength> StreamingDescriptor(uint32_t readSpeedKBps,
                                                                    uint32_t writeSpeedKBps,
                                                                    bool restoreDefaults) {
    std::array<uint8_t, kStreamingDescriptorLength> d{};
    ByteWriter w(d.data(), d.size());
    if (restoreDefaults) {
        d[0] = 0x24;  // RDD: restore the logical unit's defaults
        return d;
    }
    d[0] = 0x20;
    w.Be32(8, 0xFFFFFFFF);  // end LBA
    w.Be32(12, readSpeedKBps);
    w.Be32(16, 1000);  // read time, ms
    w.Be32(20, writeSpeedKBps);
    w.Be32(24, 1000);  // write time, ms
    return d;
}

CommandBlock FormatUnitCdb() {
    CommandBlock b = Make(opcode::FormatUnit, 6, Out, kFormatParametersLength, 1800);
    b.cdb[1] = 0x11;  // FmtData, format code 001b
    return b;
}

CommandBlock ReadFormatCapacitiesCdb() {
    return MakeSized(opcode::ReadFormatCapacities, 10, In, kFormatCapacitiesLength, 15);
}

CommandBlock CloseTrackSessionCdb(uint8_t closeFunction, uint16_t track, bool immediate) {
    CommandBlock b = Make(opcode::CloseTrackSession, 10, In, 0, 300);
    b.cdb[1] = immediate ? 0x01 : 0x00;
    b.cdb[2] = closeFunction & 0x07;
    Bytes(b).Be16(4, track);
    return b;
}

std::array<uint8_t, kFormatParametersLength> FormatUnitParameters(
    uint32_t blocks, uint8_t formatType, uint8_t subtype, uint32_t parameter, bool immediate) {
    std::array<uint8_t, kFormatParametersLength> p{};
    ByteWriter w(p.data(), p.size());
    w.U8(1, immediate ? 0x82 : 0x00);  // FOV, IMMED
    w.Be16(2, 8);                      // format descriptor length
    w.Be32(4, blocks);
    w.U8(8, static_cast<uint8_t>((formatType << 2) | (subtype & 0x03)));
    w.Be24(9, parameter);
    return p;
}

}  // namespace vestrel
