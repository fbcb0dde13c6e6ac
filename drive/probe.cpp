#include "drive/probe.h"

#include <vector>

#include "drive/cdb.h"
#include "drive/clock.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"
#include "drive/scsi_text.h"

namespace vestrel {

namespace {

DriveProbeResult Failure(ProbeKind kind, uint8_t command, const ScsiResult& r) {
    DriveProbeResult p;
    p.kind = kind;
    p.command = command;
    if (kind == ProbeKind::IoControlError) {
        p.osError = r.osError;
        return p;
    }
    p.status = r.status;
    p.senseKey = r.senseKey;
    p.asc = r.asc;
    p.ascq = r.ascq;
    return p;
}

// 255 is the pass-through failing; anything else not accepted is the
// drive's own error (24, the drive could not be opened, included).
DriveProbeResult CommandFailure(uint8_t command, const ScsiResult& r) {
    return Failure(
        r.status == StatusIoControlFailed ? ProbeKind::IoControlError : ProbeKind::ScsiError,
        command, r);
}

}  // namespace

DriveProbeResult ProbeDrive(char16_t letter) {
    // No disc is fine, and so is a disc still spinning up: a drive whose
    // tray has just closed would otherwise stay unusable for as long as its
    // row lives. Its disc shows up with the media arrival that follows. A
    // unit attention after a reset or a medium change is cleared by asking
    // again; a reset and a medium change may both be pending.
    ScsiResult r = SendTestUnitReady(letter);
    for (int repeat = 0; repeat < kUnitAttentionRepeats && IsUnitAttention(r); ++repeat) {
        ActiveClock().Sleep(kUnitAttentionPauseMs);
        r = SendTestUnitReady(letter);
    }
    if (!r.ok() && !IsNoMedium(r) && !IsBecomingReady(r))
        return CommandFailure(opcode::TestUnitReady, r);

    std::vector<uint8_t> inquiry(kInquiryLength);
    r = SendInquiry(letter, inquiry);
    if (!r.ok())
        return CommandFailure(opcode::Inquiry, r);

    std::vector<uint8_t> configuration(kGetConfigurationLength);
    r = SendGetConfiguration(letter, configuration);
    if (!r.ok())
        return CommandFailure(opcode::GetConfiguration, r);
    if (ReadConfigurationHeader(ByteReader(configuration)).dataLength <= 4)
        return Failure(ProbeKind::NotOptical, opcode::GetConfiguration, r);
    return DriveProbeResult{};
}

std::u16string ProbeDetails(const DriveProbeResult& p) {
    if (p.usable())
        return {};
    return FormatProbeDetails(static_cast<ProbeFailureKind>(p.kind),
                              static_cast<uint8_t>(p.command), p.osError, p.status, p.senseKey,
                              p.asc, p.ascq);
}

}  // namespace vestrel
