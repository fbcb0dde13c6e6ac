// vestrel-drives: every optical drive as the select-drives page shows its
// row, and the copy plan for the discs in them now.
//
//   vestrel-drives            the drives of this computer
//   vestrel-drives --help
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "drive/disc_types.h"
#include "drive/drive_list.h"
#include "drive/inventory.h"
#include "drive/text.h"

namespace vestrel {
namespace {

constexpr char kUsage[] =
    "usage: vestrel-drives [--help]\n"
    "Lists every optical drive as the select-drives page shows it and the copy plan\n"
    "for the discs in the drives now.\n";

void Print(std::u16string_view text) {
    std::fputs(ToUtf8(text).c_str(), stdout);
}

// Every line of a multi-line text, indented; CR LF pairs become line ends.
void PrintIndented(std::u16string_view text, std::u16string_view indent) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u'\n', start);
        std::u16string_view line = text.substr(start, end == text.npos ? text.npos : end - start);
        if (!line.empty() && line.back() == u'\r')
            line.remove_suffix(1);
        Print(std::u16string(indent) + std::u16string(line) + u"\n");
        if (end == text.npos)
            break;
        start = end + 1;
    }
}

std::u16string DestinationList(const std::vector<DestinationEntry>& destinations) {
    std::u16string text;
    for (const DestinationEntry& d : destinations) {
        if (!text.empty())
            text += u", ";
        text += FormatText(u"%C: x%d", {d.recorderLetter, d.copies});
    }
    return text;
}

std::u16string DestinationColumn(const RowDestination& column) {
    return column.kind == DestinationKind::Destinations ? DestinationList(column.destinations)
                                                        : column.text;
}

void PrintRow(const DriveRow& row, const RowDestination& column) {
    const DriveRecord& r = row.record;
    if (!r.usable()) {
        // The wizard shows the shell's name of the drive here.
        Print(FormatText(u"Drive (%C:)\n", {r.letter}));
        Print(u"    Unusable (Click for details)\n");
        PrintIndented(ProbeDetails(r.probe), u"      ");
        return;
    }
    Print(DriveDisplayName(r) + u"\n");
    Print(u"    Reads: " + DescribeTypeList(r.reads) + u"\n");
    Print(u"    Writes: " + DescribeTypeList(r.writes) + u"\n");
    Print(u"    Current disc type: " + DiscTypeName(r.discType) + (r.blank ? u" (Empty)" : u"") +
          u"\n");
    if (r.holdsSource())
        Print(FormatText(u"    Copies: %d\n", {r.copies}));
    Print(u"    Destination: " + DestinationColumn(column) + u"\n");
}

void PrintPlan(const DriveList& list) {
    Print(u"\nPlan:\n");
    const std::vector<SourceRecord>& table = SourceTable();
    if (table.empty())
        Print(u"    no disc to copy\n");
    for (const SourceRecord& s : table) {
        std::u16string label = s.volumeLabel.empty() ? u"" : u" \"" + s.volumeLabel + u"\"";
        std::u16string where =
            s.destinations.empty() ? u"no destination" : u"to " + DestinationList(s.destinations);
        Print(FormatText(u"    %C: %s%s, %d %s %s\n",
                         {s.driveLetter, DiscTypeName(s.discType), label, s.copies,
                          s.copies == 1 ? u"copy" : u"copies", where}));
    }
    Print(list.nextEnabled() ? u"Next: enabled\n" : u"Next: disabled\n");
}

// Rows are added without the settling wait of the page: nothing here
// changes while the tool runs.
struct RowCollector : DriveListTarget {
    explicit RowCollector(DriveList& list) : list(list) {}
    void Receive(DriveListMessage message, char16_t letter) override {
        if (message == DriveListMessage::AddDriveRow)
            list.AddRow(letter);
    }
    DriveList& list;
};

int ListDrives() {
    DriveList list;
    RowCollector collector(list);
    EnumerateOpticalDrives(collector);
    if (list.rows().empty()) {
        Print(u"No optical drive found.\n");
        return 0;
    }
    const CopyPlan& plan = list.Replan();
    for (size_t i = 0; i < list.rows().size(); ++i) {
        if (i > 0)
            Print(u"\n");
        PrintRow(list.rows()[i], plan.rows[i]);
    }
    PrintPlan(list);
    return 0;
}

}  // namespace
}  // namespace vestrel

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(vestrel::kUsage, stdout);
            return 0;
        }
        std::fprintf(stderr, "vestrel-drives: unknown option %s\n%s", argv[i], vestrel::kUsage);
        return 2;
    }
    return vestrel::ListDrives();
}
