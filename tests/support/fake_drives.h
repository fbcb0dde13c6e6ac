// Virtual drives for tests: drive-letter services and a scripted transport
// that answer like the optical drives (and other volumes) described here.
// Both install themselves for the lifetime of the object.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "drive/cdb.h"
#include "drive/drive_letters.h"
#include "drive/drive_lock.h"
#include "tests/support/reply_builders.h"
#include "tests/support/scripted_transport.h"

namespace vestrel::testing {

// True when some thread holds the drive lock: a helper thread cannot take it.
inline bool DriveLockHeld() {
    bool held = false;
    std::thread probe([&] {
        if (DriveLock().try_lock())
            DriveLock().unlock();
        else
            held = true;
    });
    probe.join();
    return held;
}

struct FakeDrive {
    DriveKind kind = DriveKind::CdRom;
    std::string vendor = "ORBITA";   // INQUIRY bytes 8..15 as they stand
    std::vector<uint16_t> profiles;  // the Profile List feature
    std::vector<Bytes> features;     // after the Profile List
    uint8_t pageRead = 0;            // capabilities page byte 2
    uint8_t pageWrite = 0;           // capabilities page byte 3
    uint16_t currentProfile = 0;     // 0: no disc
    bool blank = false;
    uint32_t leadOut = 0;  // READ TOC: one data track up to here
    bool trayOpen = false;
    bool featureless = false;  // GET CONFIGURATION: the header alone
    std::optional<std::u16string> label;
    std::map<uint8_t, ScsiResult> failures;  // opcode: answered with this instead

    FakeDrive& Holding(uint16_t profile, bool isBlank = false) {
        currentProfile = profile;
        blank = isBlank;
        trayOpen = false;
        return *this;
    }
    FakeDrive& Empty() { return Holding(0); }
};

// Drive classes, each with the features that give its masks.
inline FakeDrive CdRomDrive() {
    FakeDrive d;
    d.profiles = {0x0008};
    d.features = {FeatureDescriptor(0x001E, {0, 0, 0, 0})};
    d.pageRead = 0x03;
    return d;
}
// Writes CD-R and CD-RW (6h).
inline FakeDrive CdRecorder() {
    FakeDrive d = CdRomDrive();
    d.profiles = {0x0008, 0x0009, 0x000A};
    d.features.push_back(FeatureDescriptor(0x002D, {0, 0, 0, 0}));
    d.features.push_back(FeatureDescriptor(0x002E, {0x02, 0, 0, 0}));
    return d;
}
inline FakeDrive DvdRomDrive() {
    FakeDrive d = CdRomDrive();
    d.profiles = {0x0008, 0x0010};
    d.features.push_back(FeatureDescriptor(0x001F, {0, 0, 0, 0}));
    d.pageRead = 0x0B;
    return d;
}
// Writes CD-R, CD-RW and the single- and dual-layer DVD-R/-RW/+R/+RW types.
inline FakeDrive DvdRecorder() {
    FakeDrive d = CdRecorder();
    d.profiles = {0x0008, 0x0009, 0x000A, 0x0010, 0x0011, 0x0014, 0x001A, 0x001B, 0x002B};
    d.features.push_back(FeatureDescriptor(0x001F, {0x03, 0, 0, 0}));
    d.features.push_back(FeatureDescriptor(0x002A, {0x01, 0, 0, 0}));
    d.features.push_back(FeatureDescriptor(0x002B, {0x01, 0, 0, 0}));
    d.features.push_back(FeatureDescriptor(0x002F, {0x08, 0, 0, 0}));
    d.features.push_back(FeatureDescriptor(0x003B, {0x01, 0, 0, 0}));
    return d;
}
// A BD-RE drive: also writes BD-R and BD-RE.
inline FakeDrive BdRecorder() {
    FakeDrive d = DvdRecorder();
    d.profiles.insert(d.profiles.end(), {0x0040, 0x0041, 0x0043});
    Bytes read(28, 0), write(20, 0);
    read[5] = 0x06;   // descriptor byte 9: BD-RE classes
    read[13] = 0x02;  // byte 17: BD-R
    read[21] = 0x02;  // byte 25: BD-ROM
    write[5] = 0x04;
    write[13] = 0x02;
    d.features.push_back(FeatureDescriptor(0x0040, read));
    d.features.push_back(FeatureDescriptor(0x0041, write));
    return d;
}

class FakeDrives : public DriveLetterServices {
  public:
    FakeDrives() : transport([this](const ScsiCommand& c) { return Answer(c); }) {
        InstallDriveLetters(this);
    }
    ~FakeDrives() override { InstallDriveLetters(nullptr); }

    FakeDrive& Add(char16_t letter, FakeDrive drive) { return drives[letter] = std::move(drive); }

    uint32_t LogicalDrives() override {
        uint32_t bits = 0;
        for (const auto& [letter, drive] : drives)
            bits |= 1u << (letter - u'A');
        return bits;
    }
    DriveKind DriveType(char16_t letter) override {
        auto it = drives.find(letter);
        return it == drives.end() ? DriveKind::NoRootDir : it->second.kind;
    }
    bool VolumeLabel(char16_t letter, std::u16string& label) override {
        if (watchLock)
            labelReadsUnderLock.push_back(DriveLockHeld());
        auto it = drives.find(letter);
        if (it == drives.end() || !it->second.label)
            return false;
        label = *it->second.label;
        return true;
    }
    bool FreeSpace(std::u16string_view, uint64_t&) override { return false; }
    std::u16string AppDataFolder() override { return u"C:\\Users\\Test\\AppData\\Roaming"; }

    // The opcodes sent to one drive, in order.
    std::vector<uint8_t> OpcodesSentTo(char16_t letter) const {
        std::vector<uint8_t> ops;
        for (const RecordedCommand& c : transport.commands) {
            if (c.letter == letter)
                ops.push_back(c.cdb[0]);
        }
        return ops;
    }

    std::map<char16_t, FakeDrive> drives;
    // When set, every command and label read records whether the drive lock
    // was held.
    bool watchLock = false;
    std::vector<bool> labelReadsUnderLock;
    std::vector<bool> commandsUnderLock;
    ScriptedTransport transport;

  private:
    ScsiResult Answer(const ScsiCommand& c) {
        if (watchLock)
            commandsUnderLock.push_back(DriveLockHeld());
        auto it = drives.find(c.letter);
        if (it == drives.end() || it->second.kind != DriveKind::CdRom) {
            ScsiResult r;
            r.status = StatusOpenFailed;
            return r;
        }
        const FakeDrive& d = it->second;
        const uint8_t op = c.cdb[0];
        if (auto f = d.failures.find(op); f != d.failures.end())
            return f->second;
        const bool noDisc = d.currentProfile == 0;
        switch (op) {
            case opcode::TestUnitReady:
                if (d.trayOpen)
                    return CheckCondition(2, 0x3A, 0x02);
                return noDisc ? CheckCondition(2, 0x3A, 0x01) : ScsiResult{};
            case opcode::Inquiry:
                FillReply(c, InquiryReply(d.vendor));
                break;
            case opcode::GetConfiguration: {
                Bytes r = Configuration(d.currentProfile, {ProfileListFeature(d.profiles)});
                if (d.featureless) {
                    r.resize(8);
                    r[3] = 4;
                } else {
                    for (const Bytes& f : d.features)
                        r.insert(r.end(), f.begin(), f.end());
                    const uint32_t len = static_cast<uint32_t>(r.size() - 4);
                    r[2] = static_cast<uint8_t>(len >> 8);
                    r[3] = static_cast<uint8_t>(len);
                }
                FillReply(c, r);
                break;
            }
            case opcode::ModeSense10:
                FillReply(c, CapabilitiesPageReply(d.pageRead, d.pageWrite));
                break;
            case opcode::ReadDiscInformation:
                if (noDisc)
                    return CheckCondition(2, 0x3A, 0x01);
                FillReply(c, DiscInformationReply(d.blank ? 0 : 2));
                break;
            case opcode::ReadToc:
                if (noDisc)
                    return CheckCondition(2, 0x3A, 0x01);
                FillReply(c, TocReply(1, {{4, 0}, {4, d.leadOut}}));
                break;
            default:
                break;
        }
        return {};
    }
};

}  // namespace vestrel::testing
