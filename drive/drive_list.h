// The select-drives page's drive list without its windows: one row per
// optical drive in the order the rows were added, each with its record,
// the copies count rules, and the plan made after every change. The wizard's
// drive list panel keeps one and does its window work around these steps;
// console tools and tests use it whole through Receive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drive/drive_record.h"
#include "drive/inventory.h"
#include "drive/plan_copies.h"

namespace vestrel {

struct DriveRow {
    DriveRecord record;
    bool hasCopiesControl = false;  // the row holds a source
};

enum class CopiesControlChange { None, Created, Destroyed };

// The texts of a row. A usable drive shows its title, what it reads and
// writes (after "Reads:" and "Writes:"), its current disc and, holding a
// source, "Copies:" with the count. An unusable one shows the shell's name
// of the drive and kUnusableText, which opens its probe details.
struct DriveRowTexts {
    std::u16string title;
    std::u16string reads;
    std::u16string writes;
    std::u16string currentDisc;  // "Current disc type: ..." (" (Empty)" for a blank)
};
DriveRowTexts RowTexts(const DriveRecord& record);
inline constexpr char16_t kUnusableText[] = u"Unusable (Click for details)";

// A destination as the strip labels it: its letter "%C:" and its count
// "x%d"; and a list of them as text, "G: x1, F: x2".
std::u16string DestinationLetterText(const DestinationEntry& destination);
std::u16string DestinationCountText(const DestinationEntry& destination);
std::u16string DestinationListText(const std::vector<DestinationEntry>& destinations);

// A row as lines of text, one line per thing it shows, for those who read
// it rather than look at it: the console tool prints it, and the wizard's
// row carries it as its window text. `unusableName` names an unusable
// drive (the shell's name of it in the wizard).
//
//   DVD-ROM Drive (D:) [LUMEN]          Drive (G:)
//       Reads: CD-ROM, ...                  Unusable (Click for details)
//       Writes: Not supported
//       Current disc type: CD-ROM
//       Copies: 1
//       Destination: G: x1
std::u16string DescribeRow(const DriveRecord& record, const RowDestination& destination,
                           std::u16string_view unusableName);

// After a new row is added, the list waits this long, dispatching
// messages, before it plans.
constexpr uint32_t kAddRowSettleMs = 500;

class DriveList : public DriveListTarget {
  public:
    // The whole effect of a drive list message: the row change, the wait
    // after an added row, and a new plan. A letter the list does not hold is
    // ignored by remove and refresh.
    void Receive(DriveListMessage message, char16_t letter) override;

    // Appends a row with a new record and returns its index. A letter that
    // already has a row is not added again (two rows for one drive would
    // make two sources read into the same image files); its index is
    // returned.
    size_t AddRow(char16_t letter);
    // The index the removed row had; none when no row has the letter.
    std::optional<size_t> RemoveRow(char16_t letter);
    // Re-reads the row's disc; says whether its copies control comes or goes.
    // None when no row has the letter.
    std::optional<CopiesControlChange> RefreshRow(char16_t letter);
    // One click on the row's copies control: +1 up, -1 down. Counts stay
    // within 1..99; a click past either end, or on a row without a source,
    // changes nothing and returns false.
    bool StepCopies(size_t row, int delta);

    // Runs PlanCopies over the rows and keeps the outcome.
    const CopyPlan& Replan();

    const std::vector<DriveRow>& rows() const { return rows_; }
    std::optional<size_t> IndexOf(char16_t letter) const;
    std::vector<DriveRecord> Records() const;
    const CopyPlan& plan() const { return plan_; }
    bool nextEnabled() const { return plan_.nextEnabled; }

  private:
    std::vector<DriveRow> rows_;
    CopyPlan plan_;
};

// Keyboard focus among the rows.
enum class FocusKey { Up, Down, PageUp, PageDown, Home, End };
constexpr size_t kPageRows = 4;

// The row that gets the focus; moves stop at the first and last row.
size_t MoveFocus(size_t current, FocusKey key, size_t rowCount);
// After a removal: the row now at the removed row's position, or the last
// row; none when no row is left.
std::optional<size_t> FocusAfterRemoval(size_t removedIndex, size_t rowCount);

}  // namespace vestrel
