// vestrel-bench: how fast the reader and the writers move bytes, measured
// side by side with plain copies in the same run, and how much memory a
// large run needs. Prints ratios; it is not a test.
//
//   vestrel-bench [--megabytes N]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "drive/drive_lock.h"
#include "drive/file_system.h"
#include "drive/source_table.h"
#include "drive/text.h"
#include "engine/image_files.h"
#include "engine/image_source.h"
#include "engine/image_store.h"
#include "engine/memory_panel.h"
#include "engine/reader_thread.h"
#include "engine/source_layout.h"
#include "engine/writer_thread.h"
#include "simulator/simulator.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void WriteRandomFile(const fs::path& path, size_t bytes) {
    std::mt19937_64 random(7);
    std::vector<uint64_t> block(65536 / 8);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (size_t done = 0; done < bytes; done += 65536) {
        for (uint64_t& v : block)
            v = random();
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(std::min<size_t>(65536, bytes - done)));
    }
}

// A plain file-to-file copy in 51200-byte blocks: the yardstick.
double PlainCopySeconds(const fs::path& from, const fs::path& to) {
    uint32_t error = 0;
    FileSystem& files = ActiveFileSystem();
    auto start = Clock::now();
    auto in = files.OpenRead(from.u16string(), error);
    auto out = files.CreateNew(to.u16string(), error);
    std::vector<uint8_t> buffer(51200);
    while (size_t n = in->Read(buffer.data(), buffer.size(), error)) {
        out->Write(buffer.data(), n, error);
    }
    out.reset();
    auto end = Clock::now();
    fs::remove(to);
    return Seconds(start, end);
}

// Times between a panel's status changes, kept per panel.
struct Stopwatch {
    std::mutex mutex;
    std::map<char16_t, std::vector<std::pair<std::u16string, Clock::time_point>>> marks;

    void Watch(MemoryPanel& panel, char16_t letter) {
        panel.SetObserver([this, letter](MemoryPanel&, const MemoryPanel::Update& u) {
            std::lock_guard lock(mutex);
            marks[letter].push_back({u.status, Clock::now()});
        });
    }
    // When the first status starting with `prefix` was shown.
    Clock::time_point When(char16_t letter, std::u16string_view prefix) {
        std::lock_guard lock(mutex);
        for (auto& [status, when] : marks[letter]) {
            if (status.rfind(prefix, 0) == 0)
                return when;
        }
        return {};
    }
};

using Panels = std::vector<std::unique_ptr<MemoryPanel>>;

// Starts `body` on a panel of its own for the drive `letter`.
void StartOnPanel(Panels& panels, char16_t letter, uint32_t first, Stopwatch* watch,
                  void (*body)(ThreadStartBlock&)) {
    panels.push_back(std::make_unique<MemoryPanel>(letter));
    if (watch)
        watch->Watch(*panels.back(), letter);
    ThreadStartBlock block;
    block.first = first;
    block.panel = panels.back().get();
    StartWorker(block, body);
}

// Waits for every worker; true when each of them finished.
bool AllFinished(const Panels& panels) {
    JoinAllWorkers();
    return std::all_of(panels.begin(), panels.end(),
                       [](const auto& p) { return p->GetRunState() == RunState::Finished; });
}

std::string Bay(const std::string& timing, const std::string& sources, int recorders,
                const std::string& blank) {
    std::string text = "timing = " + timing + "\n" + sources;
    std::string op = "[operator]\nblank-delay = 20\ntake-finished = yes\n";
    for (int r = 0; r < recorders; ++r) {
        char letter = static_cast<char>('L' + r);
        text +=
            std::string("[drive ") + letter + "]\nmodel = dvd-rw-dl-recorder\nbecoming-ready = 0\n";
        op += std::string("blank = ") + letter + " " + blank + "\n";
    }
    return text + op;
}

std::string Sources(int count, const std::string& iso) {
    std::string text = "[disc source]\niso = " + iso + "\ntype = DVD-ROM\n";
    for (int s = 0; s < count; ++s) {
        char letter = static_cast<char>('D' + s);
        text += std::string("[drive ") + letter +
                "]\nmodel = dvd-rom-reader\ndisc = source\nbecoming-ready = 0\n";
    }
    return text;
}

// Reads every source of the bay into image files; returns the table.
bool ReadAll(const fs::path& images, int sources, Stopwatch* watch) {
    std::vector<SourceRecord> table;
    for (int s = 0; s < sources; ++s) {
        SourceRecord r;
        r.driveLetter = static_cast<char16_t>(u'D' + s);
        r.discType = disc::DvdRom;
        if (ReadSourceLayout(r) != LayoutOutcome::Read)
            return false;
        std::u16string folder = images.u16string() + kPathSeparator;
        for (size_t i = 0; i < r.tracks.size(); ++i) {
            r.tracks[i].imagePath =
                ImageFileName(folder, r.driveLetter, static_cast<uint32_t>(i), true);
        }
        table.push_back(r);
    }
    {
        DriveLockGuard lock;
        SourceTable() = table;
    }
    Panels panels;
    for (int s = 0; s < sources; ++s)
        StartOnPanel(panels, table[s].driveLetter, static_cast<uint32_t>(s), watch, ReaderThread);
    return AllFinished(panels);
}

// Writes `copies` copies of every source on each of `recorders` recorders.
bool WriteAll(int recorders, int copiesEach, Stopwatch* watch) {
    {
        DriveLockGuard lock;
        for (size_t s = 0; s < SourceTable().size(); ++s) {
            SourceTable()[s].destinations.clear();
            for (int r = 0; r < recorders; ++r) {
                if (static_cast<int>(r % SourceTable().size()) == static_cast<int>(s)) {
                    SourceTable()[s].destinations.push_back(
                        {static_cast<char16_t>(u'L' + r), static_cast<uint32_t>(copiesEach)});
                }
            }
        }
    }
    Panels panels;
    for (int r = 0; r < recorders; ++r) {
        const char16_t letter = static_cast<char16_t>(u'L' + r);
        StartOnPanel(panels, letter, letter, watch, WriterThread);
    }
    return AllFinished(panels);
}

// One copy of the ISO file `iso`, opened as vestrel-copy --from-images
// opens it (onto DVD blanks, as the disc), on each of `recorders`
// recorders; its tracks are read in place.
bool WriteFromImage(const fs::path& iso, int recorders, Stopwatch* watch) {
    std::vector<ImageSource> images(1);
    std::u16string error;
    if (!OpenImageSource(iso.u16string(), MediaFamily::Dvd, images.front(), error)) {
        std::fprintf(stderr, "%s\n", ToUtf8(error).c_str());
        return false;
    }
    {
        DriveLockGuard lock;
        SourceTable() = ImageSourceRecords(images, 1);
    }
    return WriteAll(recorders, 1, watch);
}

// How recorders writing at once fared: from the first one starting to
// write its track to the last one finishing it; the longest any one of
// them took over its own; how far apart the first and last started.
struct Together {
    double span = 0;
    double slowest = 0;
    double startSpread = 0;
};

// One copy on each of `n` recorders writing at their real speed, all at
// once, of the disc holding `iso` (read into image files first) or of the
// ISO file itself. Nothing when the run failed.
std::optional<Together> RecordersAtOnce(const fs::path& work, const fs::path& iso, int n,
                                        bool fromImage) {
    sim::Simulator simulator;
    std::string error;
    const std::string sources = fromImage ? "" : Sources(1, iso.string());
    if (!simulator.LoadText(Bay("real", sources, n, "DVD-R"), work, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return std::nullopt;
    }
    simulator.Install();
    Stopwatch watch;
    const bool done = fromImage ? WriteFromImage(iso, n, &watch)
                                : ReadAll(work / "images", 1, nullptr) && WriteAll(n, 1, &watch);
    if (!done)
        return std::nullopt;
    Clock::time_point firstStart = Clock::time_point::max(), lastStart{}, lastEnd{};
    Together together;
    for (int r = 0; r < n; ++r) {
        const char16_t letter = static_cast<char16_t>(u'L' + r);
        const Clock::time_point start = watch.When(letter, u"Writing track");
        const Clock::time_point end = watch.When(letter, u"Synchronising");
        firstStart = std::min(firstStart, start);
        lastStart = std::max(lastStart, start);
        lastEnd = std::max(lastEnd, end);
        together.slowest = std::max(together.slowest, Seconds(start, end));
    }
    together.span = Seconds(firstStart, lastEnd);
    together.startSpread = Seconds(firstStart, lastStart);
    // The image files the reader made; an ISO file given stays.
    if (!fromImage)
        DeleteImageFiles(SourceTable());
    simulator.Uninstall();
    return together;
}

// Lines for `n` recorders at once: their throughput together and its ratio
// to `n` times that of one recorder alone (`one`); then, for several, the
// slowest one's own writing against one alone, and their starts' spread,
// which the span together includes.
void PrintTogether(int n, size_t megabytes, const Together& t, const Together& one, double goal) {
    std::printf("%d recorder%s at once: %7.2f MiB/s together  ratio to %d x one: %.2f", n,
                n == 1 ? " " : "s", n * static_cast<double>(megabytes) / t.span, n,
                one.span / t.span);
    if (n == 1) {
        std::printf("\n");
        return;
    }
    std::printf(" (goal >= %g)\n", goal);
    std::printf("    slowest recorder's own track: %.2f x one alone; starts %.2f s apart\n",
                one.span / t.slowest, t.startSpread);
}

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int MemoryRun(const fs::path& work, size_t bytes) {
    fs::path iso = work / "source.iso";
    if (!fs::exists(iso))
        WriteRandomFile(iso, bytes);
    sim::Simulator simulator;
    std::string error;
    if (!simulator.LoadText(Bay("instant", Sources(4, iso.string()), 8, "DVD-R"), work, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    simulator.Install();
    fs::create_directories(work / "images");
    if (!ReadAll(work / "images", 4, nullptr) || !WriteAll(8, 1, nullptr)) {
        std::fprintf(stderr, "the run did not finish\n");
        return 1;
    }
    DeleteImageFiles(SourceTable());
    std::printf("%ld\n", PeakResidentKiB());
    return 0;
}

int Bench(const char* self, size_t megabytes) {
    const size_t bytes = megabytes * 1024 * 1024;
    fs::path work = fs::temp_directory_path() / ("vestrel-bench-" + std::to_string(getpid()));
    fs::create_directories(work / "images");
    fs::path iso = work / "source.iso";
    WriteRandomFile(iso, bytes);
    std::printf("Source: %zu MiB of data on a simulated DVD-ROM\n\n", megabytes);

    // Reader and writer against instant drives, each beside a plain copy of
    // the file it reads from (the source image, then the image file just
    // read), taken right before it. Each is timed in several interleaved
    // rounds and the best round counts, so that a moment of load on the
    // machine does not decide the ratio.
    const int rounds = 5;
    double plainRead = 1e9, plainWrite = 1e9, read = 1e9, write = 1e9;
    for (int round = 0; round < rounds; ++round) {
        sim::Simulator simulator;
        std::string error;
        if (!simulator.LoadText(Bay("instant", Sources(1, iso.string()), 1, "DVD-R"), work,
                                error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        simulator.Install();
        Stopwatch watch;
        plainRead = std::min(plainRead, PlainCopySeconds(iso, work / "plain.bin"));
        if (!ReadAll(work / "images", 1, &watch))
            return 1;
        read = std::min(read,
                        Seconds(watch.When(u'D', u"Reading track"), watch.When(u'D', u"Finished")));
        const std::u16string image = SourceTable().front().tracks.front().imagePath;
        plainWrite = std::min(plainWrite, PlainCopySeconds(image, work / "plain.bin"));
        if (!WriteAll(1, 1, &watch))
            return 1;
        write = std::min(
            write, Seconds(watch.When(u'L', u"Writing track"), watch.When(u'L', u"Synchronising")));
        DeleteImageFiles(SourceTable());
        simulator.Uninstall();
    }
    std::printf("Best of %d rounds each; plain copies in 51200-byte blocks:\n", rounds);
    std::printf("Plain copy of the source image:     %8.1f MiB/s\n", megabytes / plainRead);
    std::printf("Reader (instant drive):             %8.1f MiB/s  ratio %.2f (goal >= 0.8)\n",
                megabytes / read, plainRead / read);
    std::printf("Plain copy of the image file:       %8.1f MiB/s\n", megabytes / plainWrite);
    std::printf("Writer (instant drive):             %8.1f MiB/s  ratio %.2f (goal >= 0.8)\n\n",
                megabytes / write, plainWrite / write);

    // Recorders at a fixed speed, working at once: copies of a disc read
    // into image files first, then copies of the same data given as an ISO
    // file. Each is set against the first line of its kind, one recorder.
    for (const bool fromImage : {false, true}) {
        std::printf("%s\n", fromImage ? "Copies from an ISO file:" : "Copies of a disc:");
        Together one;
        for (int n : fromImage ? std::vector<int>{1, 8} : std::vector<int>{1, 2, 4, 8}) {
            const std::optional<Together> together = RecordersAtOnce(work, iso, n, fromImage);
            if (!together)
                return 1;
            if (n == 1)
                one = *together;
            PrintTogether(n, megabytes, *together, one, fromImage ? 0.95 : 0.9);
        }
    }

    // Memory of a large run, in a process of its own.
    std::string command = std::string(self) + " --memory-run " + work.string() + " " +
                          std::to_string(megabytes) + " > " + (work / "rss.txt").string();
    long kib = 0;
    if (std::system(command.c_str()) == 0) {
        std::ifstream in(work / "rss.txt");
        in >> kib;
    }
    std::printf("\nPeak resident memory, 4 sources and 8 recorders: %.1f MB (goal < 64 MB)\n",
                kib / 1024.0);
    fs::remove_all(work);
    return 0;
}

}  // namespace
}  // namespace vestrel

int main(int argc, char** argv) {
    using namespace vestrel;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc == 4 && std::string(argv[1]) == "--memory-run") {
        return MemoryRun(argv[2], std::strtoul(argv[3], nullptr, 10) * 1024 * 1024);
    }
    size_t megabytes = 64;
    if (argc == 3 && std::string(argv[1]) == "--megabytes") {
        megabytes = std::strtoul(argv[2], nullptr, 10);
    }
    if (megabytes == 0) {
        std::fprintf(stderr, "usage: vestrel-bench [--megabytes N]\n");
        return 2;
    }
    return Bench(argv[0], megabytes);
}
