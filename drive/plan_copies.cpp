#include "drive/plan_copies.h"

#include <algorithm>
#include <bit>

#include "drive/inventory.h"
#include "drive/text.h"

namespace vestrel {

bool CanTakeSource(DiscType source, uint64_t blocks, DiscTypeMask writes) {
    return (source & writes) != 0 || (writes & CompatibleBlankTypes(source, blocks)) != 0;
}

std::vector<PlanDrive> CandidatesFor(const SourceRecord& source,
                                     std::span<const PlanDrive> usable) {
    std::vector<PlanDrive> candidates;
    for (const PlanDrive& d : usable) {
        if (CanTakeSource(source.discType, source.discBlocks, d.writes))
            candidates.push_back(d);
    }
    return candidates;
}

void OrderCandidates(std::vector<PlanDrive>& candidates) {
    // Reversing first turns "later in row order first" into the stable
    // order among equal masks.
    std::reverse(candidates.begin(), candidates.end());
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const PlanDrive& a, const PlanDrive& b) { return a.writes > b.writes; });
}

std::optional<size_t> PickNextSource(std::span<const SourceRecord> sources,
                                     std::span<const std::vector<PlanDrive>> candidates) {
    std::optional<size_t> picked;
    for (size_t i = 0; i < sources.size() && i < candidates.size(); ++i) {
        if (!sources[i].destinations.empty())
            continue;
        if (!picked) {
            picked = i;
            continue;
        }
        const size_t n = candidates[i].size(), best = candidates[*picked].size();
        if (n < best || (n == best && sources[i].discType > sources[*picked].discType))
            picked = i;
    }
    if (picked && candidates[*picked].empty())
        return std::nullopt;
    return picked;
}

void AddDestinationCopy(SourceRecord& source, char16_t recorder, RecorderLoads& loads) {
    auto entry =
        std::find_if(source.destinations.begin(), source.destinations.end(),
                     [&](const DestinationEntry& e) { return e.recorderLetter == recorder; });
    if (entry == source.destinations.end())
        source.destinations.push_back(DestinationEntry{recorder, 1});
    else
        ++entry->copies;
    ++loads[recorder];
}

void AssignCopies(SourceRecord& source, std::span<const PlanDrive> candidates,
                  RecorderLoads& loads) {
    if (candidates.empty())
        return;
    uint32_t threshold = 0;
    uint32_t remaining = source.copies;
    while (remaining > 0) {
        std::vector<char16_t> level;
        for (;;) {
            for (const PlanDrive& d : candidates) {
                if (loads[d.letter] <= threshold)
                    level.push_back(d.letter);
            }
            if (!level.empty())
                break;
            ++threshold;
        }
        const size_t given = std::min<size_t>(remaining, level.size());
        for (size_t i = 0; i < given; ++i)
            AddDestinationCopy(source, level[i], loads);
        remaining -= static_cast<uint32_t>(given);
        ++threshold;
    }
}

std::vector<size_t> PlanDestinations(std::vector<SourceRecord>& sources,
                                     std::span<const PlanDrive> usable) {
    std::vector<std::vector<PlanDrive>> candidates;
    RecorderLoads loads;
    for (const SourceRecord& s : sources) {
        candidates.push_back(CandidatesFor(s, usable));
        OrderCandidates(candidates.back());
        for (const PlanDrive& d : candidates.back())
            loads.emplace(d.letter, 0);
    }
    std::vector<size_t> order;
    while (std::optional<size_t> next = PickNextSource(sources, candidates)) {
        AssignCopies(sources[*next], candidates[*next], loads);
        order.push_back(*next);
        // A source asking for no copies stays without destinations and
        // would be picked again.
        if (sources[*next].destinations.empty())
            break;
    }
    return order;
}

std::u16string NoCapableDriveText(DiscType source, uint64_t blocks) {
    const DiscTypeMask blanks = CompatibleBlankTypes(source, blocks);
    const DiscType example = blanks != 0 ? DiscType{1} << std::countr_zero(blanks) : source;
    return FormatText(u"There is no drive capable of writing this kind of discs (e.g. %s)",
                      {DiscTypeName(example)});
}

CopyPlan PlanCopies(std::span<const DriveRecord> rows) {
    std::vector<SourceRecord>& table = SourceTable();
    table.clear();

    std::vector<PlanDrive> usable;
    std::vector<std::optional<size_t>> sourceOfRow(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const DriveRecord& row = rows[i];
        if (row.usable())
            usable.push_back(PlanDrive{row.letter, row.reads, row.writes});
        if (row.discType != disc::None && row.holdsSource()) {
            SourceRecord source;
            source.driveLetter = row.letter;
            source.discType = row.discType;
            source.discBlocks = row.discBlocks;
            source.copies = row.copies;
            source.volumeLabel = ReadVolumeLabel(row.letter);
            sourceOfRow[i] = table.size();
            table.push_back(std::move(source));
        }
    }

    PlanDestinations(table, usable);

    CopyPlan plan;
    plan.rows.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        RowDestination& column = plan.rows[i];
        if (!rows[i].usable()) {
            column.kind = DestinationKind::Nothing;
        } else if (!sourceOfRow[i]) {
            column.kind = DestinationKind::NotApplicable;
            column.text = u"N/A";
        } else if (const SourceRecord& s = table[*sourceOfRow[i]]; !s.destinations.empty()) {
            column.kind = DestinationKind::Destinations;
            column.destinations = s.destinations;
            plan.nextEnabled = true;
        } else {
            column.kind = DestinationKind::NoCapableDrive;
            column.text = NoCapableDriveText(s.discType, s.discBlocks);
        }
    }
    return plan;
}

}  // namespace vestrel
