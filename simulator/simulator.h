// The simulated drive bay: a Transport and the DriveLetterServices for a
// set of virtual drives, fixed drives backed by host folders, the discs,
// and the operator (a scripted person or robot at the trays). Build one
// from a description file, Install() it, and every command the system
// sends goes to the virtual drives.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "drive/drive_letters.h"
#include "drive/transport.h"
#include "simulator/description.h"
#include "simulator/virtual_drive.h"

namespace vestrel::sim {

// A recorded disc the operator took out of its recorder, and the image
// files it was kept as (an ISO, or a cue sheet and its BINARY file).
struct FinishedCopy {
    char16_t recorder = 0;
    std::unique_ptr<Disc> disc;
    std::vector<std::filesystem::path> files;
};

class Simulator : public Transport, public DriveLetterServices {
  public:
    Simulator();
    ~Simulator() override;
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Builds the bay from a description (the built-in models are always
    // known). Relative paths are taken from `baseFolder`.
    bool LoadText(std::string_view text, const std::filesystem::path& baseFolder,
                  std::string& error);
    bool LoadFile(const std::filesystem::path& file, std::string& error);

    // Routes the system's commands, drive letters (and nothing else) to
    // the simulator; Uninstall (or destruction) gives them back.
    void Install();
    void Uninstall();

    // Transport.
    ScsiResult Execute(const ScsiCommand& command) override;
    bool AllowMediumRemoval(char16_t letter) override;
    void EjectMedium(char16_t letter) override;

    // DriveLetterServices.
    uint32_t LogicalDrives() override;
    DriveKind DriveType(char16_t letter) override;
    bool VolumeLabel(char16_t letter, std::u16string& label) override;
    bool FreeSpace(std::u16string_view path, uint64_t& freeBytes) override;
    std::u16string AppDataFolder() override;
    // A folder-backed letter's root is its host folder, so that files the
    // system places there land in that folder.
    std::u16string RootFolder(char16_t letter) override;

    // The host path behind a path on a folder-backed letter ("X:\Temp\a"),
    // or the path itself.
    std::filesystem::path HostPath(std::u16string_view path) const;

    // Hands at the trays (tests and the operator). Each raises the events
    // a real drive change would.
    bool OpenTray(char16_t letter);
    void CloseTray(char16_t letter);
    bool InsertDisc(char16_t letter, std::unique_ptr<Disc> disc);
    std::unique_ptr<Disc> RemoveDisc(char16_t letter);
    // A new disc as the description's [disc NAME] section makes it, or a
    // blank of the given profile.
    std::unique_ptr<Disc> MakeDisc(std::string_view name, std::string& error);
    std::unique_ptr<Disc> MakeBlank(uint16_t profile);
    // Opens the tray, puts the disc in (the old one out) and closes it.
    bool LoadDisc(char16_t letter, std::unique_ptr<Disc> disc);

    // Device arrival and removal (a drive plugged in or out).
    bool DetachDrive(char16_t letter);
    bool AttachDrive(char16_t letter);

    VirtualDrive* Drive(char16_t letter);
    std::vector<char16_t> OpticalLetters() const;

    // Volume events, delivered on the thread that caused them (or the
    // operator thread) without any simulator lock held.
    using EventSink = std::function<void(const VolumeEvent&)>;
    void Subscribe(EventSink sink);

    // Runs what is due: scripted operator steps, delayed tray actions,
    // media arrivals at the end of a drive's becoming-ready time. Runs by
    // itself before every command; StartOperator adds a thread that runs it
    // every 20 ms, for callers that wait for events without commands.
    void Pump();
    void StartOperator();
    void StopOperator();
    std::vector<std::string> OperatorLog() const;
    std::vector<FinishedCopy> TakeFinishedCopies();
    // Where the operator keeps the copies it takes out as image files
    // (`finished =`); empty: nowhere. Setting it creates the folder.
    bool SetFinishedFolder(const std::filesystem::path& folder, std::string& error);
    const std::filesystem::path& finishedFolder() const { return description_.op.finishedFolder; }

    const Description& description() const { return description_; }
    const std::filesystem::path& workFolder() const { return workFolder_; }

  private:
    enum class ActionKind { Close, InsertBlank, InsertDisc, ArriveMedia };
    struct Action {
        uint32_t due = 0;
        char16_t letter = 0;
        ActionKind kind = ActionKind::Close;
        uint16_t profile = 0;
        std::string disc;
    };
    void AfterTrayChanges(char16_t letter, std::vector<VolumeEvent>& out);
    void Log(const std::string& line);
    void Deliver(const std::vector<VolumeEvent>& events);
    void RunAction(const Action& a, std::vector<VolumeEvent>& events);
    bool KeepFinished(FinishedCopy& copy, std::string& error);
    const FolderEntry* FolderFor(char16_t letter) const;

    Description description_;
    std::filesystem::path workFolder_;
    bool ownsWorkFolder_ = false;
    std::map<char16_t, std::unique_ptr<VirtualDrive>> drives_;
    bool installed_ = false;

    mutable std::mutex mutex_;  // everything below
    std::map<char16_t, bool> attached_;
    std::vector<Action> actions_;
    std::vector<std::string> log_;
    std::vector<FinishedCopy> finished_;
    EventSink sink_;
    uint32_t startTick_ = 0;
    uint64_t discSerial_ = 0;

    std::mutex pumpMutex_;  // one Pump at a time
    std::thread operatorThread_;
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
};

}  // namespace vestrel::sim
