#include "engine/write_parameters.h"

#include <vector>

#include "drive/bytes.h"
#include "drive/cdb.h"
#include "drive/drive_lock.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"
#include "engine/setup_attempts.h"

namespace vestrel {

namespace {

constexpr size_t kModeHeaderBytes = 8;
constexpr uint8_t kWriteParametersPage = 0x05;
constexpr uint8_t kPageCodeMask = 0x3F;

// Page byte offsets and values.
constexpr size_t kWriteTypeByte = 2;  // BUFE, LS_V, test write, write type
constexpr uint8_t kBufferUnderrunFree = 0x40;
constexpr uint8_t kSessionAtOnce = 0x02;
constexpr size_t kTrackModeByte = 3;  // multi-session, FP, copy, track mode
constexpr uint8_t kTrackModeNonCd = 0x05;
constexpr size_t kDataBlockTypeByte = 4;
constexpr uint8_t kDataBlockTypeNonCd = 0x08;
constexpr size_t kLinkSizeByte = 5;
constexpr size_t kApplicationCodeByte = 7;
constexpr size_t kSessionFormatByte = 8;
constexpr size_t kAudioPauseLength = 14;  // two bytes
constexpr uint16_t kAudioPauseBlocks = 150;

bool WriteParametersAttempt(char16_t letter, DiscType blank) {
    std::vector<uint8_t> page(kWriteParametersPageLength);
    if (!SendModeSenseWriteParameters(letter, page).ok())
        return false;
    if (!ApplyWriteParameters(page, blank, QueryBufferUnderrunFree(letter)))
        return false;
    return SendModeSelect10(letter, page).ok();
}

}  // namespace

bool ApplyWriteParameters(std::span<uint8_t> modeSenseReply, DiscType blank,
                          bool bufferUnderrunFree) {
    ByteReader reply(modeSenseReply.data(), modeSenseReply.size());
    if (!reply.Has(kModeHeaderBytes, kAudioPauseLength + 2) ||
        (reply.U8(kModeHeaderBytes) & kPageCodeMask) != kWriteParametersPage) {
        return false;
    }
    ByteWriter page(modeSenseReply.subspan(kModeHeaderBytes));
    const bool cd = IsCdBlank(blank);
    page.U8(kWriteTypeByte, (bufferUnderrunFree ? kBufferUnderrunFree : 0) | kSessionAtOnce);
    page.U8(kTrackModeByte, cd ? 0 : kTrackModeNonCd);
    page.U8(kDataBlockTypeByte, cd ? 0 : kDataBlockTypeNonCd);
    page.U8(kLinkSizeByte, 0);
    page.U8(kApplicationCodeByte, 0);
    page.U8(kSessionFormatByte, 0);
    page.Be16(kAudioPauseLength, kAudioPauseBlocks);
    return true;
}

bool QueryBufferUnderrunFree(char16_t letter) {
    DriveLockGuard lock;
    std::vector<uint8_t> reply(kCapabilitiesPageLongLength);
    return SendModeSenseCapabilities(letter, reply).ok() &&
           ReadCapabilitiesPage(ByteReader(reply)).bufferUnderrunFree;
}

bool SetWriteParameters(char16_t letter, DiscType blank) {
    return TryUnderDriveLock(kSetupAttempts, [&] { return WriteParametersAttempt(letter, blank); });
}

}  // namespace vestrel
