#include "engine/recording.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "drive/bytes.h"
#include "drive/cdb.h"
#include "drive/clock.h"
#include "drive/file_system.h"
#include "drive/mmc_commands.h"
#include "drive/text.h"
#include "engine/image_files.h"
#include "engine/reader_thread.h"
#include "engine/write_parameters.h"

namespace vestrel {

bool IsOverwritable(const Blank& blank) {
    switch (blank.profile) {
        case 0x0012:  // DVD-RAM
        case 0x0013:  // DVD-RW restricted overwrite
        case 0x001A:  // DVD+RW
        case 0x002A:  // DVD+RW DL
        case 0x0043:  // BD-RE
        case 0x0052:  // HD DVD-RAM
            return true;
        default:
            return false;
    }
}

bool NeedsClosing(const Blank& blank) {
    return blank.profile == 0x001B || blank.profile == 0x002B || blank.profile == 0x0041 ||
           blank.profile == 0x0042;
}

bool TakesReservations(const Blank& blank) {
    return !IsCdBlank(blank.type) && !IsOverwritable(blank);
}

uint32_t ReservationUnit(const Blank& blank) {
    if (!TakesReservations(blank))
        return 1;
    return (blank.type & (disc::BdTypes | disc::HdDvdTypes)) ? 32 : 16;
}

uint32_t ReservedBlocks(uint32_t blockCount, uint32_t unit) {
    return static_cast<uint32_t>((uint64_t{blockCount} + unit - 1) / unit * unit);
}

uint64_t RecordedBlocks(const std::vector<WriterTrack>& tracks, const Blank& blank) {
    const uint32_t unit = ReservationUnit(blank);
    uint64_t blocks = 0;
    for (const WriterTrack& t : tracks)
        blocks += ReservedBlocks(t.blockCount, unit);
    return blocks;
}

std::vector<FormatChoice> QuickFormatChoices(const FormatCapacities& capacities,
                                             const Blank& blank) {
    struct Wanted {
        uint8_t type;
        uint8_t subtype;
    };
    std::vector<Wanted> wanted;
    switch (blank.profile) {
        case 0x001A:  // DVD+RW
        case 0x002A:  // DVD+RW DL
            wanted = {{0x26, 0}};
            break;
        case 0x0043:  // BD-RE
            wanted = {{0x30, kBdNoCertification}, {0x31, 0}, {0x00, 0}};
            break;
        default:
            wanted = {{0x00, 0}};
            break;
    }
    std::vector<FormatChoice> choices;
    for (const Wanted& w : wanted) {
        for (const FormatDescriptor& d : capacities.formats) {
            if (d.type == w.type) {
                choices.push_back(FormatChoice{d, w.subtype});
                break;
            }
        }
    }
    return choices;
}

std::optional<uint64_t> BlankCapacity(char16_t letter, const Blank& blank) {
    if (IsCdBlank(blank.type)) {
        std::vector<uint8_t> info(kDiscInformationLength);
        if (!SendReadDiscInformation(letter, info).ok())
            return std::nullopt;
        return CdLastLeadOutLba(ReadDiscInformationReply(ByteReader(info)));
    }
    if (IsOverwritable(blank)) {
        std::vector<uint8_t> reply(kFormatCapacitiesLength);
        if (!SendCommandBlock(letter, ReadFormatCapacitiesCdb(), reply).ok())
            return std::nullopt;
        FormatCapacities capacities = ReadFormatCapacitiesReply(ByteReader(reply));
        if (capacities.currentKind == kFormattedMedium)
            return capacities.currentBlocks;
        std::vector<FormatChoice> choices = QuickFormatChoices(capacities, blank);
        if (capacities.currentKind != kUnformattedMedium || choices.empty())
            return std::nullopt;
        return choices.front().descriptor.blocks;
    }
    std::vector<uint8_t> reply(kTrackInformationLength);
    if (!SendReadTrackInformation(letter, kInvisibleTrack, reply).ok())
        return std::nullopt;
    std::optional<TrackInformation> track = ReadTrackInformationReply(ByteReader(reply));
    if (!track)
        return std::nullopt;
    return track->freeBlocks;
}

bool PollPanel(PanelChannel& panel, const std::function<bool()>& done) {
    for (;;) {
        if (done())
            return true;
        if (panel.GetRunState() == RunState::Stopped)
            return false;
        ActiveClock().Sleep(100);
    }
}

namespace {

constexpr uint8_t kFinalizeDisc = 6;  // close function: finalize (DVD+R, DVD+R DL, BD-R)

constexpr uint32_t Minutes(uint32_t m) {
    return m * 60 * 1000;
}

// How long a drive may take to finalize: minutes on a real drive, most for
// a dual-layer DVD+R, whose unused space up to the middle zone is padded.
uint32_t CloseAllowanceMs(const Blank& blank) {
    return blank.profile == 0x002B ? Minutes(30) : Minutes(15);
}

// How long a drive may take to format. A DVD+RW's background format leaves
// the drive ready almost at once; a BD-RE, DVD-RAM or HD DVD-RAM drive may
// certify the disc after all, which takes up to an hour or more.
uint32_t FormatAllowanceMs(const Blank& blank) {
    switch (blank.profile) {
        case 0x001A:
        case 0x002A:
            return Minutes(15);
        case 0x0043:
            return Minutes(60);
        default:
            return Minutes(120);
    }
}

class CopyRecorder {
  public:
    CopyRecorder(char16_t letter, PanelChannel& panel, const WriterJob& job,
                 const CueSheet& cueSheet, const Blank& blank, uint32_t options,
                 const LeadInText& leadIn)
        : letter_(letter),
          panel_(panel),
          job_(job),
          cue_(cueSheet),
          blank_(blank),
          verify_(options & writer_option::VerifyCopies),
          leadIn_(leadIn) {}

    CopyOutcome Run();

  private:
    // How a wait for the drive ended.
    enum class Wait { Done, Failed, Stopped };

    void Show(const std::u16string& status, uint32_t links) {
        panel_.SetStatus(status);
        panel_.PostUpdate(panel_update::NormalWithLinks, links);
    }
    bool Stopped() { return panel_.GetRunState() == RunState::Stopped; }
    // Waits for Skip Source (the source is abandoned) or a stop.
    CopyOutcome WaitForSkipSource() {
        bool skipped = PollPanel(panel_, [&] { return panel_.GetSkipFlag() == 1; });
        return skipped ? CopyOutcome::SourceAbandoned : CopyOutcome::Stop;
    }
    ScsiResult WriteWithAttempts(int32_t lba, uint16_t blocks, std::span<const uint8_t> data) {
        ScsiResult r;
        for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
            r = SendWrite10(letter_, lba, blocks, data);
            if (r.ok())
                break;
        }
        return r;
    }
    // Makes what was written so far readable and gives the disc back.
    void CleanUp() {
        if (tracksWritten_ > 0)
            SendSynchronizeCache(letter_);
        EjectMedium(letter_);
    }
    CopyOutcome AbandonCopy(const std::u16string& status);
    CopyOutcome WriteFailed() {
        return AbandonCopy(
            FormatText(u"Cannot write data to disc (despite %d retries).", {kWriteAttempts}));
    }
    // What a wait leaves the copy with: nothing when the drive is done; the
    // copy abandoned with `failure` when it failed; a stop when stopped.
    std::optional<CopyOutcome> EndAfter(Wait wait, const std::u16string& failure) {
        switch (wait) {
            case Wait::Done:
                break;
            case Wait::Failed:
                return AbandonCopy(failure);
            case Wait::Stopped:
                return CopyOutcome::Stop;
        }
        return std::nullopt;
    }
    Wait WaitForDrive(uint32_t allowanceMs);
    Wait FormatIfNew();
    Wait Synchronize();
    Wait Close();
    bool WriteLeadIn();
    std::optional<CopyOutcome> CheckTrackStart(size_t index);
    CopyOutcome WriteTrack(size_t index);
    std::optional<CopyOutcome> Verify();

    char16_t letter_;
    PanelChannel& panel_;
    const WriterJob& job_;
    const CueSheet& cue_;
    Blank blank_;
    bool verify_ = false;
    const LeadInText& leadIn_;
    bool cd_ = false;
    bool reserve_ = false;
    uint32_t unit_ = 1;
    // Where each track starts on the copy: reservations rounded up to whole
    // units move the tracks after them.
    std::vector<int64_t> starts_;
    bool sessionWritten_ = false;  // a block of the lead-in or pre-gap
    size_t tracksWritten_ = 0;
};

CopyOutcome CopyRecorder::AbandonCopy(const std::u16string& status) {
    panel_.SetStatus(status);
    panel_.SetUserReply(0);
    panel_.PostUpdate(panel_update::NormalWithLinks, panel_link::SkipCopy);
    if (sessionWritten_ || tracksWritten_ > 0)
        SendSynchronizeCache(letter_);
    EjectMedium(letter_);
    ActiveClock().Sleep(100);
    bool skipped = PollPanel(panel_, [&] { return panel_.GetUserReply() == panel_link::SkipCopy; });
    return skipped ? CopyOutcome::CopyAbandoned : CopyOutcome::Stop;
}

// Polls a drive that took an immediate command; the progress bar follows
// the drive's progress indication where it gives one.
CopyRecorder::Wait CopyRecorder::WaitForDrive(uint32_t allowanceMs) {
    LongOperationWait wait;
    wait.allowanceMs = allowanceMs;
    wait.stop = [&] { return Stopped(); };
    wait.progress = [&](uint16_t progress) {
        const uint32_t shown = static_cast<uint32_t>(uint64_t{progress} * 1000 / 65536);
        if (ProgressUpdateDue(shown))
            panel_.SetProgress(shown);
    };
    switch (WaitForLongOperation(letter_, wait)) {
        case LongOperationEnd::Ready:
            return Wait::Done;
        case LongOperationEnd::Stopped:
            return Wait::Stopped;
        default:
            return Wait::Failed;
    }
}

// A new overwritable disc is given the quick format its drive offers
// before it is written; a formatted one is written over as it is. A format
// the drive refuses makes way for the next choice.
CopyRecorder::Wait CopyRecorder::FormatIfNew() {
    std::vector<uint8_t> reply(kFormatCapacitiesLength);
    if (!SendCommandBlock(letter_, ReadFormatCapacitiesCdb(), reply).ok())
        return Wait::Failed;
    const FormatCapacities capacities = ReadFormatCapacitiesReply(ByteReader(reply));
    if (capacities.currentKind != kUnformattedMedium)
        return Wait::Done;
    Show(u"Formatting the disc...", 0);
    for (const FormatChoice& choice : QuickFormatChoices(capacities, blank_)) {
        auto list = FormatUnitParameters(choice.descriptor.blocks, choice.descriptor.type,
                                         choice.subtype, choice.descriptor.parameter, true);
        const ScsiResult r = SendCommandBlock(letter_, FormatUnitCdb(), list);
        if (r.ok())
            return WaitForDrive(FormatAllowanceMs(blank_));
        if (!IsIllegalRequest(r))
            break;
    }
    return Wait::Failed;
}

// SYNCHRONIZE CACHE, waited for as long as the drive says it is still
// writing, and tried again up to the write budget when it fails otherwise.
CopyRecorder::Wait CopyRecorder::Synchronize() {
    Show(u"Synchronising cache...", 0);
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        const ScsiResult r = SendSynchronizeCachePatiently(letter_, [&] { return Stopped(); });
        if (r.ok())
            return Wait::Done;
        if (Stopped())
            return Wait::Stopped;
        if (IsStillBusy(r))
            break;  // busy beyond all patience
    }
    return Wait::Failed;
}

// Finalizes a DVD+R, DVD+R DL or BD-R, which other drives cannot read
// until then.
CopyRecorder::Wait CopyRecorder::Close() {
    Show(u"Closing the disc...", 0);
    if (!SendCommandBlock(letter_, CloseTrackSessionCdb(kFinalizeDisc, 0, true), {}).ok())
        return Wait::Failed;
    return WaitForDrive(CloseAllowanceMs(blank_));
}

// The lead-in's 96-byte blocks, the packs repeated in cycles, from its
// start up to the block before the pre-gap. The pre-gap's blocks are of
// another size, so no WRITE reaches into it.
bool CopyRecorder::WriteLeadIn() {
    const uint32_t blocks = CdTextLeadInBlocks(leadIn_.startLba);
    std::vector<uint8_t> buffer;
    for (uint32_t done = 0; done < blocks;) {
        const uint32_t n = std::min(kLeadInChunkBlocks, blocks - done);
        buffer.resize(size_t{n} * kLeadInBlockBytes);
        FillCdTextLeadIn(leadIn_.packs, done, buffer);
        const int32_t lba = leadIn_.startLba + static_cast<int32_t>(done);
        if (!WriteWithAttempts(lba, static_cast<uint16_t>(n), buffer).ok())
            return false;
        sessionWritten_ = true;
        done += n;
    }
    return true;
}

// The drive's next writable address must be where this copy's layout puts
// the track: a drive that rounds reservations otherwise, or a disc not as
// empty as it seemed, would have the track written at another address.
std::optional<CopyOutcome> CopyRecorder::CheckTrackStart(size_t index) {
    std::vector<uint8_t> reply(kTrackInformationLength);
    std::optional<TrackInformation> track;
    if (SendReadTrackInformation(letter_, kInvisibleTrack, reply).ok())
        track = ReadTrackInformationReply(ByteReader(reply));
    const uint32_t number = static_cast<uint32_t>(index + 1);
    if (!track || !track->nwaValid) {
        return AbandonCopy(
            FormatText(u"Error: the drive does not tell where track %u would start.", {number}));
    }
    const uint32_t expected = static_cast<uint32_t>(starts_[index]);
    if (track->nextWritable != expected) {
        return AbandonCopy(FormatText(u"Error: the drive would write track %u at block %u, not %u.",
                                      {number, track->nextWritable, expected}));
    }
    return std::nullopt;
}

CopyOutcome CopyRecorder::WriteTrack(size_t index) {
    const WriterTrack& track = job_.tracks[index];
    const uint32_t sectorSize = SectorSize(track.isData);
    const uint32_t reserved = ReservedBlocks(track.blockCount, unit_);
    if (reserve_) {
        if (std::optional<CopyOutcome> mismatch = CheckTrackStart(index))
            return *mismatch;
        if (!SendReserveTrack(letter_, reserved).ok()) {
            // The flag is cleared before the link shows, so a quick click counts.
            panel_.SetStatus(u"Error: Drive has refused to reserve a track.");
            panel_.SetSkipFlag(0);
            panel_.PostUpdate(panel_update::NormalWithLinks, panel_link::SkipSource);
            return WaitForSkipSource();
        }
    }

    uint32_t error = 0;
    std::unique_ptr<File> file;
    while (!(file = ActiveFileSystem().OpenRead(track.imagePath, error))) {
        panel_.SetStatus(u"Error: cannot open source's image file.");
        panel_.SetUserReply(0);
        panel_.PostUpdate(panel_update::NormalWithLinks,
                          panel_link::SkipSource | panel_link::ShowPath | panel_link::Retry);
        bool retry = false;
        for (;;) {
            const uint32_t reply = panel_.GetUserReply();
            if (reply == panel_link::ShowPath) {
                panel_.ShowInformation(
                    FormatText(u"Cannot open the file:\r\n%s", {track.imagePath}));
                panel_.SetUserReply(0);
            } else if (reply == panel_link::Retry) {
                panel_.SetUserReply(0);
                retry = true;
                break;
            }
            if (panel_.GetSkipFlag() == 1) {
                CleanUp();
                return CopyOutcome::SourceAbandoned;
            }
            if (Stopped()) {
                CleanUp();
                return CopyOutcome::Stop;
            }
            ActiveClock().Sleep(100);
        }
        if (!retry)
            break;
    }

    Show(FormatText(u"Writing track %d of %d...", {index + 1, job_.tracks.size()}), 0);
    if (!track.isData && !file->Seek(kWaveHeaderBytes)) {
        file.reset();
        Show(u"Error: Can't read source's disc image files.", panel_link::SkipSource);
        CleanUp();
        ActiveClock().Sleep(100);
        return WaitForSkipSource();
    }

    const int64_t firstStart = starts_.front();
    const int64_t span = starts_.back() + job_.tracks.back().blockCount - firstStart;
    uint32_t chunk = std::min(kWriteChunkSectors, reserved);
    std::vector<uint8_t> buffer(size_t{chunk} * sectorSize);
    const int64_t start = starts_[index];
    const int64_t end = start + reserved;
    for (int64_t lba = start; lba < end;) {
        // Blocks past the image are the zero padding of the reservation.
        const int64_t fromFile = std::clamp<int64_t>(start + track.blockCount - lba, 0, chunk);
        const size_t want = static_cast<size_t>(fromFile) * sectorSize;
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(want), buffer.end(), 0);
        if (want > 0 && file->Read(buffer.data(), want, error) != want) {
            file.reset();
            Show(u"Error: Can't read source's disc image files.", panel_link::SkipSource);
            CleanUp();
            ActiveClock().Sleep(100);
            return WaitForSkipSource();
        }
        if (!WriteWithAttempts(static_cast<int32_t>(lba), static_cast<uint16_t>(chunk), buffer)
                 .ok()) {
            file.reset();
            return WriteFailed();
        }
        const double position = span > 0 ? static_cast<double>(lba + chunk - firstStart) /
                                               static_cast<double>(span) * 1000.0
                                         : 1000.0;
        const uint32_t shown = position >= 1000.0 ? 1000 : static_cast<uint32_t>(position);
        if (ProgressUpdateDue(shown))
            panel_.SetProgress(shown);
        if (Stopped()) {
            file.reset();
            CleanUp();
            return CopyOutcome::Stop;
        }
        lba += chunk;
        if (end - lba < chunk) {
            chunk = static_cast<uint32_t>(std::max<int64_t>(end - lba, 0));
            buffer.resize(size_t{chunk} * sectorSize);
        }
    }
    ++tracksWritten_;
    return CopyOutcome::Done;
}

// Reads the copy back in its recorder, track by track as the reader reads
// a source, and compares every sector with its image file. The first
// sector that differs, or that cannot be read, fails the copy.
std::optional<CopyOutcome> CopyRecorder::Verify() {
    Show(kVerifyingStatus, 0);
    panel_.SetProgress(0);
    // A disc just closed or synchronised may take a moment to be read.
    const Wait ready = WaitForDrive(60 * 1000);
    if (ready == Wait::Stopped)
        EjectMedium(letter_);
    if (std::optional<CopyOutcome> end =
            EndAfter(ready, u"Cannot verify the copy: the drive is not ready."))
        return end;
    uint64_t total = 0, done = 0;
    for (const WriterTrack& t : job_.tracks)
        total += t.blockCount;
    for (size_t index = 0; index < job_.tracks.size(); ++index) {
        const WriterTrack& track = job_.tracks[index];
        const uint32_t sectorSize = SectorSize(track.isData);
        uint32_t error = 0;
        std::unique_ptr<File> file = ActiveFileSystem().OpenRead(track.imagePath, error);
        if (!file || (!track.isData && !file->Seek(kWaveHeaderBytes)))
            return AbandonCopy(u"Cannot verify the copy: its image file cannot be read.");
        std::vector<uint8_t> copy(size_t{kReadChunkSectors} * sectorSize);
        std::vector<uint8_t> image(copy.size());
        const uint32_t start = static_cast<uint32_t>(starts_[index]);
        for (uint32_t at = 0; at < track.blockCount; at += kReadChunkSectors) {
            const uint32_t n = std::min(kReadChunkSectors, track.blockCount - at);
            const size_t bytes = size_t{n} * sectorSize;
            const uint32_t lba = start + at;
            ScsiResult r;
            for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
                r = track.isData
                        ? SendRead10(letter_, lba, static_cast<uint16_t>(n), {copy.data(), bytes})
                        : SendReadCd(letter_, lba, n, {copy.data(), bytes});
                if (r.ok())
                    break;
            }
            if (!r.ok()) {
                return AbandonCopy(FormatText(u"Cannot read the copy back at sector %u.", {lba}));
            }
            if (file->Read(image.data(), bytes, error) != bytes)
                return AbandonCopy(u"Cannot verify the copy: its image file cannot be read.");
            auto [c, i] = std::mismatch(copy.begin(), copy.begin() + bytes, image.begin());
            if (c != copy.begin() + bytes) {
                const uint32_t sector =
                    lba + static_cast<uint32_t>((c - copy.begin()) / sectorSize);
                return AbandonCopy(
                    FormatText(u"The copy differs from its source at sector %u.", {sector}));
            }
            done += n;
            const uint32_t shown = static_cast<uint32_t>(done * 1000 / total);
            if (ProgressUpdateDue(shown))
                panel_.SetProgress(shown);
            if (Stopped()) {
                EjectMedium(letter_);
                return CopyOutcome::Stop;
            }
        }
    }
    Show(kCopyVerifiedStatus, 0);
    return std::nullopt;
}

CopyOutcome CopyRecorder::Run() {
    cd_ = IsCdBlank(blank_.type);
    if (job_.tracks.empty())
        return WriteFailed();  // never record an empty disc
    reserve_ = TakesReservations(blank_);
    unit_ = ReservationUnit(blank_);
    int64_t next = job_.tracks.front().startLba;
    for (const WriterTrack& t : job_.tracks) {
        starts_.push_back(reserve_ ? next : int64_t{t.startLba});
        next += ReservedBlocks(t.blockCount, unit_);
    }
    if (IsOverwritable(blank_)) {
        // A stop leaves the drive to format on by itself.
        if (std::optional<CopyOutcome> end = EndAfter(FormatIfNew(), u"Cannot format the disc."))
            return *end;
    }
    if (cd_) {
        if (!SendCueSheet(letter_, cue_).ok()) {
            panel_.SetStatus(u"Error: Drive has refused the cue sheet.");
            panel_.SetSkipFlag(0);
            panel_.PostUpdate(panel_update::NormalWithLinks, panel_link::SkipSource);
            return WaitForSkipSource();
        }
        Show(u"Writing the Lead-in and the Pre-Gap...", 0);
        if (!leadIn_.packs.empty() && !WriteLeadIn())
            return WriteFailed();
        const uint32_t sectorSize = SectorSize(job_.tracks.front().isData);
        std::vector<uint8_t> zeros(size_t{10} * sectorSize, 0);
        for (int32_t lba = -150; lba < 0; lba += 10) {
            if (!WriteWithAttempts(lba, 10, zeros).ok())
                return WriteFailed();
            sessionWritten_ = true;
        }
    }
    for (size_t t = 0; t < job_.tracks.size(); ++t) {
        CopyOutcome outcome = WriteTrack(t);
        if (outcome != CopyOutcome::Done)
            return outcome;
    }
    const Wait synchronized = Synchronize();
    if (synchronized == Wait::Stopped)
        CleanUp();
    if (std::optional<CopyOutcome> end =
            EndAfter(synchronized, u"Cannot write the drive's cache to the disc."))
        return *end;
    if (NeedsClosing(blank_)) {
        // A stop leaves the drive to close on by itself.
        if (std::optional<CopyOutcome> end = EndAfter(Close(), u"Cannot close the disc."))
            return *end;
    }
    if (verify_) {
        if (std::optional<CopyOutcome> failed = Verify())
            return *failed;
    }
    EjectMedium(letter_);
    return CopyOutcome::Done;
}

}  // namespace

CopyOutcome RecordCopy(char16_t letter, PanelChannel& panel, const WriterJob& job,
                       const CueSheet& cueSheet, const Blank& blank, uint32_t options,
                       const LeadInText& leadIn) {
    return CopyRecorder(letter, panel, job, cueSheet, blank, options, leadIn).Run();
}

}  // namespace vestrel
