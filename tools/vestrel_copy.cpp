// vestrel-copy: a whole copy run without windows. It finds the drives and
// their discs, plans the copies, reads every source into image files and
// has every recorder write its copies at the same time, showing one live
// line per drive. An operator policy given on the command line answers the
// questions the wizard would put to a person. With --images-only it backs
// the source discs up into files that stay, with no recorder at all; with
// --from-images it writes copies of image files instead of discs.
//
//   vestrel-copy [--sim FILE | --sim-default] [options]
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "drive/clock.h"
#include "drive/drive_list.h"
#include "drive/drive_lock.h"
#include "drive/file_system.h"
#include "drive/inventory.h"
#include "drive/source_table.h"
#include "drive/text.h"
#include "engine/copy_coordination.h"
#include "engine/disc_backup.h"
#include "engine/image_source.h"
#include "engine/image_store.h"
#include "engine/memory_panel.h"
#include "engine/reader_thread.h"
#include "engine/source_layout.h"
#include "engine/writer_thread.h"
#include "simulator/simulator.h"
#include "tools/bay_options.h"

namespace vestrel {
namespace {

constexpr char kUsage[] =
    "usage: vestrel-copy [--sim FILE | --sim-default] [options]\n"
    "Copies every source disc in the drives onto blanks in the recorders.\n"
    "  --sim FILE         use the simulated drives that FILE describes\n"
    "  --sim-default      use the built-in simulated bay\n"
    "  --copies N         copies of each source (1..99; default 1)\n"
    "  --erase yes|no     erase used rewritable discs (default yes)\n"
    "  --on-error skip|stop  after a writing error, skip on or stop (default skip)\n"
    "  --overwrite yes|no    replace stale image files at once (default: after the\n"
    "                     ten-second countdown)\n"
    "  --images-only DIR  no recorder: keep every source disc as files in DIR, ISO\n"
    "                     for data, WAV for audio and a cue sheet per disc, and a\n"
    "                     bin/cue image of each CD with audio; files already in DIR\n"
    "                     are replaced only with --overwrite yes\n"
    "  --from-images FILE...  copy image files instead of discs: ISO files and cue\n"
    "                     sheets (over ISO, WAV and raw BIN files), each onto\n"
    "                     --copies blanks in every recorder at once\n"
    "  --media cd|dvd|bd  with --from-images: write ISO files to blanks of this\n"
    "                     family (default: the smallest that holds each image)\n"
    "  --verify           read every copy back in its recorder and compare it with\n"
    "                     the source's image files; a copy that differs has failed\n"
    "  --timeout SECONDS  stop everything after this long (default 3600)\n"
    "  --quiet            no live lines, only the outcome\n"
    "  --finished DIR     keep the copies the simulated operator takes out in DIR\n";

struct Policy {
    int copies = 1;
    bool erase = true;
    bool skipOnError = true;
    int overwrite = -1;  // -1: countdown, 0: no, 1: yes
    uint32_t timeoutMs = 3600 * 1000;
    bool quiet = false;
    bool verify = false;
    std::u16string imagesFolder;             // --images-only: back up into this folder
    std::vector<std::u16string> imageFiles;  // --from-images
    MediaFamily media = MediaFamily::Smallest;
};

void Print(std::u16string_view text) {
    std::fputs(ToUtf8(text).c_str(), stdout);
}

void PrintLine(std::u16string_view text) {
    Print(text);
    Print(u"\n");
}

// Answers the stale-file question on the console: at once when the policy
// says so, otherwise after the countdown the dialog would run.
class ConsolePrompt : public OverwritePrompt {
  public:
    explicit ConsolePrompt(int policy) : policy_(policy) {}
    bool AskOverwrite(const std::u16string& fileList) override {
        Print(u"Overwrite files?\n" + fileList + u"\n");
        if (policy_ >= 0)
            return policy_ == 1;
        Clock& clock = ActiveClock();
        OverwriteCountdown countdown(clock.TickCount());
        Print(countdown.Caption() + u"\n");
        while (!countdown.Tick(clock.TickCount()))
            clock.Sleep(50);
        Print(countdown.Caption() + u"\n");
        return true;
    }
    void ShowMessage(const std::u16string& text) override { Print(text + u"\n"); }

  private:
    int policy_;
};

// The operator's answers to a writer's links.
void Answer(const Policy& policy, MemoryPanel& panel, const MemoryPanel::Update& u) {
    const uint32_t links = u.links;
    if (links & panel_link::Yes) {  // "The disc is not empty. Erase it?"
        panel.Click(policy.erase ? panel_link::Yes : panel_link::ChangeDisc);
    } else if (links == panel_link::SkipCopy) {
        if (policy.skipOnError) {
            panel.Click(panel_link::SkipCopy);
        } else {
            panel.RequestStop();
        }
    } else if (links == panel_link::ChangeDisc) {
        panel.Click(panel_link::ChangeDisc);
    } else if ((links & panel_link::SkipSource) && !(links & panel_link::Eject) &&
               !(links & panel_link::DiscTypes)) {
        // A source-level error, or a disc that does not fit.
        if (policy.skipOnError) {
            panel.Click(panel_link::SkipSource, true);
        } else {
            panel.RequestStop();
        }
    }
}

struct Lane {
    char16_t letter = 0;
    std::unique_ptr<MemoryPanel> panel;
};

std::u16string Bar(uint32_t position) {
    const int width = 24;
    int filled = static_cast<int>(position * width / 1000);
    std::u16string bar = u"[";
    for (int i = 0; i < width; ++i)
        bar += i < filled ? u'#' : u'.';
    return bar + u"]";
}

bool Ended(RunState s) {
    return s == RunState::Stopped || s == RunState::Finished;
}

// Shows the lanes until every one has ended (or the time is up, which
// stops them). Returns their final run states.
std::vector<RunState> Follow(std::vector<Lane>& lanes, const Policy& policy, uint32_t started) {
    Clock& clock = ActiveClock();
    std::vector<std::u16string> shown(lanes.size());
    for (;;) {
        bool all = true;
        std::vector<RunState> states;
        for (size_t i = 0; i < lanes.size(); ++i) {
            MemoryPanel& p = *lanes[i].panel;
            RunState s = p.GetRunState();
            states.push_back(s);
            if (!Ended(s) || PruneThreadList() > 0)
                all = Ended(s) && all;
            PanelState st = p.State();
            std::u16string line = FormatText(
                u"%C: %s %s%s", {lanes[i].letter, Bar(p.Progress()), st.status, st.caption});
            if (!policy.quiet && line != shown[i]) {
                Print(line + u"\n");
                shown[i] = line;
            }
        }
        if (all && PruneThreadList() == 0)
            return states;
        if (clock.TickCount() - started > policy.timeoutMs) {
            for (Lane& l : lanes)
                l.panel->RequestStop();
        }
        clock.Sleep(200);
    }
}

int Usage(const char* problem) {
    std::fprintf(stderr, "vestrel-copy: %s\n%s", problem, kUsage);
    return 2;
}

// A row for every optical drive, added at once: the drive list's own way
// in, a drive-added message, waits half a second after each row for its
// window to settle, and here there is no window.
void AddEveryDrive(DriveList& list) {
    for (char16_t letter : OpticalDriveLetters())
        list.AddRow(letter);
}

// The drives found and the copies planned, `copies` of each source; the
// plan's Next and the source table as planned.
bool PlanSources(int copies, std::vector<SourceRecord>& sources) {
    DriveList list;
    AddEveryDrive(list);
    for (size_t i = 0; i < list.rows().size(); ++i) {
        for (int n = 1; n < copies; ++n)
            list.StepCopies(i, +1);
    }
    const bool next = list.Replan().nextEnabled;
    DriveLockGuard lock;
    sources = SourceTable();
    return next;
}

// "D: CD-ROM "LABEL"", as a source is named to the person.
std::u16string SourceName(const SourceRecord& s) {
    std::u16string name = FormatText(u"%C: %s", {s.driveLetter, DiscTypeName(s.discType)});
    if (!s.volumeLabel.empty())
        name += FormatText(u" \"%s\"", {s.volumeLabel});
    return name;
}

// Reads every source's table of contents; the sources whose table cannot
// be read are left out and named. The source table as it then stands.
std::vector<SourceRecord> ReadLayouts() {
    ReadSourceLayouts();
    std::vector<SourceRecord> sources;
    {
        DriveLockGuard lock;
        sources = SourceTable();
    }
    for (const SourceRecord& s : sources) {
        if (LeftOut(s))
            Print(u"Left out " + SourceName(s) + u": " + kTocUnreadableStatus + u"\n");
    }
    return sources;
}

void PrintLeftOut(const std::vector<SourceRecord>& sources) {
    for (const SourceRecord& s : sources) {
        if (LeftOut(s))
            Print(u"Not copied: " + SourceName(s) + u" (" + kTocUnreadableStatus + u")\n");
    }
}

// One reader per source, all at once, as the reading page runs them; their
// final run states.
std::vector<RunState> ReadAll(const std::vector<SourceRecord>& sources, const Policy& policy,
                              uint32_t started) {
    ResetProgressRationing();
    std::vector<Lane> readers;
    for (const SourceRecord& s : sources)
        readers.push_back({s.driveLetter, std::make_unique<MemoryPanel>(s.driveLetter)});
    for (size_t i = 0; i < readers.size(); ++i) {
        ThreadStartBlock block;
        block.first = static_cast<uint32_t>(i);
        block.panel = readers[i].panel.get();
        StartWorker(block, ReaderThread);
    }
    std::vector<RunState> states = Follow(readers, policy, started);
    JoinAllWorkers();
    return states;
}

// How many copies were read back equal to their sources, and every copy
// that was not, with the sector where it first differs.
void PrintVerification(std::vector<Lane>& writers, const std::vector<SourceRecord>& sources) {
    uint32_t asked = 0, verified = 0;
    for (const SourceRecord& s : sources) {
        for (const DestinationEntry& d : s.destinations)
            asked += d.copies;
    }
    for (Lane& lane : writers) {
        for (const std::u16string& status : lane.panel->Statuses()) {
            if (status == kCopyVerifiedStatus)
                ++verified;
            else if (status.starts_with(u"The copy differs") ||
                     status.starts_with(u"Cannot read the copy back") ||
                     status.starts_with(u"Cannot verify the copy"))
                Print(FormatText(u"%C: %s\n", {lane.letter, status}));
        }
    }
    Print(FormatText(u"Copies verified: %u of %u.\n", {verified, asked}));
}

// Why copies were not made: every error or refused disc a writer showed,
// which the operator may have answered before the live lines showed it.
void PrintRefusals(std::vector<Lane>& writers) {
    for (Lane& lane : writers) {
        for (const std::u16string& status : lane.panel->Statuses()) {
            if (status.starts_with(u"Error") || status.starts_with(u"The disc is not") ||
                status.starts_with(u"The disc is too small") || status.starts_with(u"An error") ||
                status.starts_with(u"Cannot close"))
                Print(FormatText(u"%C: %s\n", {lane.letter, status}));
        }
    }
}

// One writer per recorder, all at once, as the writing page runs them, and
// the run's outcome. `made` lists the image files the run made itself,
// the only ones it deletes.
int WriteAll(const Policy& policy, const std::vector<SourceRecord>& sources,
             const std::vector<SourceRecord>& made, uint32_t started) {
    std::vector<Lane> writers;
    for (char16_t letter : WriterLetters(sources)) {
        auto panel = std::make_unique<MemoryPanel>(letter);
        panel->SetObserver(
            [&policy](MemoryPanel& p, const MemoryPanel::Update& u) { Answer(policy, p, u); });
        writers.push_back({letter, std::move(panel)});
    }
    for (Lane& lane : writers) {
        ThreadStartBlock block;
        block.first = lane.letter;
        block.panel = lane.panel.get();
        block.options = policy.verify ? writer_option::VerifyCopies : 0;
        StartWorker(block, WriterThread);
    }
    const std::vector<RunState> states = Follow(writers, policy, started);
    JoinAllWorkers();
    if (policy.verify)
        PrintVerification(writers, sources);
    const WritingEnd end = WritingPageEnd(states, sources);
    if (end.deleteImageFiles)
        DeleteImageFiles(made);
    PrintLine(EvaluatePanels(states).allFinished ? kWritingFinishedText : kWritingCancelledText);
    if (end.copyOutcome == 1) {
        PrintLine(kAllCopiedText);
        return 0;
    }
    PrintRefusals(writers);
    PrintLeftOut(sources);
    PrintLine(kNotAllCopiedText);
    return 1;
}

int CopyToRecorders(const Policy& policy) {
    const uint32_t started = ActiveClock().TickCount();
    std::vector<SourceRecord> sources;
    const bool next = PlanSources(policy.copies, sources);
    for (const SourceRecord& s : sources) {
        std::u16string line = FormatText(
            u"Source %C: %s, %u cop%s:",
            {s.driveLetter, DiscTypeName(s.discType), s.copies, s.copies == 1 ? u"y" : u"ies"});
        for (const DestinationEntry& d : s.destinations) {
            line += FormatText(u" %C: x%u", {d.recorderLetter, d.copies});
        }
        if (s.destinations.empty())
            line += u" no drive can write it";
        Print(line + u"\n");
    }
    if (!next) {
        Print(u"Nothing to copy: no source disc has a recorder that can write it.\n");
        return 1;
    }

    sources = ReadLayouts();
    if (WriterLetters(sources).empty()) {
        Print(u"Nothing to copy: no source disc that a recorder can write could be read.\n");
        return 1;
    }
    {
        DriveLockGuard lock;
        if (!PlanImageFiles(SourceTable())) {
            PrintLine(kNotEnoughSpaceMessage);
            return 1;
        }
        sources = SourceTable();
    }
    ConsolePrompt prompt(policy.overwrite);
    if (!ConfirmOverwrite(sources, prompt))
        return 1;

    const ReadingOutcome reading =
        EvaluateReadingPanels(ReadAll(sources, policy, started), sources);
    if (!reading.nextEnabled) {
        DeleteImageFiles(sources);
        PrintLine(kReadingFailedText);
        PrintLeftOut(sources);
        PrintLine(kNotAllCopiedText);
        return 1;
    }
    PrintLine(reading.anyLeftOut ? kSomeSourcesLeftOutText : kReadingFinishedText);

    return WriteAll(policy, sources, sources, started);
}

// The recorders found in the drives, as the planner takes them.
std::vector<PlanDrive> Recorders() {
    DriveList list;
    AddEveryDrive(list);
    std::vector<PlanDrive> usable;
    for (const DriveRecord& r : list.Records()) {
        if (r.usable())
            usable.push_back(PlanDrive{r.letter, r.reads, r.writes});
    }
    return usable;
}

// --from-images: every image file checked first (a fault ends the run with
// one line naming the file and line, and nothing written); then each is
// planned over the recorders as a disc would be, the tracks that are not
// image files as the reader writes them are copied out into the image
// folder, and the writers record from them. Only the copied-out files are
// deleted afterwards; the person's files stay as they are.
int CopyFromImages(const Policy& policy) {
    const uint32_t started = ActiveClock().TickCount();
    std::vector<ImageSource> images;
    for (const std::u16string& path : policy.imageFiles) {
        ImageSource image;
        std::u16string error;
        if (!OpenImageSource(path, policy.media, image, error)) {
            std::fprintf(stderr, "vestrel-copy: %s\n", ToUtf8(error).c_str());
            return 2;
        }
        images.push_back(std::move(image));
    }

    std::vector<SourceRecord> sources;
    for (size_t i = 0; i < images.size(); ++i) {
        SourceRecord record = images[i].record;
        // Names the image files copied out of this image.
        record.driveLetter = static_cast<char16_t>(u'A' + i);
        record.copies = static_cast<uint32_t>(policy.copies);
        sources.push_back(std::move(record));
    }
    PlanDestinations(sources, Recorders());
    bool any = false;
    for (size_t i = 0; i < sources.size(); ++i) {
        const SourceRecord& s = sources[i];
        std::u16string line = FormatText(
            u"Source %s: %s, %u cop%s:",
            {images[i].path, DiscTypeName(s.discType), s.copies, s.copies == 1 ? u"y" : u"ies"});
        for (const DestinationEntry& d : s.destinations)
            line += FormatText(u" %C: x%u", {d.recorderLetter, d.copies});
        if (s.destinations.empty())
            line += u" " + NoCapableDriveText(s.discType, s.discBlocks);
        any = any || !s.destinations.empty();
        PrintLine(line);
    }
    if (!any) {
        Print(u"Nothing to copy: no recorder can write these images.\n");
        return 1;
    }

    // The tracks to copy out get image files of their own; the others are
    // read where they are.
    std::vector<SourceRecord> made = sources;
    for (size_t i = 0; i < made.size(); ++i) {
        for (size_t k = 0; k < made[i].tracks.size(); ++k) {
            if (images[i].places[k].inPlace)
                made[i].tracks[k].imageBytes = 0;
        }
    }
    if (!PlanImageFiles(made)) {
        PrintLine(kNotEnoughSpaceMessage);
        return 1;
    }
    for (size_t i = 0; i < made.size(); ++i) {
        for (size_t k = 0; k < made[i].tracks.size(); ++k) {
            if (images[i].places[k].inPlace)
                made[i].tracks[k].imagePath.clear();
            else
                sources[i].tracks[k].imagePath = made[i].tracks[k].imagePath;
        }
    }
    ConsolePrompt prompt(policy.overwrite);
    if (!ConfirmOverwrite(made, prompt))
        return 1;
    for (size_t i = 0; i < made.size(); ++i) {
        for (size_t k = 0; k < made[i].tracks.size(); ++k) {
            const TrackRecord& t = made[i].tracks[k];
            if (t.imagePath.empty() || sources[i].destinations.empty())
                continue;
            std::u16string error;
            if (!CopyOutTrack(images[i].places[k], t, error)) {
                DeleteImageFiles(made);
                PrintLine(error);
                return 1;
            }
        }
    }
    {
        DriveLockGuard lock;
        SourceTable() = sources;
    }
    return WriteAll(policy, sources, made, started);
}

// --images-only: every source disc read into files that stay in `folder`,
// with a cue sheet each (and a raw bin/cue image for discs with audio). No
// recorder takes part. Files already there are replaced only when the
// policy says so; otherwise nothing is touched.
int BackUpAll(const Policy& policy, const std::u16string& folder) {
    const uint32_t started = ActiveClock().TickCount();
    std::vector<SourceRecord> sources;
    PlanSources(1, sources);
    if (sources.empty()) {
        Print(u"Nothing to back up: no source disc in the drives.\n");
        return 1;
    }
    for (const SourceRecord& s : sources)
        Print(u"Source " + SourceName(s) + u"\n");
    sources = ReadLayouts();

    std::vector<BackupFiles> files;
    {
        DriveLockGuard lock;
        files = PlanBackupFiles(SourceTable(), folder);
        sources = SourceTable();
    }
    FileSystem& fs = ActiveFileSystem();
    std::vector<std::u16string> existing;
    for (const std::u16string& path : BackupPaths(sources, files)) {
        if (fs.Exists(path))
            existing.push_back(path);
    }
    if (!existing.empty()) {
        Print(u"These files already exist:\n");
        for (const std::u16string& path : existing)
            Print(u"  " + path + u"\n");
        if (policy.overwrite != 1) {
            Print(u"Nothing was changed. Give --overwrite yes to replace them.\n");
            return 1;
        }
        for (const std::u16string& path : existing) {
            uint32_t error = 0;
            if (!fs.RemoveFile(path, error)) {
                PrintLine(kCannotOverwriteMessage);
                return 1;
            }
        }
    }

    // A reader that fails removes its files and then their folder if it is
    // empty; a folder the person named stays.
    const bool folderExisted = fs.IsFolder(folder);
    // The folder is made here, so that a name that cannot be a folder is
    // reported as such and not as the readers' temporary folder.
    if (!folderExisted && !CreateImageFolders(folder + u"/")) {
        Print(u"Cannot create the folder " + folder + u".\n");
        return 1;
    }
    const std::vector<RunState> states = ReadAll(sources, policy, started);
    if (folderExisted && !fs.IsFolder(folder)) {
        uint32_t error = 0;
        fs.CreateFolder(folder, error);
    }

    bool all = EvaluateReadingPanels(states, sources).allRead;
    for (size_t i = 0; i < sources.size(); ++i) {
        const SourceRecord& s = sources[i];
        if (LeftOut(s))
            continue;
        std::u16string error;
        if (states[i] != RunState::Finished) {
            all = false;
            Print(u"Not backed up: " + SourceName(s) + u"\n");
        } else if (!WriteBackupCueSheets(s, files[i], error)) {
            all = false;
            Print(u"Not backed up: " + SourceName(s) + u": " + error + u"\n");
        } else {
            Print(u"Backed up " + SourceName(s) + u":\n");
            for (const TrackRecord& t : s.tracks)
                Print(u"  " + t.imagePath + u"\n");
            for (const std::u16string* p :
                 {&files[i].cueSheet, &files[i].rawImage, &files[i].rawCueSheet}) {
                if (!p->empty())
                    Print(u"  " + *p + u"\n");
            }
        }
    }
    for (const SourceRecord& s : sources) {
        if (LeftOut(s))
            Print(u"Not backed up: " + SourceName(s) + u" (" + kTocUnreadableStatus + u")\n");
    }
    Print(all ? u"Every disc was backed up.\n" : u"Not every disc was backed up.\n");
    return all ? 0 : 1;
}

// The run the options ask for.
int CopyAll(const Policy& policy) {
    if (!policy.imagesFolder.empty())
        return BackUpAll(policy, policy.imagesFolder);
    if (!policy.imageFiles.empty())
        return CopyFromImages(policy);
    return CopyToRecorders(policy);
}

}  // namespace
}  // namespace vestrel

int main(int argc, char** argv) {
    using namespace vestrel;
    const char* simFile = nullptr;
    const char* finishedFolder = nullptr;
    bool simDefault = false;
    bool mediaGiven = false;
    Policy policy;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&]() -> std::string_view { return ++i < argc ? argv[i] : ""; };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--sim-default") {
            simDefault = true;
        } else if (arg == "--sim") {
            simFile = ++i < argc ? argv[i] : nullptr;
            if (!simFile)
                return Usage("--sim needs a description file");
        } else if (arg == "--copies") {
            policy.copies = std::atoi(std::string(value()).c_str());
            if (policy.copies < 1 || policy.copies > 99)
                return Usage("--copies takes 1 to 99");
        } else if (arg == "--erase") {
            std::string_view v = value();
            if (v != "yes" && v != "no")
                return Usage("--erase takes yes or no");
            policy.erase = v == "yes";
        } else if (arg == "--on-error") {
            std::string_view v = value();
            if (v != "skip" && v != "stop")
                return Usage("--on-error takes skip or stop");
            policy.skipOnError = v == "skip";
        } else if (arg == "--overwrite") {
            std::string_view v = value();
            if (v != "yes" && v != "no")
                return Usage("--overwrite takes yes or no");
            policy.overwrite = v == "yes" ? 1 : 0;
        } else if (arg == "--images-only") {
            policy.imagesFolder = FromUtf8(value());
            if (policy.imagesFolder.empty())
                return Usage("--images-only needs a folder");
        } else if (arg == "--from-images") {
            while (i + 1 < argc && !std::string_view(argv[i + 1]).starts_with("--"))
                policy.imageFiles.push_back(FromUtf8(argv[++i]));
            if (policy.imageFiles.empty())
                return Usage("--from-images needs image files");
        } else if (arg == "--media") {
            std::string_view v = value();
            if (v != "cd" && v != "dvd" && v != "bd")
                return Usage("--media takes cd, dvd or bd");
            policy.media = v == "cd"    ? MediaFamily::Cd
                           : v == "dvd" ? MediaFamily::Dvd
                                        : MediaFamily::Bd;
            mediaGiven = true;
        } else if (arg == "--timeout") {
            int seconds = std::atoi(std::string(value()).c_str());
            if (seconds < 1)
                return Usage("--timeout takes a number of seconds");
            policy.timeoutMs = static_cast<uint32_t>(seconds) * 1000;
        } else if (arg == "--finished") {
            finishedFolder = ++i < argc ? argv[i] : nullptr;
            if (!finishedFolder)
                return Usage("--finished needs a folder");
        } else if (arg == "--verify") {
            policy.verify = true;
        } else if (arg == "--quiet") {
            policy.quiet = true;
        } else {
            return Usage(("unknown option " + std::string(arg)).c_str());
        }
    }
    if (mediaGiven && policy.imageFiles.empty())
        return Usage("--media goes with --from-images");
    if (policy.imageFiles.size() > 26)
        return Usage("--from-images takes at most 26 image files");
    if (!policy.imageFiles.empty() && !policy.imagesFolder.empty())
        return Usage("--from-images and --images-only exclude each other");
    if (simFile && simDefault)
        return Usage("--sim and --sim-default exclude each other");
    if (finishedFolder && !simFile && !simDefault)
        return Usage("--finished needs a simulated bay");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!simFile && !simDefault)
        return CopyAll(policy);

    sim::Simulator simulator;
    std::string error;
    if (!LoadBay(simulator, simFile, argv[0], error) ||
        (finishedFolder && !simulator.SetFinishedFolder(finishedFolder, error))) {
        std::fprintf(stderr, "vestrel-copy: %s\n", error.c_str());
        return 1;
    }
    simulator.Install();
    int result = CopyAll(policy);
    for (const std::string& line : simulator.OperatorLog()) {
        if (!policy.quiet)
            std::printf("operator: %s\n", line.c_str());
    }
    if (!simulator.finishedFolder().empty() && policy.imagesFolder.empty())
        std::printf("Finished copies are in %s\n", simulator.finishedFolder().string().c_str());
    return result;
}
