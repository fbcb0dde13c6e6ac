#include "simulator/simulator.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <utility>

#include "drive/clock.h"
#include "drive/text.h"

namespace vestrel::sim {

namespace fs = std::filesystem;

namespace {

bool Due(uint32_t now, uint32_t due) {
    return static_cast<int32_t>(now - due) >= 0;
}

std::string LetterText(char16_t letter) {
    return std::string(1, static_cast<char>(letter)) + ":";
}

uint64_t BytesUnder(const fs::path& folder) {
    uint64_t total = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError))
            total += it->file_size(sizeError);
    }
    return total;
}

bool IsUnder(const fs::path& path, const fs::path& folder) {
    auto p = path.lexically_normal().generic_string();
    auto f = folder.lexically_normal().generic_string();
    return !f.empty() && p.compare(0, f.size(), f) == 0 &&
           (p.size() == f.size() || p[f.size()] == '/' || f.back() == '/');
}

}  // namespace

Simulator::Simulator() {
    std::string error;
    ParseDescription(BuiltInModels(), {}, description_, error);
}

Simulator::~Simulator() {
    StopOperator();
    Uninstall();
    drives_.clear();
    finished_.clear();
    if (ownsWorkFolder_) {
        std::error_code ec;
        fs::remove_all(workFolder_, ec);
    }
}

bool Simulator::LoadFile(const fs::path& file, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot open " + file.string();
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!LoadText(text.str(), file.parent_path(), error)) {
        error = file.string() + ": " + error;
        return false;
    }
    return true;
}

bool Simulator::LoadText(std::string_view text, const fs::path& baseFolder, std::string& error) {
    if (!drives_.empty()) {
        error = "the bay is already built";
        return false;
    }
    if (!ParseDescription(text, baseFolder, description_, error))
        return false;
    std::error_code ec;
    if (description_.workFolder.empty()) {
        std::random_device random;
        std::ostringstream name;
        name << "vestrel-sim-" << std::hex << random() << random();
        workFolder_ = fs::temp_directory_path(ec) / name.str();
        ownsWorkFolder_ = true;
    } else {
        workFolder_ = description_.workFolder;
    }
    fs::create_directories(workFolder_, ec);
    if (ec) {
        error = "cannot create the work folder " + workFolder_.string();
        return false;
    }
    if (description_.appDataFolder.empty())
        description_.appDataFolder = workFolder_ / "appdata";
    fs::create_directories(description_.appDataFolder, ec);
    if (!SetFinishedFolder(description_.op.finishedFolder, error))
        return false;

    startTick_ = ActiveClock().TickCount();
    for (const DriveEntry& entry : description_.drives) {
        DriveOptions options;
        options.becomingReadyMs = entry.becomingReadyMs;
        options.instant = entry.instant.value_or(description_.instant);
        options.openFails = entry.openFails;
        options.passThroughError = entry.passThroughError;
        options.faults = entry.faults;
        auto drive = std::make_unique<VirtualDrive>(entry.letter,
                                                    *description_.FindModel(entry.model), options);
        std::unique_ptr<Disc> disc;
        if (!entry.disc.empty()) {
            disc = MakeDisc(entry.disc, error);
            if (!disc) {
                error = "drive " + LetterText(entry.letter) + " " + error;
                return false;
            }
        }
        drive->Preload(std::move(disc), entry.trayOpen);
        drives_[entry.letter] = std::move(drive);
        attached_[entry.letter] = true;
    }
    for (const LoadStep& step : description_.op.loads) {
        if (!drives_.count(step.letter)) {
            error = "operator: no drive " + LetterText(step.letter);
            return false;
        }
        actions_.push_back(
            Action{startTick_ + step.afterMs, step.letter, ActionKind::InsertDisc, 0, step.disc});
    }
    for (FolderEntry& f : description_.folders) {
        if (f.path.empty())
            f.path = workFolder_ / (std::string("drive-") + static_cast<char>(f.letter));
        fs::create_directories(f.path, ec);
        if (ec) {
            error = "cannot create the folder " + f.path.string();
            return false;
        }
    }
    return true;
}

void Simulator::Install() {
    InstallTransport(this);
    InstallDriveLetters(this);
    installed_ = true;
}

void Simulator::Uninstall() {
    if (!installed_)
        return;
    InstallTransport(nullptr);
    InstallDriveLetters(nullptr);
    installed_ = false;
}

VirtualDrive* Simulator::Drive(char16_t letter) {
    auto it = drives_.find(letter);
    return it == drives_.end() ? nullptr : it->second.get();
}

std::vector<char16_t> Simulator::OpticalLetters() const {
    std::vector<char16_t> letters;
    std::lock_guard lock(mutex_);
    for (const auto& [letter, attached] : attached_) {
        if (attached)
            letters.push_back(letter);
    }
    return letters;
}

// --- Transport ---------------------------------------------------------------

ScsiResult Simulator::Execute(const ScsiCommand& command) {
    Pump();
    VirtualDrive* drive = Drive(command.letter);
    bool attached = false;
    {
        std::lock_guard lock(mutex_);
        auto it = attached_.find(command.letter);
        attached = drive && it != attached_.end() && it->second;
    }
    if (!attached) {
        ScsiResult r;
        r.status = StatusOpenFailed;
        r.osError = 2;
        return r;
    }
    ScsiResult result = drive->Execute(command);
    std::vector<VolumeEvent> events;
    AfterTrayChanges(command.letter, events);
    Deliver(events);
    return result;
}

bool Simulator::AllowMediumRemoval(char16_t letter) {
    Pump();
    VirtualDrive* drive = Drive(letter);
    const DriveEntry* entry = nullptr;
    for (const DriveEntry& s : description_.drives) {
        if (s.letter == letter)
            entry = &s;
    }
    if (!drive || (entry && (entry->openFails || entry->passThroughError)))
        return false;
    return drive->AllowRemoval();
}

void Simulator::EjectMedium(char16_t letter) {
    Pump();
    OpenTray(letter);
}

// --- trays, discs and events -------------------------------------------------

bool Simulator::OpenTray(char16_t letter) {
    VirtualDrive* drive = Drive(letter);
    if (!drive)
        return false;
    bool opened = drive->OpenTray();
    std::vector<VolumeEvent> events;
    AfterTrayChanges(letter, events);
    Deliver(events);
    return opened;
}

void Simulator::CloseTray(char16_t letter) {
    VirtualDrive* drive = Drive(letter);
    if (!drive)
        return;
    drive->CloseTray();
    std::vector<VolumeEvent> events;
    AfterTrayChanges(letter, events);
    Deliver(events);
}

bool Simulator::InsertDisc(char16_t letter, std::unique_ptr<Disc> disc) {
    VirtualDrive* drive = Drive(letter);
    return drive && drive->InsertDisc(std::move(disc));
}

std::unique_ptr<Disc> Simulator::RemoveDisc(char16_t letter) {
    VirtualDrive* drive = Drive(letter);
    return drive ? drive->RemoveDisc() : nullptr;
}

bool Simulator::LoadDisc(char16_t letter, std::unique_ptr<Disc> disc) {
    VirtualDrive* drive = Drive(letter);
    if (!drive || !disc)
        return false;
    if (!drive->State().trayOpen && !OpenTray(letter))
        return false;
    drive->RemoveDisc();
    drive->InsertDisc(std::move(disc));
    CloseTray(letter);
    return true;
}

std::unique_ptr<Disc> Simulator::MakeBlank(uint16_t profile) {
    uint64_t serial = 0;
    {
        std::lock_guard lock(mutex_);
        serial = ++discSerial_;
    }
    auto disc = Disc::Blank(profile, workFolder_ / ("disc-" + std::to_string(serial) + ".img"));
    disc->name = ProfileName(profile) + " blank";
    return disc;
}

std::unique_ptr<Disc> Simulator::MakeDisc(std::string_view name, std::string& error) {
    const DiscEntry* entry = description_.FindDisc(name);
    if (!entry) {
        error = "unknown disc '" + std::string(name) + "'";
        return nullptr;
    }
    std::unique_ptr<Disc> disc;
    switch (entry->source) {
        case DiscSource::Iso:
            disc = Disc::FromIso(entry->image, entry->profile, error);
            break;
        case DiscSource::Cue:
            disc = Disc::FromCue(entry->image, error);
            break;
        case DiscSource::Blank:
            disc = MakeBlank(entry->profile);
            if (entry->formatted && disc->rules().takesFormat())
                disc->Format();
            break;
        case DiscSource::Used:
            disc = MakeBlank(entry->profile);
            if (!disc->MarkUsed(entry->image, entry->usedBlocks, error))
                return nullptr;
            break;
    }
    if (!disc)
        return nullptr;
    disc->name = entry->name;
    disc->faults = entry->faults;
    return disc;
}

bool Simulator::DetachDrive(char16_t letter) {
    {
        std::lock_guard lock(mutex_);
        auto it = attached_.find(letter);
        if (it == attached_.end() || !it->second)
            return false;
        it->second = false;
    }
    Log(LetterText(letter) + " device removed");
    Deliver({VolumeEvent{VolumeEventKind::DeviceRemoval, letter}});
    return true;
}

bool Simulator::AttachDrive(char16_t letter) {
    {
        std::lock_guard lock(mutex_);
        if (!drives_.count(letter) || attached_[letter])
            return false;
        attached_[letter] = true;
    }
    Log(LetterText(letter) + " device arrived");
    Deliver({VolumeEvent{VolumeEventKind::DeviceArrival, letter}});
    return true;
}

void Simulator::Subscribe(EventSink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void Simulator::Deliver(const std::vector<VolumeEvent>& events) {
    if (events.empty())
        return;
    EventSink sink;
    {
        std::lock_guard lock(mutex_);
        sink = sink_;
    }
    if (!sink)
        return;
    for (const VolumeEvent& e : events)
        sink(e);
}

void Simulator::Log(const std::string& line) {
    uint32_t now = ActiveClock().TickCount();
    std::lock_guard lock(mutex_);
    log_.push_back("[+" + std::to_string(now - startTick_) + " ms] " + line);
}

// Turns the drive's tray movements into volume events and the operator's
// reactions.
void Simulator::AfterTrayChanges(char16_t letter, std::vector<VolumeEvent>& out) {
    VirtualDrive* drive = Drive(letter);
    if (!drive)
        return;
    const OperatorPolicy& op = description_.op;
    for (const TrayEvent& e : drive->TakeTrayEvents()) {
        uint32_t now = ActiveClock().TickCount();
        if (!e.opened) {
            if (e.discInside) {
                std::lock_guard lock(mutex_);
                actions_.push_back(Action{e.readyAt, letter, ActionKind::ArriveMedia, 0, {}});
            }
            continue;
        }
        bool announced = false;
        {
            std::lock_guard lock(mutex_);
            // A disc that leaves before it became ready never arrived.
            auto pending = std::find_if(actions_.begin(), actions_.end(), [&](const Action& a) {
                return a.letter == letter && a.kind == ActionKind::ArriveMedia;
            });
            announced = e.discInside && pending == actions_.end();
            std::erase_if(actions_, [&](const Action& a) {
                return a.letter == letter && a.kind == ActionKind::ArriveMedia;
            });
        }
        if (announced)
            out.push_back(VolumeEvent{VolumeEventKind::MediaRemoval, letter});

        if (op.takeFinished && e.discInside) {
            bool finishedCopy = drive->WithDisc([&](Disc* d) {
                return d && d->recordedBy == letter && d->status() != DiscStatus::Empty;
            });
            if (finishedCopy) {
                std::unique_ptr<Disc> disc = drive->RemoveDisc();
                if (disc) {
                    const std::string what =
                        LetterText(letter) + " took out the finished copy (" +
                        ProfileName(disc->profile()) + ", written at " +
                        std::to_string(disc->writtenAt) + " kB/s" +
                        (disc->metadata.cdTextPacks.empty() ? ")" : ", with CD-Text)");
                    FinishedCopy copy{letter, std::move(disc), {}};
                    std::string error;
                    if (!KeepFinished(copy, error))
                        Log(what + " but could not keep it: " + error);
                    else if (copy.files.empty())
                        Log(what);
                    else if (copy.files.size() == 1)
                        Log(what + " and kept it as " + copy.files[0].string());
                    else
                        Log(what + " and kept it as " + copy.files[0].string() + " with " +
                            copy.files[1].filename().string());
                    std::lock_guard lock(mutex_);
                    finished_.push_back(std::move(copy));
                }
            }
        }
        std::lock_guard lock(mutex_);
        auto blank = op.blanks.find(letter);
        if (blank != op.blanks.end()) {
            actions_.push_back(
                Action{now + op.blankDelayMs, letter, ActionKind::InsertBlank, blank->second, {}});
        } else if (op.closeTraysAfterMs) {
            actions_.push_back(
                Action{now + *op.closeTraysAfterMs, letter, ActionKind::Close, 0, {}});
        }
    }
}

void Simulator::RunAction(const Action& a, std::vector<VolumeEvent>& events) {
    VirtualDrive* drive = Drive(a.letter);
    if (!drive)
        return;
    DriveState state = drive->State();
    switch (a.kind) {
        case ActionKind::ArriveMedia:
            events.push_back(VolumeEvent{VolumeEventKind::MediaArrival, a.letter});
            return;
        case ActionKind::Close:
            if (state.trayOpen) {
                drive->CloseTray();
                Log(LetterText(a.letter) + " closed the tray");
            }
            break;
        case ActionKind::InsertBlank:
            if (!state.trayOpen)
                return;
            if (!state.hasDisc) {
                drive->InsertDisc(MakeBlank(a.profile));
                drive->CloseTray();
                Log(LetterText(a.letter) + " put in a blank " + ProfileName(a.profile) +
                    " and closed the tray");
            } else {
                drive->CloseTray();
                Log(LetterText(a.letter) + " closed the tray over the disc already in it");
            }
            break;
        case ActionKind::InsertDisc: {
            std::string error;
            std::unique_ptr<Disc> disc = MakeDisc(a.disc, error);
            if (!disc) {
                Log(LetterText(a.letter) + " could not load " + a.disc + ": " + error);
                return;
            }
            if (!state.trayOpen && !drive->OpenTray()) {
                Log(LetterText(a.letter) + " could not open the tray (removal prevented)");
                return;
            }
            AfterTrayChanges(a.letter, events);
            drive->RemoveDisc();
            drive->InsertDisc(std::move(disc));
            drive->CloseTray();
            Log(LetterText(a.letter) + " loaded " + a.disc + " and closed the tray");
            break;
        }
    }
    AfterTrayChanges(a.letter, events);
}

void Simulator::Pump() {
    std::vector<VolumeEvent> events;
    {
        std::unique_lock pumping(pumpMutex_, std::try_to_lock);
        if (!pumping.owns_lock())
            return;  // another thread (or this one, further up) is at it
        for (int round = 0; round < 100; ++round) {
            std::vector<Action> due;
            uint32_t now = ActiveClock().TickCount();
            {
                std::lock_guard lock(mutex_);
                auto split =
                    std::stable_partition(actions_.begin(), actions_.end(),
                                          [&](const Action& a) { return !Due(now, a.due); });
                due.assign(std::make_move_iterator(split), std::make_move_iterator(actions_.end()));
                actions_.erase(split, actions_.end());
            }
            if (due.empty())
                break;
            for (const Action& a : due)
                RunAction(a, events);
        }
    }
    Deliver(events);
}

void Simulator::StartOperator() {
    if (operatorThread_.joinable())
        return;
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = false;
    }
    operatorThread_ = std::thread([this] {
        std::unique_lock lock(stopMutex_);
        while (!stopping_) {
            lock.unlock();
            Pump();
            lock.lock();
            stopSignal_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stopping_; });
        }
    });
}

void Simulator::StopOperator() {
    if (!operatorThread_.joinable())
        return;
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    operatorThread_.join();
}

std::vector<std::string> Simulator::OperatorLog() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<FinishedCopy> Simulator::TakeFinishedCopies() {
    std::lock_guard lock(mutex_);
    return std::exchange(finished_, {});
}

bool Simulator::SetFinishedFolder(const fs::path& folder, std::string& error) {
    std::error_code ec;
    if (!folder.empty())
        fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create the folder for finished copies " + folder.string();
        return false;
    }
    description_.op.finishedFolder = folder;
    return true;
}

// A CD with audio (or with several tracks) becomes a cue sheet and its
// BINARY file, any other disc an ISO of its data. Names carry the recorder
// and the first number no file in the folder has yet, so no copy replaces
// another, nor a file from an earlier run.
bool Simulator::KeepFinished(FinishedCopy& copy, std::string& error) {
    const fs::path& folder = description_.op.finishedFolder;
    if (folder.empty())
        return true;
    Disc& disc = *copy.disc;
    const bool cueBin =
        disc.rules().family == MediaFamily::Cd &&
        (disc.tracks().size() > 1 || std::any_of(disc.tracks().begin(), disc.tracks().end(),
                                                 [](const DiscTrack& t) { return t.audio; }));
    const std::vector<std::string> extensions =
        cueBin ? std::vector<std::string>{".cue", ".bin"} : std::vector<std::string>{".iso"};
    constexpr uint32_t kMaxNumber = 9999;
    std::vector<fs::path> files;
    for (uint32_t n = 1; n <= kMaxNumber && files.empty(); ++n) {
        const std::string stem =
            std::string(1, static_cast<char>(copy.recorder)) + "-copy" + std::to_string(n);
        std::error_code ec;
        bool taken = false;
        for (const char* ext : {".iso", ".cue", ".bin"})
            taken = taken || fs::exists(folder / (stem + ext), ec);
        if (taken)
            continue;
        for (const std::string& ext : extensions)
            files.push_back(folder / (stem + ext));
    }
    if (files.empty()) {
        error = "every name for it is taken in " + folder.string();
        return false;
    }
    // Written aside first and then moved in, so that a copy in the folder
    // is always whole, even when the process dies while keeping it.
    // One folder per recorder: recorders keep their copies at the same time.
    const fs::path aside =
        folder / (".keeping-" + std::string(1, static_cast<char>(copy.recorder)));
    std::vector<fs::path> written;
    for (const fs::path& f : files)
        written.push_back(aside / f.filename());
    std::error_code ec;
    fs::create_directories(aside, ec);
    bool kept = !ec && (cueBin ? disc.ExportCueBin(written[0], written[1], error)
                               : disc.ExportIso(written[0], error));
    // The cue sheet last: it names the BIN file, which must be there.
    for (size_t i = files.size(); kept && i-- > 0;) {
        fs::rename(written[i], files[i], ec);
        if (ec) {
            error = "cannot move " + written[i].string() + " into place: " + ec.message();
            kept = false;
        }
    }
    if (!kept) {
        for (size_t i = 0; i < files.size(); ++i) {
            fs::remove(written[i], ec);
            fs::remove(files[i], ec);
        }
        return false;
    }
    fs::remove(aside, ec);
    copy.files = std::move(files);
    return true;
}

// --- DriveLetterServices -----------------------------------------------------

const FolderEntry* Simulator::FolderFor(char16_t letter) const {
    for (const FolderEntry& f : description_.folders) {
        if (f.letter == letter)
            return &f;
    }
    return nullptr;
}

uint32_t Simulator::LogicalDrives() {
    Pump();
    uint32_t mask = 0;
    for (char16_t letter : OpticalLetters())
        mask |= 1u << (letter - u'A');
    for (const FolderEntry& f : description_.folders)
        mask |= 1u << (f.letter - u'A');
    return mask;
}

DriveKind Simulator::DriveType(char16_t letter) {
    if (FolderFor(letter))
        return DriveKind::Fixed;
    std::lock_guard lock(mutex_);
    auto it = attached_.find(letter);
    return it != attached_.end() && it->second ? DriveKind::CdRom : DriveKind::NoRootDir;
}

bool Simulator::VolumeLabel(char16_t letter, std::u16string& label) {
    label.clear();
    if (const FolderEntry* f = FolderFor(letter)) {
        label = FromUtf8(f->label);
        return true;
    }
    VirtualDrive* drive = Drive(letter);
    if (!drive || DriveType(letter) != DriveKind::CdRom)
        return false;
    std::optional<std::string> text = drive->ReadableLabel();
    if (!text)
        return false;
    label = FromUtf8(*text);
    return true;
}

fs::path Simulator::HostPath(std::u16string_view path) const {
    if (path.size() >= 2 && path[1] == u':') {
        char16_t letter = path[0] >= u'a' && path[0] <= u'z' ? path[0] - u'a' + u'A' : path[0];
        if (const FolderEntry* f = FolderFor(letter)) {
            fs::path host = f->path;
            std::u16string_view rest = path.substr(2);
            size_t start = 0;
            while (start < rest.size()) {
                size_t end = rest.find_first_of(u"\\/", start);
                std::u16string_view part =
                    rest.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos
                                                                        : end - start);
                if (!part.empty())
                    host /= ToUtf8(part);
                if (end == std::u16string_view::npos)
                    break;
                start = end + 1;
            }
            return host;
        }
    }
    return fs::path(ToUtf8(path));
}

bool Simulator::FreeSpace(std::u16string_view path, uint64_t& freeBytes) {
    fs::path host = HostPath(path);
    auto stated = [&](const fs::path& folder, uint64_t bytes) {
        uint64_t used = BytesUnder(folder);
        freeBytes = bytes > used ? bytes - used : 0;
        return true;
    };
    if (path.size() >= 2 && path[1] == u':') {
        char16_t letter = path[0] >= u'a' && path[0] <= u'z' ? path[0] - u'a' + u'A' : path[0];
        if (const FolderEntry* f = FolderFor(letter)) {
            if (f->freeBytes)
                return stated(f->path, *f->freeBytes);
            host = f->path;
        }
    }
    for (const FolderEntry& f : description_.folders) {
        if (f.freeBytes && IsUnder(host, f.path))
            return stated(f.path, *f.freeBytes);
    }
    if (description_.appDataFreeBytes && IsUnder(host, description_.appDataFolder))
        return stated(description_.appDataFolder, *description_.appDataFreeBytes);
    std::error_code ec;
    fs::path existing = host;
    while (!existing.empty() && !fs::exists(existing, ec))
        existing = existing.parent_path();
    if (existing.empty())
        return false;
    fs::space_info space = fs::space(existing, ec);
    if (ec)
        return false;
    freeBytes = space.available;
    return true;
}

std::u16string Simulator::RootFolder(char16_t letter) {
    if (const FolderEntry* f = FolderFor(letter)) {
        std::u16string root = FromUtf8(f->path.string());
        const char16_t separator = static_cast<char16_t>(fs::path::preferred_separator);
        if (root.empty() || root.back() != separator)
            root += separator;
        return root;
    }
    return DriveLetterServices::RootFolder(letter);
}

std::u16string Simulator::AppDataFolder() {
    return FromUtf8(description_.appDataFolder.string());
}

}  // namespace vestrel::sim
