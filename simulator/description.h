// The plain-text description of a simulated drive bay: drive models,
// discs, drives with their letters, fixed drives backed by host folders,
// and the operator's policy. docs/simulator.md describes the format.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/drive_model.h"
#include "simulator/fault.h"

namespace vestrel::sim {

enum class DiscSource { Iso, Cue, Blank, Used };

struct DiscEntry {
    std::string name;
    DiscSource source = DiscSource::Blank;
    std::filesystem::path image;  // iso or cue file
    uint16_t profile = 0;
    bool formatted = false;  // overwritable blanks that come formatted
    uint32_t usedBlocks = 1024;
    std::vector<Fault> faults;
};

struct DriveEntry {
    char16_t letter = 0;
    std::string model;
    std::string disc;  // loaded at start
    bool trayOpen = false;
    bool openFails = false;         // status 24
    uint32_t passThroughError = 0;  // status 255 with this OS error
    uint32_t becomingReadyMs = 800;
    std::optional<bool> instant;
    std::vector<Fault> faults;
};

struct FolderEntry {
    char16_t letter = 0;
    std::filesystem::path path;
    std::optional<uint64_t> freeBytes;
    std::string label;
};

struct LoadStep {
    char16_t letter = 0;
    std::string disc;
    uint32_t afterMs = 0;
};

struct OperatorPolicy {
    std::optional<uint32_t> closeTraysAfterMs;
    std::vector<LoadStep> loads;
    std::map<char16_t, uint16_t> blanks;  // recorder -> blank profile it is kept supplied with
    uint32_t blankDelayMs = 1000;
    bool takeFinished = false;
    std::filesystem::path finishedFolder;  // where taken-out copies are kept as image files
};

struct Description {
    bool instant = false;
    std::filesystem::path workFolder;
    std::filesystem::path appDataFolder;
    std::optional<uint64_t> appDataFreeBytes;
    std::vector<DriveModel> models;
    std::vector<DiscEntry> discs;
    std::vector<DriveEntry> drives;
    std::vector<FolderEntry> folders;
    OperatorPolicy op;

    const DriveModel* FindModel(std::string_view name) const;
    const DiscEntry* FindDisc(std::string_view name) const;
};

// Adds what `text` describes to `out`. Relative paths are taken from
// `baseFolder`. On failure `error` names the line and what is wrong.
bool ParseDescription(std::string_view text, const std::filesystem::path& baseFolder,
                      Description& out, std::string& error);

// The models every description may use (simulator/farms/models.txt).
std::string_view BuiltInModels();

}  // namespace vestrel::sim
