#include "drive/scsi_text.h"

#include <span>

#include "drive/system_error.h"
#include "drive/text.h"

namespace vestrel {

namespace {

struct CodeName {
    uint32_t code;
    const char16_t* name;
};

constexpr CodeName kCommandNames[] = {
    {0x00, u"Test Unit Ready"},
    {0x12, u"Inquiry"},
    {0x46, u"Get Configuration"},
    {0x5A, u"Mode Sense (10)"},
};

constexpr CodeName kStatusNames[] = {
    {0x00, u"Good"},
    {0x02, u"Check Condition"},
    {0x04, u"Condition Met"},
    {0x08, u"Busy"},
    {0x10, u"Intermediate"},
    {0x14, u"Intermediate - Condition Met"},
    {0x18, u"Reservation Conflict"},
    {0x22, u"Command Terminated"},
    {0x28, u"Queue Full"},
    {0x30, u"ACA Active"},
    {0x40, u"Task Aborted"},
    {0xFF, u"DeviceIoControl() error"},
};

std::u16string NameOf(std::span<const CodeName> names, uint32_t code, const char16_t* unknown) {
    for (const CodeName& entry : names) {
        if (entry.code == code)
            return entry.name;
    }
    return unknown;
}

}  // namespace

std::u16string CommandName(uint8_t opcode) {
    return NameOf(kCommandNames, opcode, u"Unknown command");
}

std::u16string ScsiStatusName(uint32_t status) {
    return NameOf(kStatusNames, status, u"Unknown status");
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
