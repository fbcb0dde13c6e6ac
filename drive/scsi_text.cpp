#include "drive/scsi_text.h"

#include "drive/system_error.h"
#include "drive/text.h"

namespace vestrel {

std::u16string CommandName(uint8_t opcode) {
    switch (opcode) {
        case 0x00:
            return u"Test Unit Ready";
        case 0x12:
            return u"Inquiry";
        case 0x46:
            return u"Get Configuration";
        case 0x5A:
            return u"Mode Sense (10)";
        default:
            return u"Unknown command";
    }
}

std::u16string ScsiStatusName(uint32_t status) {
    switch (status) {
        case 0x00:
            return u"Good";
        case 0x02:
            return u"Check Condition";
        case 0x04:
            return u"Condition Met";
        case 0x08:
            return u"Busy";
        case 0x10:
            return u"Intermediate";
        case 0x14:
            return u"Intermediate - Condition Met";
        case 0x18:
            return u"Reservation Conflict";
        case 0x22:
            return u"Command Terminated";
        case 0x28:
            return u"Queue Full";
        case 0x30:
            return u"ACA Active";
        case 0x40:
            return u"Task Aborted";
        case 0xFF:
            return u"DeviceIoControl() error";
        default:
            return u"Unknown status";
    }
}

std::u16string FormatProbeDetails(ProbeFailureKind kind, uint8_t opcode, uint32_t osError,
                                  uint32_t status, uint8_t senseKey, uint8_t asc, uint8_t ascq,
                                  std::u16string_view systemMessage) {
    std::u16string name = CommandName(opcode);
    switch (kind) {
        case ProbeFailureKind::IoControlError:
            return FormatText(
                u"Error occurred in function DeviceIoControl() while executing command: "
                u"%s.\r\n\r\nError code: (%d) %s",
                {name, osError, systemMessage});
        case ProbeFailureKind::ScsiError:
            return FormatText(
                u"Error occurred while executing command: %s.\r\n\r\nSCSI status: (0x%X) "
                u"%s\r\nSenseKey: 0x%X   \tASC: 0x%X   \tASCQ: 0x%X",
                {name, status, ScsiStatusName(status), senseKey, asc, ascq});
        case ProbeFailureKind::NotOptical:
            return FormatText(
                u"This drive is not a real optical drive.\r\n\r\nError occurred while executing "
                u"command: %s.\r\nSCSI status: (0x%X) %s\r\nSenseKey: 0x%X   \tASC: 0x%X   "
                u"\tASCQ: 0x%X",
                {name, status, ScsiStatusName(status), senseKey, asc, ascq});
    }
    return {};
}

std::u16string FormatProbeDetails(ProbeFailureKind kind, uint8_t opcode, uint32_t osError,
                                  uint32_t status, uint8_t senseKey, uint8_t asc, uint8_t ascq) {
    std::u16string message =
        kind == ProbeFailureKind::IoControlError ? SystemErrorText(osError) : std::u16string();
    return FormatProbeDetails(kind, opcode, osError, status, senseKey, asc, ascq, message);
}

}  // namespace vestrel
