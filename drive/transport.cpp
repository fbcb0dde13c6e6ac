#include "drive/transport.h"

#include <atomic>

namespace vestrel {

namespace {
std::atomic<Transport*> g_installed{nullptr};
}  // namespace

void InstallTransport(Transport* transport) {
    g_installed.store(transport);
}

Transport& ActiveTransport() {
    Transport* t = g_installed.load();
    return t ? *t : PlatformTransport();
}

ScsiResult SendScsiCommand(char16_t driveLetter, const uint8_t* cdb, uint8_t cdbLength,
                           uint8_t dataDirection, void* dataBuffer, uint32_t transferLength,
                           uint32_t timeoutSeconds) {
    ScsiCommand command;
    command.letter = driveLetter;
    command.cdb = cdb;
    command.cdbLength = cdbLength;
    command.direction = dataDirection == 0 ? DataDirection::ToDevice : DataDirection::FromDevice;
    command.data = static_cast<uint8_t*>(dataBuffer);
    command.transferLength = dataBuffer ? transferLength : 0;
    command.timeoutSeconds = timeoutSeconds;
    return ActiveTransport().Execute(command);
}

bool AllowMediumRemoval(char16_t driveLetter) {
    return ActiveTransport().AllowMediumRemoval(driveLetter);
}

void EjectMedium(char16_t driveLetter) {
    ActiveTransport().EjectMedium(driveLetter);
}

}  // namespace vestrel
