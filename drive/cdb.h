// Builders for every command descriptor block the system sends, with the
// data direction, transfer length and timeout that go with it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "drive/transport.h"

namespace vestrel {

// Reply buffer sizes (and allocation lengths) of the commands that read.
constexpr uint32_t kInquiryLength = 96;
constexpr uint32_t kGetConfigurationLength = 61448;
constexpr uint32_t kCapabilitiesPageLength = 142;
constexpr uint32_t kCapabilitiesPageLongLength = 150;
constexpr uint32_t kWriteParametersPageLength = 512;
constexpr uint32_t kDiscInformationLength = 35;
constexpr uint32_t kTocLength = 804;
constexpr uint32_t kPerformanceLength = 488;
constexpr uint32_t kStreamingDescriptorLength = 28;
constexpr uint32_t kFormatParametersLength = 12;
constexpr uint32_t kFormatCapacitiesLength = 252;
constexpr uint32_t kRequestSenseLength = 18;  // fixed-format sense data
constexpr uint32_t kTrackInformationLength = 48;
// READ SUB-CHANNEL formats 02h and 03h: a 4-byte header and 20 bytes.
constexpr uint32_t kSubChannelCodeLength = 24;
// READ TOC format 0101b (CD-Text): a 4-byte header, then the packs; the
// allocation length has 16 bits, so one reply holds at most 3640 packs.
constexpr uint32_t kCdTextHeaderLength = 4;
constexpr uint32_t kCdTextReplyLimit = 0xFFFF;
// READ TOC format 0100b (ATIP): a 4-byte header and one 24-byte descriptor.
constexpr uint32_t kAtipLength = 28;

constexpr uint32_t kDataSectorSize = 2048;
constexpr uint32_t kAudioSectorSize = 2352;

namespace opcode {
constexpr uint8_t TestUnitReady = 0x00;
constexpr uint8_t RequestSense = 0x03;
constexpr uint8_t FormatUnit = 0x04;
constexpr uint8_t Inquiry = 0x12;
constexpr uint8_t ReadFormatCapacities = 0x23;
constexpr uint8_t Read10 = 0x28;
constexpr uint8_t Write10 = 0x2A;
constexpr uint8_t SynchronizeCache = 0x35;
constexpr uint8_t ReadSubChannel = 0x42;
constexpr uint8_t ReadToc = 0x43;
constexpr uint8_t GetConfiguration = 0x46;
constexpr uint8_t ReadDiscInformation = 0x51;
constexpr uint8_t ReadTrackInformation = 0x52;
constexpr uint8_t ReserveTrack = 0x53;
constexpr uint8_t ModeSelect10 = 0x55;
constexpr uint8_t ModeSense10 = 0x5A;
constexpr uint8_t CloseTrackSession = 0x5B;
constexpr uint8_t SendCueSheet = 0x5D;
constexpr uint8_t Blank = 0xA1;
constexpr uint8_t GetPerformance = 0xAC;
constexpr uint8_t SetStreaming = 0xB6;
constexpr uint8_t SetCdSpeed = 0xBB;
constexpr uint8_t ReadCd = 0xBE;
}  // namespace opcode

struct CommandBlock {
    std::array<uint8_t, 16> cdb{};
    uint8_t length = 0;
    DataDirection direction = DataDirection::FromDevice;
    uint32_t transferLength = 0;
    uint32_t timeoutSeconds = 0;

    std::span<const uint8_t> bytes() const { return {cdb.data(), length}; }
};

CommandBlock TestUnitReadyCdb();
// REQUEST SENSE for fixed-format sense data: how a drive busy with an
// immediate command tells its progress.
CommandBlock RequestSenseCdb();
CommandBlock InquiryCdb();
CommandBlock GetConfigurationCdb();
// allocationLength is kCapabilitiesPageLength or kCapabilitiesPageLongLength.
CommandBlock ModeSenseCapabilitiesCdb(uint16_t allocationLength);
CommandBlock ModeSenseWriteParametersCdb();
CommandBlock ModeSelect10Cdb();
CommandBlock ReadDiscInformationCdb();
// READ TRACK INFORMATION by track number; kInvisibleTrack asks for the
// invisible (or incomplete) track that takes the next recording.
constexpr uint32_t kInvisibleTrack = 0xFF;
CommandBlock ReadTrackInformationCdb(uint32_t trackNumber);
CommandBlock ReadTocCdb(bool msf);
CommandBlock Read10Cdb(uint32_t lba, uint16_t blocks);
CommandBlock ReadCdCdb(uint32_t lba, uint32_t blocks);

// READ CD of audio sectors (expected sector type CD-DA, the 2352 bytes of
// user data) with the sub-channel data the selection in byte 10 appends to
// each block: nothing, the raw P-W bytes (96), the formatted Q (16), or the
// corrected and de-interleaved R-W (96). `lba` may be negative (the
// pre-gap before track 1). The block count is cut to what a 32-bit
// transfer length holds.
enum class SubChannelSelection : uint8_t { None = 0, RawPW = 1, FormattedQ = 2, CorrectedRW = 4 };
uint32_t ReadCdAudioBlockBytes(SubChannelSelection selection);
CommandBlock ReadCdAudioCdb(int32_t lba, uint32_t blocks, SubChannelSelection selection);

// READ SUB-CHANNEL with SubQ set: format 02h (media catalog number), and
// format 03h (ISRC) of a track 1..99. The track byte is sent for the ISRC
// only; drives refuse it with any other format.
CommandBlock ReadSubChannelCatalogNumberCdb();
CommandBlock ReadSubChannelIsrcCdb(uint8_t track);
// READ TOC/PMA/ATIP format 0101b: the CD-Text packs of the lead-in.
CommandBlock ReadTocCdTextCdb(uint16_t allocationLength);
// READ TOC/PMA/ATIP format 0100b: the ATIP of the blank CD (kAtipLength).
CommandBlock ReadTocAtipCdb();
CommandBlock Write10Cdb(int32_t lba, uint16_t blocks, uint32_t bufferLength);
CommandBlock SendCueSheetCdb(uint32_t cueSheetBytes);
CommandBlock ReserveTrackCdb(uint32_t blocks);
CommandBlock SynchronizeCacheCdb();
CommandBlock BlankCdb();
CommandBlock SetCdSpeedCdb(uint16_t writeSpeedKBps);
CommandBlock SetStreamingCdb();
CommandBlock GetPerformanceCdb();

// Overwritable media (DVD+RW, DVD-RAM, BD-RE, HD DVD-RAM): FORMAT UNIT with
// a format list (kFormatParametersLength bytes, FormatUnitParameters), and
// READ FORMAT CAPACITIES, which lists the formats the disc takes.
CommandBlock FormatUnitCdb();
CommandBlock ReadFormatCapacitiesCdb();
// CLOSE TRACK/SESSION. closeFunction: 1 closes the track `track`, 2 the
// session; 5 and 6 finalize DVD+R and DVD+R DL / BD-R discs. With
// `immediate` the drive answers at once and closes meanwhile; it is then
// polled until ready.
CommandBlock CloseTrackSessionCdb(uint8_t closeFunction, uint16_t track, bool immediate = false);

// The 28-byte performance descriptor of SET STREAMING. The restore form
// asks the drive to return to its defaults and carries no speeds.
std::array<uint8_t, kStreamingDescriptorLength> StreamingDescriptor(uint32_t readSpeedKBps,
                                                                    uint32_t writeSpeedKBps,
                                                                    bool restoreDefaults);

// The FORMAT UNIT parameter list: a 4-byte header and one format descriptor
// (block count; format type in the top six bits of byte 4 and the subtype
// in its low two; the type's parameter). With `immediate` the header asks
// the drive to answer at once (FOV and IMMED) and format meanwhile.
std::array<uint8_t, kFormatParametersLength> FormatUnitParameters(
    uint32_t blocks, uint8_t formatType, uint8_t subtype, uint32_t parameter, bool immediate);

}  // namespace vestrel
