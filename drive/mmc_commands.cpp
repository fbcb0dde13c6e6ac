#include "drive/mmc_commands.h"

#include <algorithm>
#include <cstring>

#include "drive/clock.h"
#include "drive/replies.h"
#include "drive/system_error.h"
#include "drive/text.h"
#include "drive/transport.h"

namespace vestrel {

namespace {

DiagnosticSink& Sink() {
    static DiagnosticSink sink;
    return sink;
}

ScsiResult BufferTooSmall() {
    ScsiResult r;
    r.status = StatusIoControlFailed;
    r.osError = InvalidParameterError();
    return r;
}

// Sends a command that carries data out of a caller's const buffer. The
// transport interface takes a mutable pointer because it serves both
// directions; data-out transports only read it.
ScsiResult SendOut(char16_t letter, const CommandBlock& block, std::span<const uint8_t> data) {
    if (data.size() < block.transferLength)
        return BufferTooSmall();
    return SendScsiCommand(letter, block.cdb.data(), block.length,
                           static_cast<uint8_t>(block.direction),
                           const_cast<uint8_t*>(block.transferLength ? data.data() : nullptr),
                           block.transferLength, block.timeoutSeconds);
}

}  // namespace

ScsiResult SendCommandBlock(char16_t letter, const CommandBlock& block, std::span<uint8_t> data) {
    if (data.size() < block.transferLength)
        return BufferTooSmall();
    if (block.direction == DataDirection::FromDevice && block.transferLength > 0) {
        std::memset(data.data(), 0, block.transferLength);
    }
    return SendScsiCommand(
        letter, block.cdb.data(), block.length, static_cast<uint8_t>(block.direction),
        block.transferLength ? data.data() : nullptr, block.transferLength, block.timeoutSeconds);
}

ScsiResult SendTestUnitReady(char16_t letter) {
    return SendCommandBlock(letter, TestUnitReadyCdb(), {});
}

ScsiResult SendRequestSense(char16_t letter, std::span<uint8_t> reply) {
    return SendCommandBlock(letter, RequestSenseCdb(), reply);
}

ScsiResult SendInquiry(char16_t letter, std::span<uint8_t> reply) {
    return SendCommandBlock(letter, InquiryCdb(), reply);
}

ScsiResult SendGetConfiguration(char16_t letter, std::span<uint8_t> reply) {
    return SendCommandBlock(letter, GetConfigurationCdb(), reply);
}

ScsiResult SendModeSenseCapabilities(char16_t letter, std::span<uint8_t> reply) {
    uint16_t length = reply.size() >= kCapabilitiesPageLongLength
                          ? static_cast<uint16_t>(kCapabilitiesPageLongLength)
                          : static_cast<uint16_t>(kCapabilitiesPageLength);
    return SendCommandBlock(letter, ModeSenseCapabilitiesCdb(length), reply);
}

ScsiResult SendModeSenseWriteParameters(char16_t letter, std::span<uint8_t> reply) {
    return SendCommandBlock(letter, ModeSenseWriteParametersCdb(), reply);
}

ScsiResult SendModeSelect10(char16_t letter, std::span<const uint8_t> parameters) {
    return SendOut(letter, ModeSelect10Cdb(), parameters);
}

ScsiResult SendReadDiscInformation(char16_t letter, std::span<uint8_t> reply) {
    return SendCommandBlock(letter, ReadDiscInformationCdb(), reply);
}

ScsiResult SendReadTrackInformation(char16_t letter, uint32_t trackNumber,
                                    std::span<uint8_t> reply) {
    return SendCommandBlock(letter, ReadTrackInformationCdb(trackNumber), reply);
}

ScsiResult SendReadToc(char16_t letter, bool msf, std::span<uint8_t> reply) {
    return SendCommandBlock(letter, ReadTocCdb(msf), reply);
}

ScsiResult SendRead10(char16_t letter, uint32_t lba, uint16_t blocks, std::span<uint8_t> data) {
    return SendCommandBlock(letter, Read10Cdb(lba, blocks), data);
}

ScsiResult SendReadCd(char16_t letter, uint32_t lba, uint32_t blocks, std::span<uint8_t> data) {
    return SendCommandBlock(letter, ReadCdCdb(lba, blocks), data);
}

ScsiResult SendCueSheet(char16_t letter, std::span<const uint8_t> cueSheet) {
    return SendOut(letter, SendCueSheetCdb(static_cast<uint32_t>(cueSheet.size())), cueSheet);
}

ScsiResult SendReadCdAudio(char16_t letter, int32_t lba, uint32_t blocks,
                           SubChannelSelection selection, std::span<uint8_t> data) {
    return SendCommandBlock(letter, ReadCdAudioCdb(lba, blocks, selection), data);
}

ScsiResult SendReadSubChannelCatalogNumber(char16_t letter, std::span<uint8_t> reply) {
    return SendCommandBlock(letter, ReadSubChannelCatalogNumberCdb(), reply);
}

ScsiResult SendReadSubChannelIsrc(char16_t letter, uint8_t track, std::span<uint8_t> reply) {
    return SendCommandBlock(letter, ReadSubChannelIsrcCdb(track), reply);
}

ScsiResult SendReadTocCdText(char16_t letter, std::span<uint8_t> reply) {
    const size_t length = std::min<size_t>(reply.size(), kCdTextReplyLimit);
    return SendCommandBlock(letter, ReadTocCdTextCdb(static_cast<uint16_t>(length)), reply);
}

ScsiResult SendReadTocAtip(char16_t letter, std::span<uint8_t> reply) {
    return SendCommandBlock(letter, ReadTocAtipCdb(), reply);
}

ScsiResult SendReserveTrack(char16_t letter, uint32_t blocks) {
    if (blocks % 16 != 0) {
        // Reservations are made in whole 16-block units; anything else is
        // refused here without troubling the drive.
        ScsiResult r;
        r.status = StatusCheckCondition;
        return r;
    }
    return SendCommandBlock(letter, ReserveTrackCdb(blocks), {});
}

ScsiResult SendSynchronizeCache(char16_t letter) {
    return SendCommandBlock(letter, SynchronizeCacheCdb(), {});
}

ScsiResult SendBlank(char16_t letter) {
    return SendCommandBlock(letter, BlankCdb(), {});
}

ScsiResult SendSetCdSpeed(char16_t letter, uint16_t writeSpeedKBps) {
    return SendCommandBlock(letter, SetCdSpeedCdb(writeSpeedKBps), {});
}

ScsiResult SendSetStreaming(char16_t letter, uint32_t readSpeedKBps, uint32_t writeSpeedKBps,
                            bool restoreDefaults) {
    auto descriptor = StreamingDescriptor(readSpeedKBps, writeSpeedKBps, restoreDefaults);
    return SendOut(letter, SetStreamingCdb(), descriptor);
}

ScsiResult SendGetPerformance(char16_t letter, std::span<uint8_t> reply) {
    return SendCommandBlock(letter, GetPerformanceCdb(), reply);
}

std::u16string WriteDiagnostic(int32_t lba, uint16_t blocks, uint32_t bufferLength,
                               const ScsiResult& result) {
    return FormatText(
        u"Write10 Error: lLBA=%d wNumLBAs=%d dwBufLen=%d dwIOErr=%d stRet=%d, SK=%d ASC=%d "
        u"ASCQ=%d",
        {lba, blocks, bufferLength, result.osError, result.status, result.senseKey, result.asc,
         result.ascq});
}

ScsiResult SendWrite10(char16_t letter, int32_t lba, uint16_t blocks,
                       std::span<const uint8_t> data) {
    const uint32_t length = static_cast<uint32_t>(data.size());
    const CommandBlock block = Write10Cdb(lba, blocks, length);
    ScsiResult result;
    for (int repeat = 0;; ++repeat) {
        result = SendOut(letter, block, data);
        if (result.ok())
            break;
        EmitDiagnostic(WriteDiagnostic(lba, blocks, length, result));
        if (!IsLongWriteInProgress(result) || repeat >= kLongWriteRepeatLimit)
            break;
        ActiveClock().WaitDispatchingMessages(100);
    }
    return result;
}

ScsiResult SendSynchronizeCachePatiently(char16_t letter, const std::function<bool()>& stop) {
    ScsiResult result;
    for (int repeat = 0;; ++repeat) {
        result = SendSynchronizeCache(letter);
        if (!IsStillBusy(result) || repeat >= kLongWriteRepeatLimit || (stop && stop()))
            return result;
        ActiveClock().WaitDispatchingMessages(100);
    }
}

LongOperationEnd WaitForLongOperation(char16_t letter, const LongOperationWait& wait) {
    constexpr uint32_t kStep = 100;
    const uint32_t steps = wait.allowanceMs / kStep;
    for (uint32_t step = 0;; ++step) {
        if (step % (kLongOperationPollMs / kStep) == 0) {
            ScsiResult r = SendTestUnitReady(letter);
            if (r.ok())
                return LongOperationEnd::Ready;
            if (!IsStillBusy(r))
                return LongOperationEnd::Failed;
            std::vector<uint8_t> sense(kRequestSenseLength);
            if (wait.progress && SendRequestSense(letter, sense).ok()) {
                SenseData d = ReadSenseData(ByteReader(sense));
                if (d.progress)
                    wait.progress(*d.progress);
            }
        }
        if (step >= steps)
            return LongOperationEnd::TimedOut;
        if (wait.stop && wait.stop())
            return LongOperationEnd::Stopped;
        ActiveClock().Sleep(kStep);
    }
}

void InstallDiagnosticSink(DiagnosticSink sink) {
    Sink() = std::move(sink);
}

void EmitDiagnostic(const std::u16string& line) {
    if (Sink())
        Sink()(line);
}

}  // namespace vestrel
