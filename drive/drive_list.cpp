#include "drive/drive_list.h"

#include <algorithm>

#include "drive/clock.h"
#include "drive/disc_types.h"
#include "drive/text.h"

namespace vestrel {

DriveRowTexts RowTexts(const DriveRecord& record) {
    DriveRowTexts t;
    t.title = DriveDisplayName(record);
    t.reads = DescribeTypeList(record.reads);
    t.writes = DescribeTypeList(record.writes);
    t.currentDisc = u"Current disc type: " + DiscTypeName(record.discType);
    if (record.blank)
        t.currentDisc += u" (Empty)";
    return t;
}

std::u16string DestinationLetterText(const DestinationEntry& destination) {
    return FormatText(u"%C:", {destination.recorderLetter});
}

std::u16string DestinationCountText(const DestinationEntry& destination) {
    return FormatText(u"x%d", {destination.copies});
}

std::u16string DestinationListText(const std::vector<DestinationEntry>& destinations) {
    std::u16string text;
    for (const DestinationEntry& d : destinations) {
        if (!text.empty())
            text += u", ";
        text += DestinationLetterText(d) + u" " + DestinationCountText(d);
    }
    return text;
}

std::u16string DescribeRow(const DriveRecord& record, const RowDestination& destination,
                           std::u16string_view unusableName) {
    if (!record.usable())
        return std::u16string(unusableName) + u"\n    " + kUnusableText + u"\n";
    const DriveRowTexts t = RowTexts(record);
    std::u16string text = t.title + u"\n    Reads: " + t.reads + u"\n    Writes: " + t.writes +
                          u"\n    " + t.currentDisc + u"\n";
    if (record.holdsSource())
        text += FormatText(u"    Copies: %d\n", {record.copies});
    const std::u16string column = destination.kind == DestinationKind::Destinations
                                      ? DestinationListText(destination.destinations)
                                      : destination.text;
    return text + u"    Destination: " + column + u"\n";
}

void DriveList::Receive(DriveListMessage message, char16_t letter) {
    switch (message) {
        case DriveListMessage::AddDriveRow:
            AddRow(letter);
            ActiveClock().WaitDispatchingMessages(kAddRowSettleMs);
            Replan();
            break;
        case DriveListMessage::RemoveDriveRow:
            if (RemoveRow(letter))
                Replan();
            break;
        case DriveListMessage::RefreshDriveRow:
            if (RefreshRow(letter))
                Replan();
            break;
    }
}

size_t DriveList::AddRow(char16_t letter) {
    if (std::optional<size_t> existing = IndexOf(letter))
        return *existing;
    DriveRow row;
    row.record = CreateDriveRecord(letter);
    row.hasCopiesControl = row.record.holdsSource();
    rows_.push_back(std::move(row));
    return rows_.size() - 1;
}

std::optional<size_t> DriveList::RemoveRow(char16_t letter) {
    std::optional<size_t> index = IndexOf(letter);
    if (index)
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(*index));
    return index;
}

std::optional<CopiesControlChange> DriveList::RefreshRow(char16_t letter) {
    std::optional<size_t> index = IndexOf(letter);
    if (!index)
        return std::nullopt;
    DriveRow& row = rows_[*index];
    RefreshDriveRecord(row.record);
    const bool source = row.record.holdsSource();
    if (source == row.hasCopiesControl)
        return CopiesControlChange::None;
    row.hasCopiesControl = source;
    return source ? CopiesControlChange::Created : CopiesControlChange::Destroyed;
}

bool DriveList::StepCopies(size_t row, int delta) {
    if (row >= rows_.size() || !rows_[row].hasCopiesControl)
        return false;
    DriveRecord& record = rows_[row].record;
    const int wanted = int{record.copies} + delta;
    if (wanted < kMinCopies || wanted > kMaxCopies)
        return false;
    record.copies = static_cast<uint8_t>(wanted);
    return true;
}

const CopyPlan& DriveList::Replan() {
    std::vector<DriveRecord> records = Records();
    plan_ = PlanCopies(records);
    return plan_;
}

std::optional<size_t> DriveList::IndexOf(char16_t letter) const {
    auto it = std::find_if(rows_.begin(), rows_.end(),
                           [&](const DriveRow& r) { return r.record.letter == letter; });
    if (it == rows_.end())
        return std::nullopt;
    return static_cast<size_t>(it - rows_.begin());
}

std::vector<DriveRecord> DriveList::Records() const {
    std::vector<DriveRecord> records;
    records.reserve(rows_.size());
    for (const DriveRow& r : rows_)
        records.push_back(r.record);
    return records;
}

size_t MoveFocus(size_t current, FocusKey key, size_t rowCount) {
    if (rowCount == 0)
        return 0;
    const size_t last = rowCount - 1;
    current = std::min(current, last);
    switch (key) {
        case FocusKey::Up:
            return current > 0 ? current - 1 : 0;
        case FocusKey::Down:
            return std::min(current + 1, last);
        case FocusKey::PageUp:
            return current > kPageRows ? current - kPageRows : 0;
        case FocusKey::PageDown:
            return std::min(current + kPageRows, last);
        case FocusKey::Home:
            return 0;
        case FocusKey::End:
            return last;
    }
    return current;
}

std::optional<size_t> FocusAfterRemoval(size_t removedIndex, size_t rowCount) {
    if (rowCount == 0)
        return std::nullopt;
    return std::min(removedIndex, rowCount - 1);
}

}  // namespace vestrel
