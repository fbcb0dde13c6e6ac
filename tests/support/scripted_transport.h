// A transport for tests: records every command it is given and answers
// each through a function the test supplies.
#pragma once

#include <cstring>
#include <functional>
#include <vector>

#include "drive/clock.h"
#include "drive/transport.h"

namespace vestrel::testing {

struct RecordedCommand {
    char16_t letter = 0;
    std::vector<uint8_t> cdb;
    DataDirection direction = DataDirection::FromDevice;
    uint32_t transferLength = 0;
    uint32_t timeoutSeconds = 0;
    std::vector<uint8_t> dataOut;  // what a data-out command carried
    bool bufferWasZero = true;     // a data-in buffer arrived cleared
};

class ScriptedTransport : public Transport {
  public:
    // Answers one command; may fill command.data (up to transferLength).
    using Responder = std::function<ScsiResult(const ScsiCommand&)>;

    explicit ScriptedTransport(Responder responder = {}) : responder_(std::move(responder)) {
        InstallTransport(this);
    }
    ~ScriptedTransport() override { InstallTransport(nullptr); }

    void SetResponder(Responder responder) { responder_ = std::move(responder); }

    ScsiResult Execute(const ScsiCommand& command) override {
        RecordedCommand r;
        r.letter = command.letter;
        r.cdb.assign(command.cdb, command.cdb + command.cdbLength);
        r.direction = command.direction;
        r.transferLength = command.transferLength;
        r.timeoutSeconds = command.timeoutSeconds;
        if (command.data && command.direction == DataDirection::ToDevice) {
            r.dataOut.assign(command.data, command.data + command.transferLength);
        }
        if (command.data && command.direction == DataDirection::FromDevice) {
            for (uint32_t i = 0; i < command.transferLength; ++i) {
                if (command.data[i] != 0)
                    r.bufferWasZero = false;
            }
        }
        commands.push_back(std::move(r));
        return responder_ ? responder_(command) : ScsiResult{};
    }
    bool AllowMediumRemoval(char16_t letter) override {
        unlocked.push_back(letter);
        return true;
    }
    void EjectMedium(char16_t letter) override { ejected.push_back(letter); }

    std::vector<RecordedCommand> commands;
    std::vector<char16_t> unlocked;
    std::vector<char16_t> ejected;

  private:
    Responder responder_;
};

// Copies a canned reply into a data-in command's buffer.
inline void FillReply(const ScsiCommand& command, const std::vector<uint8_t>& reply) {
    size_t n = reply.size() < command.transferLength ? reply.size() : command.transferLength;
    if (command.data && n)
        std::memcpy(command.data, reply.data(), n);
}

inline ScsiResult CheckCondition(uint8_t key, uint8_t asc, uint8_t ascq) {
    ScsiResult r;
    r.status = 2;
    r.senseKey = key;
    r.asc = asc;
    r.ascq = ascq;
    return r;
}

// A clock that does not wait: it only counts the waits asked of it.
class CountingClock : public Clock {
  public:
    CountingClock() { InstallClock(this); }
    ~CountingClock() override { InstallClock(nullptr); }
    uint32_t TickCount() override { return now; }
    void Sleep(uint32_t ms) override {
        sleeps.push_back(ms);
        now += ms;
    }
    void WaitDispatchingMessages(uint32_t ms) override {
        dispatchingWaits.push_back(ms);
        now += ms;
    }
    uint32_t now = 0;
    std::vector<uint32_t> sleeps;
    std::vector<uint32_t> dispatchingWaits;
};

}  // namespace vestrel::testing
