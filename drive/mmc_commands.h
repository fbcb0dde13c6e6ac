// The MMC commands the system sends, one function each. Every function
// returns the command's ScsiResult; none retries except SendWrite10 (long
// write in progress). Commands that read clear the caller's buffer first,
// so fields the drive did not send read as 0. A buffer smaller than the
// command's transfer length is refused (status 255) before anything is sent.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "drive/cdb.h"
#include "drive/scsi_result.h"

namespace vestrel {

ScsiResult SendCommandBlock(char16_t letter, const CommandBlock& block, std::span<uint8_t> data);

ScsiResult SendTestUnitReady(char16_t letter);
ScsiResult SendRequestSense(char16_t letter, std::span<uint8_t> reply);
ScsiResult SendInquiry(char16_t letter, std::span<uint8_t> reply);
ScsiResult SendGetConfiguration(char16_t letter, std::span<uint8_t> reply);
ScsiResult SendModeSenseCapabilities(char16_t letter, std::span<uint8_t> reply);  // 142 or 150
ScsiResult SendModeSenseWriteParameters(char16_t letter, std::span<uint8_t> reply);
ScsiResult SendModeSelect10(char16_t letter, std::span<const uint8_t> parameters);
ScsiResult SendReadDiscInformation(char16_t letter, std::span<uint8_t> reply);
ScsiResult SendReadTrackInformation(char16_t letter, uint32_t trackNumber,
                                    std::span<uint8_t> reply);
ScsiResult SendReadToc(char16_t letter, bool msf, std::span<uint8_t> reply);
ScsiResult SendRead10(char16_t letter, uint32_t lba, uint16_t blocks, std::span<uint8_t> data);
ScsiResult SendReadCd(char16_t letter, uint32_t lba, uint32_t blocks, std::span<uint8_t> data);
ScsiResult SendCueSheet(char16_t letter, std::span<const uint8_t> cueSheet);

// Audio sectors with the sub-channel data `selection` appends to each
// (ReadCdAudioBlockBytes per block).
ScsiResult SendReadCdAudio(char16_t letter, int32_t lba, uint32_t blocks,
                           SubChannelSelection selection, std::span<uint8_t> data);
// READ SUB-CHANNEL: the media catalog number, and the ISRC of `track`
// (kSubChannelCodeLength bytes each).
ScsiResult SendReadSubChannelCatalogNumber(char16_t letter, std::span<uint8_t> reply);
ScsiResult SendReadSubChannelIsrc(char16_t letter, uint8_t track, std::span<uint8_t> reply);
// READ TOC format 0101b, asking for as many bytes as the buffer holds (at
// most kCdTextReplyLimit): a kCdTextHeaderLength buffer fetches the header,
// whose length (CdTextReply::fullLength) sizes the buffer for the whole.
ScsiResult SendReadTocCdText(char16_t letter, std::span<uint8_t> reply);
// READ TOC format 0100b into a kAtipLength buffer.
ScsiResult SendReadTocAtip(char16_t letter, std::span<uint8_t> reply);
ScsiResult SendReserveTrack(char16_t letter, uint32_t blocks);
ScsiResult SendSynchronizeCache(char16_t letter);
ScsiResult SendBlank(char16_t letter);
ScsiResult SendSetCdSpeed(char16_t letter, uint16_t writeSpeedKBps);
ScsiResult SendSetStreaming(char16_t letter, uint32_t readSpeedKBps, uint32_t writeSpeedKBps,
                            bool restoreDefaults);
ScsiResult SendGetPerformance(char16_t letter, std::span<uint8_t> reply);

// WRITE (10). While the drive answers "long write in progress" the same
// command is sent again after a 100 ms wait that keeps the calling
// thread's messages flowing; after kLongWriteRepeatLimit such answers in a
// row the last one is returned, so a drive that never recovers cannot hold
// the writer forever.
constexpr int kLongWriteRepeatLimit = 3000;  // 300 s, the command's own timeout
ScsiResult SendWrite10(char16_t letter, int32_t lba, uint16_t blocks,
                       std::span<const uint8_t> data);

// SYNCHRONIZE CACHE with WRITE (10)'s patience: while the drive answers
// that it is still busy (IsStillBusy) the command is sent again after a
// 100 ms wait, at most kLongWriteRepeatLimit times. `stop` is asked before
// each repeat; when it holds, the busy answer is returned at once.
ScsiResult SendSynchronizeCachePatiently(char16_t letter, const std::function<bool()>& stop);

// Waiting for a drive that answered an immediate command (CLOSE
// TRACK/SESSION, FORMAT UNIT) and works on: TEST UNIT READY once a second
// until it is ready, with REQUEST SENSE's progress indication passed on
// while it is busy. `stop` is asked every 100 ms.
enum class LongOperationEnd {
    Ready,
    Failed,    // the drive reported an error other than being busy
    TimedOut,  // still busy after the allowance
    Stopped,
};
struct LongOperationWait {
    uint32_t allowanceMs = 0;
    std::function<bool()> stop;
    std::function<void(uint16_t)> progress;  // in 65536ths
};
constexpr uint32_t kLongOperationPollMs = 1000;
LongOperationEnd WaitForLongOperation(char16_t letter, const LongOperationWait& wait);

// The line composed for every failed WRITE (10) attempt.
std::u16string WriteDiagnostic(int32_t lba, uint16_t blocks, uint32_t bufferLength,
                               const ScsiResult& result);

// Where diagnostic lines go. Nothing shows them; a console tool or a test
// may install a sink before threads start. The sink is called from any
// thread that composes a line.
using DiagnosticSink = std::function<void(const std::u16string&)>;
void InstallDiagnosticSink(DiagnosticSink sink);
void EmitDiagnostic(const std::u16string& line);

}  // namespace vestrel
