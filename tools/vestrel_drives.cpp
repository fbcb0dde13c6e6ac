// vestrel-drives: every optical drive as the select-drives page shows its
// row, and the copy plan for the discs in them now.
//
//   vestrel-drives                the drives of this computer
//   vestrel-drives --sim FILE     the simulated drives a description file sets up
//   vestrel-drives --sim-default  the built-in simulated bay
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "drive/clock.h"
#include "drive/disc_types.h"
#include "drive/drive_list.h"
#include "drive/inventory.h"
#include "drive/mmc_commands.h"
#include "drive/text.h"
#include "simulator/simulator.h"
#include "tools/bay_options.h"

namespace vestrel {
namespace {

constexpr char kUsage[] =
    "usage: vestrel-drives [--sim FILE | --sim-default]\n"
    "Lists every optical drive as the select-drives page shows it and the copy plan\n"
    "for the discs in the drives now.\n"
    "  --sim FILE     use the simulated drives that FILE describes\n"
    "  --sim-default  use the built-in simulated bay (VESTREL_SAMPLES names the\n"
    "                 folder of its sample discs)\n";

// Drives whose disc is still spinning up are given this long to settle, so
// that their rows show the disc.
constexpr uint32_t kSettleLimitMs = 10000;
constexpr uint32_t kSettlePollMs = 200;

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
        Print((line.empty() ? u"" : std::u16string(indent)) + std::u16string(line) + u"\n");
        if (end == text.npos)
            break;
        start = end + 1;
    }
}

// The row as the wizard's row describes itself; an unusable drive, named
// here by its letter where the wizard has the shell's name for it, is
// followed by its probe details, which the wizard shows on a click.
void PrintRow(const DriveRow& row, const RowDestination& column) {
    const DriveRecord& r = row.record;
    Print(DescribeRow(r, column, FormatText(u"Drive (%C:)", {r.letter})));
    if (!r.usable())
        PrintIndented(ProbeDetails(r.probe), u"      ");
}

void PrintPlan(const DriveList& list) {
    Print(u"\nPlan:\n");
    const std::vector<SourceRecord>& table = SourceTable();
    if (table.empty())
        Print(u"    no disc to copy\n");
    for (const SourceRecord& s : table) {
        std::u16string label = s.volumeLabel.empty() ? u"" : u" \"" + s.volumeLabel + u"\"";
        std::u16string where =
            s.destinations.empty() ? u"no destination" : DestinationListText(s.destinations);
        Print(FormatText(u"    %C: %s%s, %d %s: %s\n",
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

void WaitWhileBecomingReady() {
    Clock& clock = ActiveClock();
    for (uint32_t waited = 0; waited < kSettleLimitMs; waited += kSettlePollMs) {
        bool settling = false;
        for (char16_t letter : OpticalDriveLetters())
            settling |= IsBecomingReady(SendTestUnitReady(letter));
        if (!settling)
            return;
        clock.Sleep(kSettlePollMs);
    }
}

int ListDrives() {
    WaitWhileBecomingReady();
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

int Usage(const char* problem) {
    std::fprintf(stderr, "vestrel-drives: %s\n%s", problem, kUsage);
    return 2;
}

}  // namespace
}  // namespace vestrel

int main(int argc, char** argv) {
    using namespace vestrel;
    const char* simFile = nullptr;
    bool simDefault = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--sim-default") {
            simDefault = true;
        } else if (arg == "--sim") {
            if (++i == argc)
                return Usage("--sim needs a description file");
            simFile = argv[i];
        } else {
            return Usage(("unknown option " + std::string(arg)).c_str());
        }
    }
    if (simFile && simDefault)
        return Usage("--sim and --sim-default exclude each other");
    if (!simFile && !simDefault)
        return ListDrives();

    sim::Simulator simulator;
    std::string error;
    if (!LoadBay(simulator, simFile, argv[0], error)) {
        std::fprintf(stderr, "vestrel-drives: %s\n", error.c_str());
        return 1;
    }
    simulator.Install();
    return ListDrives();
}
