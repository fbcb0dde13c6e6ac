// The outcome of one SCSI command, returned by value to its caller.
#pragma once

#include <cstdint>

namespace vestrel {

constexpr uint32_t StatusGood = 0x00;
constexpr uint32_t StatusCheckCondition = 0x02;
// The drive could not be opened; nothing was sent.
constexpr uint32_t StatusOpenFailed = 0x18;
// The pass-through request itself failed; osError says why.
constexpr uint32_t StatusIoControlFailed = 0xFF;

struct ScsiResult {
    uint32_t status = StatusGood;
    uint32_t osError = 0;
    uint8_t senseKey = 0;  // sense byte 2, whole (ILI/EOM/FM bits included)
    uint8_t asc = 0;       // sense byte 12
    uint8_t ascq = 0;      // sense byte 13

    bool ok() const { return status == StatusGood; }
};

// The device conditions the system acts on, named once. Each holds only for
// a Check Condition; the sense key is compared whole.
inline bool IsCheckCondition(const ScsiResult& r, uint8_t key, uint8_t asc) {
    return r.status == StatusCheckCondition && r.senseKey == key && r.asc == asc;
}
// The drive refused the command or a field of it (sense key 5).
inline bool IsIllegalRequest(const ScsiResult& r) {
    return r.status == StatusCheckCondition && r.senseKey == 0x05;
}
// Illegal mode for this track: a read that names a sector type the
// sectors read are not of.
inline bool IsWrongSectorType(const ScsiResult& r) {
    return IsCheckCondition(r, 0x05, 0x64);
}
// Medium not present (any qualifier).
inline bool IsNoMedium(const ScsiResult& r) {
    return IsCheckCondition(r, 0x02, 0x3A);
}
// Medium not present, tray open.
inline bool IsTrayOpen(const ScsiResult& r) {
    return IsNoMedium(r) && r.ascq == 0x02;
}
// Unit attention: a reset or a medium change since the drive was last
// asked, reported once, to the next command.
inline bool IsUnitAttention(const ScsiResult& r) {
    return r.status == StatusCheckCondition && r.senseKey == 0x06;
}
// Logical unit not ready, long write in progress.
inline bool IsLongWriteInProgress(const ScsiResult& r) {
    return IsCheckCondition(r, 0x02, 0x04) && r.ascq == 0x08;
}
// Logical unit is in process of becoming ready.
inline bool IsBecomingReady(const ScsiResult& r) {
    return IsCheckCondition(r, 0x02, 0x04) && r.ascq == 0x01;
}
// Logical unit not ready, format in progress.
inline bool IsFormatInProgress(const ScsiResult& r) {
    return IsCheckCondition(r, 0x02, 0x04) && r.ascq == 0x04;
}
// Logical unit not ready, operation in progress (closing, an immediate
// command still running).
inline bool IsOperationInProgress(const ScsiResult& r) {
    return IsCheckCondition(r, 0x02, 0x04) && r.ascq == 0x07;
}
// The drive is busy with something it finishes by itself: becoming ready,
// a format, an operation or a long write in progress. Asking again later
// is the answer to each.
inline bool IsStillBusy(const ScsiResult& r) {
    return IsBecomingReady(r) || IsFormatInProgress(r) || IsOperationInProgress(r) ||
           IsLongWriteInProgress(r);
}

}  // namespace vestrel
