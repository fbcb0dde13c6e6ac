// vestrel-copy: a whole copy run without windows. It finds the drives and
// their discs, plans the copies, reads every source into image files and
// has every recorder write its copies at the same time, showing one live
// line per drive. An operator policy given on the command line answers the
// questions the wizard would put to a person. With --images-only it backs
// the source discs up into files that stay, with no recorder at all; with
// --from-images it writes copies of image files instead of discs.
//
//   vestrel-copy [--sim FILE | --sim-default] [options]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
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
#include "engine/copy_report.h"
#include "engine/disc_backup.h"
#include "engine/image_source.h"
#include "engine/image_store.h"
#include "engine/memory_panel.h"
#include "engine/reader_thread.h"
#include "engine/run_journal.h"
#include "engine/source_layout.h"
#include "engine/writer_thread.h"
#include "simulator/quick_clock.h"
#include "simulator/simulator.h"
#include "tools/bay_options.h"
#include "tools/run_record.h"

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
    "  --report FILE      add a line to FILE for every copy attempt as it ends, and\n"
    "                     a summary at the end (JSON Lines)\n"
    "  --journal FILE     keep the run's plan and every copy made in FILE (a new\n"
    "                     file), so that the run can be resumed; source discs are\n"
    "                     kept as image files until every copy is made\n"
    "  --resume FILE      take up the run whose journal is FILE: check its image\n"
    "                     files and write only the copies not made yet\n"
    "  --verify           read every copy back in its recorder and compare it with\n"
    "                     the source's image files; a copy that differs has failed\n"
    "  --timeout SECONDS  stop everything after this long (default 3600)\n"
    "  --quiet            no live lines, only the outcome\n"
    "  --finished DIR     keep the copies the simulated operator takes out in DIR\n"
    "  --quick-clock      with a simulated bay: the program's own waits pass at once\n";

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
    std::vector<MediaFamily> imageMedia;     // each image's, when not `media`
    MediaFamily media = MediaFamily::Smallest;
    std::u16string report;   // --report
    std::u16string journal;  // --journal, or the journal resumed
    bool resume = false;
};

const char* MediaName(MediaFamily family) {
    switch (family) {
        case MediaFamily::Cd:
            return "cd";
        case MediaFamily::Dvd:
            return "dvd";
        case MediaFamily::Bd:
            return "bd";
        case MediaFamily::Smallest:
            break;
    }
    return "smallest";
}

MediaFamily MediaFromName(std::string_view name) {
    return name == "cd"    ? MediaFamily::Cd
           : name == "dvd" ? MediaFamily::Dvd
           : name == "bd"  ? MediaFamily::Bd
                           : MediaFamily::Smallest;
}

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

// Real time, whatever clock the drives and workers run on: the timeout is
// the person's.
uint32_t RealMilliseconds() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
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
        if (RealMilliseconds() - started > policy.timeoutMs) {
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

// Sectors of audio as seconds: "30", "0.43".
std::u16string Seconds(uint32_t sectors) {
    std::u16string text = FromUtf8(std::to_string(sectors / 75));
    if (const uint32_t hundredths = sectors % 75 * 100 / 75; hundredths > 0)
        text += FromUtf8((hundredths < 10 ? ".0" : ".") + std::to_string(hundredths));
    return text;
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
std::vector<RunState> ReadAll(std::vector<SourceRecord>& sources, const Policy& policy,
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
    // The readers keep what they found of an audio CD's marks in the table,
    // and what of it they could not read.
    {
        DriveLockGuard lock;
        for (size_t i = 0; i < sources.size() && i < SourceTable().size(); ++i) {
            sources[i].marks = SourceTable()[i].marks;
            sources[i].hiddenAudioUnread = SourceTable()[i].hiddenAudioUnread;
            sources[i].cdTextUnread = SourceTable()[i].cdTextUnread;
        }
    }
    for (const SourceRecord& s : sources) {
        if (s.hiddenAudioUnread > 0) {
            Print(SourceName(s) + u": its " + Seconds(s.hiddenAudioUnread) +
                  u" seconds of hidden audio could not be read and are copied as silence.\n");
        }
        if (s.cdTextUnread)
            Print(SourceName(s) + u": the drive cannot read its CD-Text; the copies carry none.\n");
    }
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

// The copies a run is asked for, of which earlier runs of its journal made
// some, for the report's summary.
struct RunTally {
    uint32_t asked = 0;
    uint32_t madeBefore = 0;
    int64_t started = 0;  // wall time, ms
};

uint32_t CopiesAsked(const std::vector<SourceRecord>& sources) {
    uint32_t asked = 0;
    for (const SourceRecord& s : sources)
        asked += s.copies;
    return asked;
}

// One writer per recorder, all at once, as the writing page runs them, and
// the run's outcome. `made` lists the image files the run made itself,
// the only ones it deletes. `record` hears of every copy.
int WriteAll(const Policy& policy, const std::vector<SourceRecord>& sources,
             const std::vector<SourceRecord>& made, uint32_t started, RunRecord& record,
             const RunTally& tally, bool keepForJournal) {
    std::vector<Lane> writers;
    for (char16_t letter : WriterLetters(sources)) {
        auto panel = std::make_unique<MemoryPanel>(letter);
        panel->SetObserver(
            [&policy](MemoryPanel& p, const MemoryPanel::Update& u) { Answer(policy, p, u); });
        record.Watch(*panel);
        writers.push_back({letter, std::move(panel)});
    }
    if (record.reporting())
        record.SetRecorders(WriterLetters(sources));
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
    for (const std::u16string& note : record.notes())
        PrintLine(note);
    const WritingEnd end = WritingPageEnd(states, sources);
    const bool all = end.copyOutcome == 1;
    // A journal that still needs the image files keeps them.
    const bool keep = keepForJournal && !all;
    if (end.deleteImageFiles && !keep)
        DeleteImageFiles(made);
    PrintLine(EvaluatePanels(states).allFinished ? kWritingFinishedText : kWritingCancelledText);
    if (!all) {
        PrintRefusals(writers);
        PrintLeftOut(sources);
    }
    PrintLine(all ? kAllCopiedText : kNotAllCopiedText);
    if (keep) {
        Print(u"The image files are kept: vestrel-copy --resume " + policy.journal +
              u" makes the copies left.\n");
    }
    record.Report(ReportSummaryLine({tally.asked, tally.madeBefore + record.made(),
                                     record.attempts(), tally.started, UnixMillisecondsNow(), all,
                                     all ? kAllCopiedText : kNotAllCopiedText}));
    if (const std::u16string failure = record.failure(); !failure.empty()) {
        PrintLine(failure);
        return 1;
    }
    return all ? 0 : 1;
}

// The report's description of each source, its image data fingerprinted
// (the image files must be whole). Fails with the reason.
bool DescribeSources(const std::vector<SourceRecord>& sources, const std::vector<RunState>& read,
                     const std::vector<std::u16string>& imagePaths,
                     std::vector<ReportSource>& described, std::u16string& error) {
    for (size_t i = 0; i < sources.size(); ++i) {
        const SourceRecord& s = sources[i];
        ReportSource r;
        if (imagePaths.empty())
            r.drive = s.driveLetter;
        else
            r.image = imagePaths[i];
        r.label = s.volumeLabel;
        r.discType = s.discType;
        r.blocks = s.discBlocks;
        r.hiddenAudioUnread = s.hiddenAudioUnread;
        r.cdTextUnread = s.cdTextUnread;
        const bool wasRead = read.empty() || read[i] == RunState::Finished;
        if (!LeftOut(s) && !s.destinations.empty() && wasRead &&
            !ImageDataFingerprint(s, r.bytes, r.sha256, error))
            return false;
        described.push_back(std::move(r));
    }
    return true;
}

// A path that stays right whatever folder the run is resumed from.
std::u16string Absolute(const std::u16string& path) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(path), ec);
    return ec ? path : full.lexically_normal().u16string();
}

// The files a journal checks on resume: each image given and every file
// its cue sheet names.
std::vector<std::u16string> FilesOf(const std::vector<ImageSource>& images) {
    std::vector<std::u16string> files;
    auto add = [&](const std::u16string& path) {
        if (std::find(files.begin(), files.end(), path) == files.end())
            files.push_back(path);
    };
    for (const ImageSource& image : images) {
        add(Absolute(image.path));
        for (const ImageTrackPlace& place : image.places)
            add(Absolute(place.file));
    }
    return files;
}

// Starts a new journal with the run's plan: nothing is written to a
// recorder before it is on the disk. `ownImages`: the images were read from
// the run's source discs, and go once every copy is made.
bool StartJournal(const Policy& policy, const std::vector<ImageSource>& images,
                  const std::vector<MediaFamily>& media, bool ownImages, std::u16string& error) {
    Journal journal;
    journal.copies = static_cast<uint32_t>(policy.copies);
    journal.verify = policy.verify;
    journal.report = policy.report.empty() ? u"" : Absolute(policy.report);
    journal.ownImages = ownImages;
    for (const std::u16string& path : FilesOf(images)) {
        JournalFile f;
        f.path = path;
        uint32_t code = 0;
        if (!Fingerprint(path, f.size, f.sha256, code)) {
            error = FormatText(u"Cannot read %s (error %u).", {path, code});
            return false;
        }
        journal.files.push_back(std::move(f));
    }
    for (size_t i = 0; i < images.size(); ++i)
        journal.sources.push_back({MediaName(media[i]), Absolute(images[i].path)});
    DurableLines lines;
    uint32_t code = 0;
    if (!lines.Open(policy.journal, code) || !lines.Append(JournalPlanText(journal), code)) {
        error = FormatText(u"Cannot write the journal %s (error %u).", {policy.journal, code});
        return false;
    }
    return true;
}

// The image files a disc run kept for its journal, once every copy is made.
void DeleteJournalImages(const Journal& journal) {
    for (const JournalFile& f : journal.files) {
        uint32_t code = 0;
        ActiveFileSystem().RemoveFile(f.path, code);
        RemoveImageFolder(f.path);
    }
}

// A resumed run's image files must be those the run began with.
bool CheckJournalFiles(const Journal& journal, std::u16string& error) {
    for (const JournalFile& f : journal.files) {
        uint64_t size = 0;
        std::string sha256;
        uint32_t code = 0;
        if (!Fingerprint(f.path, size, sha256, code)) {
            error = FormatText(u"Cannot read %s (error %u).", {f.path, code});
            return false;
        }
        if (size != f.size || sha256 != f.sha256) {
            error = f.path + u" is not the file the run began with (its size or SHA-256 changed).";
            return false;
        }
    }
    return true;
}

// A disc run's journal: every source that was read and has recorders is
// kept as the image files the journal names (its ISO, or a cue sheet
// written beside its track files), so that the run can be resumed from
// them. `journalSources` gives each source's number in the journal, or
// kNotJournaled; `cueSheets` the cue sheets written.
bool JournalDiscSources(const Policy& policy, const std::vector<SourceRecord>& sources,
                        const std::vector<RunState>& states, std::vector<uint32_t>& journalSources,
                        std::vector<std::u16string>& cueSheets, std::u16string& error) {
    std::vector<ImageSource> images;
    std::vector<MediaFamily> media;
    for (size_t i = 0; i < sources.size(); ++i) {
        const SourceRecord& s = sources[i];
        journalSources.push_back(kNotJournaled);
        if (LeftOut(s) || s.destinations.empty() || states[i] != RunState::Finished ||
            s.tracks.empty())
            continue;
        const MediaFamily family = (s.discType & disc::CdTypes)    ? MediaFamily::Cd
                                   : (s.discType & disc::DvdTypes) ? MediaFamily::Dvd
                                   : (s.discType & disc::BdTypes)  ? MediaFamily::Bd
                                                                   : MediaFamily::Smallest;
        const std::u16string& first = s.tracks.front().imagePath;
        const std::u16string folder = first.substr(0, first.find_last_of(u"/\\") + 1);
        const bool oneFolder =
            std::all_of(s.tracks.begin(), s.tracks.end(), [&](const TrackRecord& t) {
                return t.imagePath.substr(0, t.imagePath.find_last_of(u"/\\") + 1) == folder;
            });
        if (family == MediaFamily::Smallest || !oneFolder) {
            Print(u"The journal cannot keep " + SourceName(s) +
                  u": its copies are made in this run only.\n");
            continue;
        }
        std::u16string path = first;
        if (s.tracks.size() > 1 || !s.tracks.front().isData) {
            BackupFiles files;
            files.cueSheet = folder + s.driveLetter + u".cue";
            if (!WriteBackupCueSheets(s, files, error))
                return false;
            cueSheets.push_back(files.cueSheet);
            path = files.cueSheet;
        }
        ImageSource image;
        if (!OpenImageSource(path, family, image, error))
            return false;
        journalSources.back() = static_cast<uint32_t>(images.size());
        images.push_back(std::move(image));
        media.push_back(family);
    }
    return StartJournal(policy, images, media, true, error);
}

int CopyToRecorders(const Policy& policy) {
    const uint32_t started = RealMilliseconds();
    const int64_t wallStarted = UnixMillisecondsNow();
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

    const std::vector<RunState> readStates = ReadAll(sources, policy, started);
    const ReadingOutcome reading = EvaluateReadingPanels(readStates, sources);
    if (!reading.nextEnabled) {
        DeleteImageFiles(sources);
        PrintLine(kReadingFailedText);
        PrintLeftOut(sources);
        PrintLine(kNotAllCopiedText);
        return 1;
    }
    PrintLine(reading.anyLeftOut ? kSomeSourcesLeftOutText : kReadingFinishedText);

    RunRecord record;
    std::u16string error;
    std::vector<uint32_t> journalSources;
    std::vector<std::u16string> cueSheets;
    auto deleteAll = [&] {
        DeleteImageFiles(sources);
        for (const std::u16string& cue : cueSheets) {
            uint32_t code = 0;
            ActiveFileSystem().RemoveFile(cue, code);
        }
    };
    if (!policy.journal.empty() &&
        (!JournalDiscSources(policy, sources, readStates, journalSources, cueSheets, error) ||
         !record.OpenJournal(policy.journal, error))) {
        deleteAll();
        PrintLine(error);
        return 1;
    }
    if (!policy.report.empty()) {
        std::vector<ReportSource> described;
        if (!DescribeSources(sources, readStates, {}, described, error) ||
            !record.OpenReport(policy.report, error)) {
            deleteAll();
            PrintLine(error);
            return 1;
        }
        record.SetSources(std::move(described), journalSources);
    } else {
        record.SetSources({}, journalSources);
    }
    const int result = WriteAll(policy, sources, sources, started, record,
                                {CopiesAsked(sources), 0, wallStarted}, !policy.journal.empty());
    if (result == 0 || policy.journal.empty()) {
        for (const std::u16string& cue : cueSheets) {
            uint32_t code = 0;
            ActiveFileSystem().RemoveFile(cue, code);
        }
    }
    return result;
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

// The lines of copies the journal lists as made that never reached the
// report: the run died in between. Read before the report is opened.
bool MissingReportLines(const std::u16string& path, const Journal& journal,
                        std::vector<std::string>& missing) {
    constexpr size_t kMaxReportBytes = size_t{256} << 20;
    std::string text;
    uint32_t code = 0;
    if (ActiveFileSystem().Exists(path) && !ReadSmallFile(path, kMaxReportBytes, text, code))
        return false;
    for (const JournalMade& m : journal.made) {
        if (!m.reportLine.empty() && text.find(m.reportLine) == std::string::npos)
            missing.push_back(m.reportLine);
    }
    return true;
}

// The image's source record with only the tracks it copies out taking
// room (those read in place take none), for planning their files.
SourceRecord CopiedOutTracks(const ImageSource& image) {
    SourceRecord record = image.record;
    for (size_t k = 0; k < record.tracks.size(); ++k) {
        if (image.places[k].inPlace)
            record.tracks[k].imageBytes = 0;
    }
    return record;
}

// --from-images: every image file checked first (a fault ends the run with
// one line naming the file and line, and nothing written); then each is
// planned over the recorders as a disc would be, the tracks that are not
// image files as the reader writes them are copied out into the image
// folder, and the writers record from them. Only the copied-out files are
// deleted afterwards; the person's files stay as they are. With a journal
// the plan is kept before anything is written; a resumed run (`resumed`)
// writes only the copies its journal does not list as made.
int CopyFromImages(const Policy& policy, const Journal* resumed) {
    const uint32_t started = RealMilliseconds();
    const int64_t wallStarted = UnixMillisecondsNow();
    std::u16string error;
    if (resumed && !CheckJournalFiles(*resumed, error)) {
        std::fprintf(stderr, "vestrel-copy: %s Nothing was written.\n", ToUtf8(error).c_str());
        return 2;
    }
    std::vector<ImageSource> images;
    for (size_t i = 0; i < policy.imageFiles.size(); ++i) {
        const std::u16string& path = policy.imageFiles[i];
        const MediaFamily media =
            i < policy.imageMedia.size() ? policy.imageMedia[i] : policy.media;
        ImageSource image;
        if (!OpenImageSource(path, media, image, error)) {
            std::fprintf(stderr, "vestrel-copy: %s\n", ToUtf8(error).c_str());
            return 2;
        }
        images.push_back(std::move(image));
    }
    if (!policy.journal.empty() && !resumed &&
        !StartJournal(policy, images, std::vector<MediaFamily>(images.size(), policy.media), false,
                      error)) {
        PrintLine(error);
        return 1;
    }

    // The copies each image still needs, and its number in the journal. The
    // files copied out of an image are named by that number, so that a
    // resumed run finds those its predecessor left: it replaces them, or
    // deletes them when the image needs no more copies.
    RunTally tally{static_cast<uint32_t>(policy.copies * images.size()), 0, wallStarted};
    std::vector<ImageSource> left;
    std::vector<uint32_t> journalSources;
    std::vector<SourceRecord> complete;
    for (size_t i = 0; i < images.size(); ++i) {
        const uint32_t made = resumed ? MadeCopies(*resumed, static_cast<uint32_t>(i)) : 0;
        const uint32_t wanted = static_cast<uint32_t>(policy.copies);
        tally.madeBefore += std::min(made, wanted);
        images[i].record.driveLetter = static_cast<char16_t>(u'A' + i);
        if (made >= wanted) {
            complete.push_back(CopiedOutTracks(images[i]));
            continue;
        }
        images[i].record.copies = wanted - made;
        left.push_back(std::move(images[i]));
        journalSources.push_back(static_cast<uint32_t>(i));
    }
    images = std::move(left);
    PlanImageFiles(complete);
    DeleteImageFiles(complete);
    std::vector<std::string> missing;
    if (resumed && !policy.report.empty() &&
        !MissingReportLines(policy.report, *resumed, missing)) {
        PrintLine(u"Cannot read the report " + policy.report + u".");
        return 1;
    }
    RunRecord record;
    if (!policy.report.empty() && !record.OpenReport(policy.report, error)) {
        PrintLine(error);
        return 1;
    }
    for (const std::string& line : missing)
        record.Report(line);
    if (resumed) {
        uint32_t copiesLeft = tally.asked - tally.madeBefore;
        Print(FormatText(u"Resuming %s: %u of %u copies made, %u left.\n",
                         {policy.journal, tally.madeBefore, tally.asked, copiesLeft}));
        record.Report(ReportResumeLine(policy.journal, copiesLeft, wallStarted));
        if (copiesLeft == 0) {
            record.Report(ReportSummaryLine({tally.asked, tally.madeBefore, 0, wallStarted,
                                             UnixMillisecondsNow(), true, kAllCopiedText}));
            if (resumed->ownImages)
                DeleteJournalImages(*resumed);
            PrintLine(kAllCopiedText);
            return 0;
        }
    }
    if (!policy.journal.empty() && !record.OpenJournal(policy.journal, error)) {
        PrintLine(error);
        return 1;
    }

    std::vector<SourceRecord> sources;
    for (const ImageSource& image : images)
        sources.push_back(image.record);
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
    std::vector<SourceRecord> made;
    for (size_t i = 0; i < sources.size(); ++i) {
        made.push_back(CopiedOutTracks(images[i]));
        made.back().destinations = sources[i].destinations;
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
            if (!CopyOutTrack(images[i].places[k], t, error)) {
                DeleteImageFiles(made);
                PrintLine(error);
                return 1;
            }
        }
    }
    if (record.reporting()) {
        std::vector<std::u16string> paths;
        for (const ImageSource& image : images)
            paths.push_back(Absolute(image.path));
        std::vector<ReportSource> described;
        if (!DescribeSources(sources, {}, paths, described, error)) {
            DeleteImageFiles(made);
            PrintLine(error);
            return 1;
        }
        record.SetSources(std::move(described), journalSources);
    } else {
        record.SetSources({}, journalSources);
    }
    {
        DriveLockGuard lock;
        SourceTable() = sources;
    }
    const int result = WriteAll(policy, sources, made, started, record, tally, false);
    if (result == 0 && resumed && resumed->ownImages)
        DeleteJournalImages(*resumed);
    return result;
}

// --images-only: every source disc read into files that stay in `folder`,
// with a cue sheet each (and a raw bin/cue image for discs with audio). No
// recorder takes part. Files already there are replaced only when the
// policy says so; otherwise nothing is touched.
int BackUpAll(const Policy& policy, const std::u16string& folder) {
    const uint32_t started = RealMilliseconds();
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

// The journal's plan taken into the policy for a resumed run.
bool LoadJournal(Policy& policy, Journal& journal) {
    constexpr size_t kMaxJournalBytes = 16 << 20;
    std::string text, error;
    uint32_t code = 0;
    if (!ReadSmallFile(policy.journal, kMaxJournalBytes, text, code)) {
        std::fprintf(stderr, "vestrel-copy: cannot read the journal %s (error %u)\n",
                     ToUtf8(policy.journal).c_str(), code);
        return false;
    }
    if (!ParseJournal(text, journal, error)) {
        std::fprintf(stderr, "vestrel-copy: %s:%s\n", ToUtf8(policy.journal).c_str(),
                     error.c_str());
        return false;
    }
    policy.copies = static_cast<int>(journal.copies);
    policy.verify = journal.verify;
    policy.report = journal.report;
    for (const JournalSource& source : journal.sources) {
        policy.imageFiles.push_back(source.image);
        policy.imageMedia.push_back(MediaFromName(source.media));
    }
    return true;
}

// The run the options ask for.
int CopyAll(Policy policy) {
    if (!policy.imagesFolder.empty())
        return BackUpAll(policy, policy.imagesFolder);
    if (policy.resume) {
        Journal journal;
        if (!LoadJournal(policy, journal))
            return 2;
        return CopyFromImages(policy, &journal);
    }
    if (!policy.imageFiles.empty())
        return CopyFromImages(policy, nullptr);
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
    bool copiesGiven = false;
    bool quickClock = false;
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
            copiesGiven = true;
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
        } else if (arg == "--report") {
            policy.report = FromUtf8(value());
            if (policy.report.empty())
                return Usage("--report needs a file");
        } else if (arg == "--journal" || arg == "--resume") {
            if (!policy.journal.empty())
                return Usage("--journal and --resume are given once, and not together");
            policy.journal = FromUtf8(value());
            policy.resume = arg == "--resume";
            if (policy.journal.empty())
                return Usage(policy.resume ? "--resume needs a journal" : "--journal needs a file");
        } else if (arg == "--verify") {
            policy.verify = true;
        } else if (arg == "--quick-clock") {
            quickClock = true;
        } else if (arg == "--quiet") {
            policy.quiet = true;
        } else {
            return Usage(("unknown option " + std::string(arg)).c_str());
        }
    }
    if (policy.resume && (mediaGiven || copiesGiven || policy.verify || !policy.report.empty() ||
                          !policy.imageFiles.empty() || !policy.imagesFolder.empty()))
        return Usage("--resume takes the run's options from its journal");
    if (!policy.resume && !policy.journal.empty()) {
        if (!policy.imagesFolder.empty())
            return Usage("--journal goes with copies, not with --images-only");
        // An empty one is left by a run that died before it wrote its plan.
        uint32_t code = 0;
        uint64_t size = 0;
        std::unique_ptr<File> existing = ActiveFileSystem().OpenRead(policy.journal, code);
        if (existing && (!existing->Size(size) || size > 0))
            return Usage("the journal file exists: give --resume to take its run up again");
    }
    if (mediaGiven && policy.imageFiles.empty())
        return Usage("--media goes with --from-images");
    if (policy.imageFiles.size() > 26)
        return Usage("--from-images takes at most 26 image files");
    if (!policy.imageFiles.empty() && !policy.imagesFolder.empty())
        return Usage("--from-images and --images-only exclude each other");
    if (simFile && simDefault)
        return Usage("--sim and --sim-default exclude each other");
    if ((finishedFolder || quickClock) && !simFile && !simDefault)
        return Usage("--finished and --quick-clock need a simulated bay");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!simFile && !simDefault)
        return CopyAll(policy);

    // Before the bay, whose operator keeps time from its start.
    std::optional<sim::QuickClock> clock;
    if (quickClock)
        clock.emplace();
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
