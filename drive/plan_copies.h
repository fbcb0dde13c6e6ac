// PlanCopies: turns the drive rows into the source table, deciding which
// recorder writes how many copies of which source, and what every row's
// destination column shows.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "drive/disc_types.h"
#include "drive/drive_record.h"
#include "drive/source_table.h"

namespace vestrel {

// A usable drive as the planner sees it.
struct PlanDrive {
    char16_t letter = 0;
    DiscTypeMask reads = 0;
    DiscTypeMask writes = 0;
};

// Copies assigned so far, per distinct candidate letter.
using RecorderLoads = std::map<char16_t, uint32_t>;

// A drive can take a source when it writes the source's own type or any
// blank type compatible with it, given its size in blocks (0: unknown).
bool CanTakeSource(DiscType source, uint64_t blocks, DiscTypeMask writes);

// The usable drives that can take a source, in row order.
std::vector<PlanDrive> CandidatesFor(const SourceRecord& source, std::span<const PlanDrive> usable);

// Largest write mask first; among equal masks the drive later in row order
// first. `candidates` comes in row order.
void OrderCandidates(std::vector<PlanDrive>& candidates);

// The next source to plan among those without destinations: fewest
// candidates, then largest disc type value, then first in row order. None
// when every source is planned or the pick has no candidate at all, which
// ends planning for every source left.
std::optional<size_t> PickNextSource(std::span<const SourceRecord> sources,
                                     std::span<const std::vector<PlanDrive>> candidates);

// One more copy of `source` on `recorder`; its entry is appended on its
// first copy, so destinations stay in order of first assignment.
void AddDestinationCopy(SourceRecord& source, char16_t recorder, RecorderLoads& loads);

// Spreads the source's copies over its ordered candidates, least-loaded
// first: each round gives one copy to every candidate at the lowest load,
// in candidate order, until the copies are used up.
void AssignCopies(SourceRecord& source, std::span<const PlanDrive> candidates,
                  RecorderLoads& loads);

// Plans destinations for sources that have none yet, given the usable drives
// in row order. Returns the sources' indices in the order they were planned.
std::vector<size_t> PlanDestinations(std::vector<SourceRecord>& sources,
                                     std::span<const PlanDrive> usable);

// What a row's destination column shows.
enum class DestinationKind {
    Nothing,         // unusable drive
    NotApplicable,   // "N/A": usable drive holding no source
    Destinations,    // the destination strip
    NoCapableDrive,  // the no-capable-drive line
};

struct RowDestination {
    DestinationKind kind = DestinationKind::Nothing;
    std::vector<DestinationEntry> destinations;  // for Destinations
    std::u16string text;                         // "N/A" or the no-capable-drive line
};

struct CopyPlan {
    std::vector<RowDestination> rows;  // one per drive row, in row order
    bool nextEnabled = false;          // at least one source has a destination
};

// "There is no drive capable of writing this kind of discs (e.g. %s)" naming
// the lowest blank type compatible with a source of that type and size. A
// source with no compatible blank type at all (Hybrid Disc, Unknown disc
// type) is named by its own type: no blank can take it, and its own name
// tells the user which disc is in the way.
std::u16string NoCapableDriveText(DiscType source, uint64_t blocks);

// Rebuilds the process-wide source table from the rows (one source per row
// that holds a disc to copy, with its size and volume label) and plans it. Runs on
// the user-interface thread while no reader or writer runs.
CopyPlan PlanCopies(std::span<const DriveRecord> rows);

}  // namespace vestrel
