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

uint32_t ReservedBlocks(uint32_t blockCount) {
    return (blockCount + 15) / 16 * 16;
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

class CopyRecorder {
  public:
    CopyRecorder(char16_t letter, PanelChannel& panel, const WriterJob& job,
                 const CueSheet& cueSheet, const Blank& blank)
        : letter_(letter), panel_(panel), job_(job), cue_(cueSheet), blank_(blank) {}

    CopyOutcome Run();

  private:
    void Show(const std::u16string& status, uint32_t links) {
        panel_.SetStatus(status);
        panel_.PostUpdate(panel_update::NormalWithLinks, links);
    }
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
    CopyOutcome AbandonCopy();
    bool FormatIfNew();
    bool Finish();
    CopyOutcome WriteTrack(size_t index);

    char16_t letter_;
    PanelChannel& panel_;
    const WriterJob& job_;
    const CueSheet& cue_;
    Blank blank_;
    bool cd_ = false;
    // Where each track starts on the copy: reservations rounded up to whole
    // units move the tracks after them.
    std::vector<int64_t> starts_;
    bool preGapWritten_ = false;
    size_t tracksWritten_ = 0;
};

CopyOutcome CopyRecorder::AbandonCopy() {
    panel_.SetStatus(
        FormatText(u"Cannot write data to disc (despite %d retries).", {kWriteAttempts}));
    panel_.SetUserReply(0);
    panel_.PostUpdate(panel_update::NormalWithLinks, panel_link::SkipCopy);
    if (preGapWritten_ || tracksWritten_ > 0)
        SendSynchronizeCache(letter_);
    EjectMedium(letter_);
    ActiveClock().Sleep(100);
    bool skipped = PollPanel(panel_, [&] { return panel_.GetUserReply() == panel_link::SkipCopy; });
    return skipped ? CopyOutcome::CopyAbandoned : CopyOutcome::Stop;
}

// A new overwritable disc is formatted to its full capacity before it is
// written; a formatted one is written over as it is.
bool CopyRecorder::FormatIfNew() {
    std::vector<uint8_t> reply(kFormatCapacitiesLength);
    if (!SendCommandBlock(letter_, ReadFormatCapacitiesCdb(), reply).ok())
        return false;
    ByteReader r(reply);
    const uint32_t listBytes = r.U8(3);
    if ((r.U8(8) & 0x03) != 0x01)
        return true;  // not an unformatted medium
    // The formattable descriptors follow the current one.
    for (size_t at = 12; at + 8 <= 4 + size_t{listBytes} && r.Has(at, 8); at += 8) {
        const uint32_t blocks = r.Be32(at);
        const uint8_t type = r.U8(at + 4) >> 2;
        const uint32_t parameter = r.Be24(at + 5);
        auto list = FormatUnitParameters(blocks, type, parameter);
        return SendCommandBlock(letter_, FormatUnitCdb(), list).ok();
    }
    return false;
}

// SYNCHRONIZE CACHE, then closing where the medium needs it. A copy whose
// cache could not be written out, or that could not be closed, is not
// readable and does not count as done.
bool CopyRecorder::Finish() {
    panel_.SetStatus(u"Synchronising cache...");
    panel_.PostUpdate(panel_update::NormalWithLinks, 0);
    bool ok = false;
    for (int attempt = 0; attempt < kWriteAttempts && !ok; ++attempt) {
        ScsiResult r = SendSynchronizeCache(letter_);
        ok = r.ok();
        if (!ok && IsLongWriteInProgress(r))
            ActiveClock().WaitDispatchingMessages(100);
    }
    if (ok && NeedsClosing(blank_)) {
        ok = SendCommandBlock(letter_, CloseTrackSessionCdb(kFinalizeDisc, 0), {}).ok();
    }
    return ok;
}

CopyOutcome CopyRecorder::WriteTrack(size_t index) {
    const WriterTrack& track = job_.tracks[index];
    const uint32_t sectorSize = SectorSize(track.isData);
    const bool reserve = !cd_ && !IsOverwritable(blank_);
    const uint32_t reserved = reserve ? ReservedBlocks(track.blockCount) : track.blockCount;
    if (reserve && !SendReserveTrack(letter_, reserved).ok()) {
        // The flag is cleared before the link shows, so a quick click counts.
        panel_.SetStatus(u"Error: Drive has refused to reserve a track.");
        panel_.SetSkipFlag(0);
        panel_.PostUpdate(panel_update::NormalWithLinks, panel_link::SkipSource);
        return WaitForSkipSource();
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
            if (panel_.GetRunState() == RunState::Stopped) {
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
            return AbandonCopy();
        }
        const double position = span > 0 ? static_cast<double>(lba + chunk - firstStart) /
                                               static_cast<double>(span) * 1000.0
                                         : 1000.0;
        const uint32_t shown = position >= 1000.0 ? 1000 : static_cast<uint32_t>(position);
        if (ProgressUpdateDue(shown))
            panel_.SetProgress(shown);
        if (panel_.GetRunState() == RunState::Stopped) {
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

CopyOutcome CopyRecorder::Run() {
    cd_ = IsCdBlank(blank_.type);
    if (job_.tracks.empty())
        return AbandonCopy();  // never record an empty disc
    const bool reserve = !cd_ && !IsOverwritable(blank_);
    int64_t next = job_.tracks.front().startLba;
    for (const WriterTrack& t : job_.tracks) {
        starts_.push_back(reserve ? next : int64_t{t.startLba});
        next += reserve ? ReservedBlocks(t.blockCount) : t.blockCount;
    }
    if (IsOverwritable(blank_) && !FormatIfNew())
        return AbandonCopy();
    if (cd_) {
        if (!SendCueSheet(letter_, cue_).ok()) {
            panel_.SetStatus(u"Error: Drive has refused the cue sheet.");
            panel_.SetSkipFlag(0);
            panel_.PostUpdate(panel_update::NormalWithLinks, panel_link::SkipSource);
            return WaitForSkipSource();
        }
        Show(u"Writing the Lead-in and the Pre-Gap...", 0);
        const uint32_t sectorSize = SectorSize(job_.tracks.front().isData);
        std::vector<uint8_t> zeros(size_t{10} * sectorSize, 0);
        for (int32_t lba = -150; lba < 0; lba += 10) {
            if (!WriteWithAttempts(lba, 10, zeros).ok())
                return AbandonCopy();
            preGapWritten_ = true;
        }
    }
    for (size_t t = 0; t < job_.tracks.size(); ++t) {
        CopyOutcome outcome = WriteTrack(t);
        if (outcome != CopyOutcome::Done)
            return outcome;
    }
    if (!Finish())
        return AbandonCopy();
    EjectMedium(letter_);
    return CopyOutcome::Done;
}

}  // namespace

CopyOutcome RecordCopy(char16_t letter, PanelChannel& panel, const WriterJob& job,
                       const CueSheet& cueSheet, const Blank& blank) {
    return CopyRecorder(letter, panel, job, cueSheet, blank).Run();
}

}  // namespace vestrel
