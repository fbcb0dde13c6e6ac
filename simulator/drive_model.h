// A drive model as the description file states it: identification,
// profiles, feature descriptors, mode pages, speeds and what it writes.
// The replies of INQUIRY, GET CONFIGURATION, MODE SENSE and GET PERFORMANCE
// are built from it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "simulator/media.h"

namespace vestrel::sim {

struct FeatureDescriptor {
    uint16_t code = 0;
    uint8_t version = 0;
    std::vector<uint8_t> data;  // the feature data after the 4-byte header
};

struct DriveModel {
    std::string name;
    std::string vendor;              // INQUIRY bytes 8..15
    std::string product;             // bytes 16..31
    std::string revision;            // bytes 32..35
    std::vector<uint16_t> profiles;  // the Profile List, in the order reported
    std::vector<uint16_t> reads;     // further media it accepts, not in its Profile List
    std::vector<uint16_t> writes;    // profiles it records
    std::vector<FeatureDescriptor> features;
    std::vector<uint8_t> capabilitiesPage;      // page 2Ah, from its code byte; empty: none
    std::vector<uint8_t> writeParametersPage;   // page 05h default; empty: not a recorder
    std::map<MediaFamily, uint32_t> readSpeed;  // kB/s
    std::map<MediaFamily, std::vector<uint32_t>> writeSpeeds;  // kB/s, fastest first
    // Takes R-W sub-channel data from the host for a CD's lead-in (the
    // CD-Text of a Session At Once recording, cue sheet data form 41h).
    bool recordsLeadInRw = false;
    // Where the lead-in of a recordable CD begins, as ATIP gives it
    // (97:26:65).
    int32_t leadInStart = -11635;

    bool Reads(uint16_t profile) const;
    bool Writes(uint16_t profile) const;
};

// INQUIRY standard data (96 bytes).
std::vector<uint8_t> InquiryData(const DriveModel& model);

// GET CONFIGURATION reply for the given request: rt 0 all features from
// `start`, 1 only the current ones, 2 the one feature `start`.
std::vector<uint8_t> ConfigurationData(const DriveModel& model, uint16_t currentProfile, uint8_t rt,
                                       uint16_t start);

// GET PERFORMANCE type 03h: the write speeds for a disc of `profile`
// holding `capacity` blocks; none when the drive does not write it.
std::vector<uint8_t> WriteSpeedData(const DriveModel& model, uint16_t profile, uint32_t capacity,
                                    uint16_t maxDescriptors);

}  // namespace vestrel::sim
