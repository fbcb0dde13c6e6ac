#include "engine/reader_thread.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "drive/clock.h"
#include "drive/drive_lock.h"
#include "drive/file_system.h"
#include "drive/mmc_commands.h"
#include "drive/source_table.h"
#include "drive/text.h"
#include "engine/audio_marks.h"
#include "engine/image_files.h"
#include "engine/image_store.h"
#include "engine/panel_channel.h"
#include "engine/setup_attempts.h"
#include "engine/source_layout.h"
#include "engine/wave_header.h"

namespace vestrel {

namespace {

class Reader {
  public:
    Reader(SourceRecord source, size_t sourceIndex, PanelChannel& panel)
        : source_(std::move(source)), sourceIndex_(sourceIndex), panel_(panel) {}

    void Run();

  private:
    void Status(const std::u16string& text, uint32_t how) {
        panel_.SetStatus(text);
        panel_.PostUpdate(how, 0);
    }
    void Fail(const std::u16string& text) { Status(text, panel_update::Stopped); }
    // Deletes the image files of tracks 0..count-1 with their folders.
    void DeleteFiles(size_t count) {
        FileSystem& files = ActiveFileSystem();
        for (size_t i = 0; i < count && i < source_.tracks.size(); ++i) {
            uint32_t error = 0;
            files.RemoveFile(source_.tracks[i].imagePath, error);
            RemoveImageFolder(source_.tracks[i].imagePath);
        }
    }
    bool ReadTrack(size_t index);
    // Blocks `first`..`last` of track `index` into its open file. Audio
    // hidden before track 1 that the drive cannot read becomes silence.
    bool ReadBlocks(size_t index, std::unique_ptr<File>& file, uint32_t first, uint32_t last,
                    bool hidden);
    uint32_t HiddenAudio() const {
        return source_.marks.tracks.empty() ? 0 : source_.marks.tracks.front().hiddenAudio;
    }
    // Audio sectors into `buffer`, their formatted Q into the scan when the
    // drive gives it.
    ScsiResult ReadAudio(uint32_t lba, uint32_t blocks, std::vector<uint8_t>& buffer);
    // The audio CD's marks into the source record, here and in the table,
    // with how much of its hidden audio could not be read.
    void KeepMarks();

    SourceRecord source_;
    size_t sourceIndex_ = 0;
    // Whether READ CD is asked for formatted Q along with the audio: unknown
    // until the first audio sector is read.
    std::optional<bool> withQ_;
    std::vector<uint8_t> qBuffer_;
    QScan scan_;
    PanelChannel& panel_;
    uint64_t firstStart_ = 0;
    uint64_t total_ = 0;
};

void Reader::Run() {
    // Wait for the panel's progress bar; a panel that is stopped meanwhile
    // ends the wait too.
    do {
        PauseRandomly(200, 200);
    } while (!panel_.ProgressBarReady() && panel_.GetRunState() != RunState::Stopped);
    PauseRandomly(200, 200);
    panel_.EndBusyAnimation();
    panel_.SetRunState(RunState::Reading);

    if (LeftOut(source_)) {
        Fail(kTocUnreadableStatus);
        return;
    }
    firstStart_ = source_.tracks.front().firstLba;
    const uint64_t lastEnd = source_.tracks.back().lastLba;
    total_ = lastEnd >= firstStart_ ? lastEnd - firstStart_ + 1 : 0;
    for (size_t i = 0; i < source_.tracks.size(); ++i) {
        if (!ReadTrack(i))
            return;
    }
    KeepMarks();
    panel_.SetRunState(RunState::Finished);
    Status(u"Finished sucessfully.", panel_update::Normal);
}

bool Reader::ReadTrack(size_t index) {
    const TrackRecord& track = source_.tracks[index];
    const size_t count = source_.tracks.size();
    FileSystem& files = ActiveFileSystem();

    if (!CreateImageFolders(track.imagePath)) {
        DeleteFiles(index);
        Fail(u"Cannot create a temporary folder for the disc image file.");
        return false;
    }
    uint32_t error = 0;
    std::unique_ptr<File> file = files.CreateNew(track.imagePath, error);
    if (!file) {
        DeleteFiles(index);
        RemoveImageFolder(track.imagePath);
        Fail(FormatText(u"%s (Win32 error: %d)", {u"Cannot create the disc image file.", error}));
        return false;
    }
    if (!track.isData) {
        auto header = WaveHeaderBytes(static_cast<uint32_t>(track.imageBytes));
        if (!file->Seek(0) || !file->Write(header.data(), header.size(), error)) {
            file.reset();
            DeleteFiles(index + 1);
            Fail(FormatText(u"%s (Win32 error: %d)",
                            {u"Cannot write data to disc image file.", error}));
            return false;
        }
    }

    Status(FormatText(u"Reading track %d of %d...", {index + 1, count}), panel_update::Normal);
    // Track 1's hidden audio is read apart, up to its INDEX 01.
    const uint32_t hidden = index == 0 && !track.isData ? HiddenAudio() : 0;
    if (hidden > 0 && !ReadBlocks(index, file, track.firstLba, track.firstLba + hidden - 1, true))
        return false;
    return ReadBlocks(index, file, track.firstLba + hidden, track.lastLba, false);
}

bool Reader::ReadBlocks(size_t index, std::unique_ptr<File>& file, uint32_t first, uint32_t last,
                        bool hidden) {
    const TrackRecord& track = source_.tracks[index];
    const uint32_t sectorSize = track.isData ? kDataSectorSize : kAudioSectorSize;
    const uint32_t sectors = last >= first ? last - first + 1 : 0;
    uint32_t chunk = std::min(kReadChunkSectors, sectors);
    std::vector<uint8_t> buffer(size_t{chunk} * sectorSize);
    uint32_t error = 0;
    bool silent = false;

    for (uint32_t lba = first; chunk > 0;) {
        ScsiResult result;
        for (int attempt = 0; attempt < kReadAttempts && !silent; ++attempt) {
            result = track.isData ? SendRead10(source_.driveLetter, lba,
                                               static_cast<uint16_t>(chunk), buffer)
                                  : ReadAudio(lba, chunk, buffer);
            if (result.ok())
                break;
        }
        // A drive that cannot read the hidden audio: from here to INDEX 01
        // the image holds silence, and no more reads are tried.
        if (hidden && (silent || !result.ok())) {
            if (!silent)
                source_.hiddenAudioUnread = last - lba + 1;
            silent = true;
            std::fill(buffer.begin(), buffer.end(), uint8_t{0});
        } else if (!result.ok()) {
            file.reset();
            DeleteFiles(index + 1);
            Fail(FormatText(u"Error reading disc (despite %d retries).", {kReadAttempts}));
            return false;
        }
        if (!file->Write(buffer.data(), buffer.size(), error)) {
            file.reset();
            DeleteFiles(index + 1);
            Fail(u"Cannot write data to disc image file.");
            return false;
        }
        const uint32_t position = ProgressPosition(uint64_t{lba} - firstStart_ + chunk, total_);
        if (ProgressUpdateDue(position))
            panel_.SetProgress(position);
        if (panel_.GetRunState() == RunState::Stopped) {
            file.reset();
            DeleteFiles(index + 1);
            Fail(u"Terminated by user.");
            return false;
        }
        lba += kReadChunkSectors;
        if (lba > last || lba < first)
            break;
        const uint32_t left = last - lba + 1;
        if (left < chunk) {
            chunk = left;
            buffer.resize(size_t{chunk} * sectorSize);
        }
    }
    return true;
}

ScsiResult Reader::ReadAudio(uint32_t lba, uint32_t blocks, std::vector<uint8_t>& buffer) {
    const char16_t letter = source_.driveLetter;
    if (withQ_ == false)
        return SendReadCd(letter, lba, blocks, buffer);
    const uint32_t blockBytes = ReadCdAudioBlockBytes(SubChannelSelection::FormattedQ);
    qBuffer_.resize(size_t{blocks} * blockBytes);
    const ScsiResult result = SendReadCdAudio(letter, static_cast<int32_t>(lba), blocks,
                                              SubChannelSelection::FormattedQ, qBuffer_);
    if (!result.ok()) {
        if (withQ_)
            return result;
        // The first audio read: a drive that refuses formatted Q is read as
        // before from now on, unless the sectors are unreadable either way.
        const ScsiResult plain = SendReadCd(letter, lba, blocks, buffer);
        if (plain.ok())
            withQ_ = false;
        return plain;
    }
    withQ_ = true;
    for (uint32_t i = 0; i < blocks; ++i) {
        const uint8_t* block = qBuffer_.data() + size_t{i} * blockBytes;
        std::copy(block, block + kAudioSectorSize, buffer.begin() + size_t{i} * kAudioSectorSize);
        scan_.Add(static_cast<int32_t>(lba + i),
                  ByteReader(block + kAudioSectorSize, blockBytes - kAudioSectorSize));
    }
    return result;
}

void Reader::KeepMarks() {
    const std::vector<TrackRecord>& tracks = source_.tracks;
    if (std::all_of(tracks.begin(), tracks.end(), [](const TrackRecord& t) { return t.isData; }))
        return;
    std::vector<uint8_t> toc(kTocLength);
    std::vector<uint8_t> controls;
    if (SendReadToc(source_.driveLetter, true, toc).ok())
        controls = TocControls(ByteReader(toc));
    DiscMarks marks = scan_.Marks(tracks, controls, HiddenAudio());
    source_.cdTextUnread = !AddDriveMarks(source_.driveLetter, tracks, marks);
    source_.marks = marks;
    DriveLockGuard lock;
    std::vector<SourceRecord>& table = SourceTable();
    if (sourceIndex_ < table.size() && table[sourceIndex_].driveLetter == source_.driveLetter) {
        table[sourceIndex_].marks = std::move(marks);
        table[sourceIndex_].hiddenAudioUnread = source_.hiddenAudioUnread;
        table[sourceIndex_].cdTextUnread = source_.cdTextUnread;
    }
}

}  // namespace

uint32_t ProgressPosition(uint64_t done, uint64_t total) {
    if (total == 0)
        return 1000;
    const double position = static_cast<double>(done) / static_cast<double>(total) * 1000.0;
    return position >= 1000.0 ? 1000 : static_cast<uint32_t>(position);
}

void ReaderThread(ThreadStartBlock& block) {
    SourceRecord source;
    PanelChannel* panel = nullptr;
    uint32_t index = 0;
    // The block is the starter's again once started is set: everything in
    // it is copied first.
    {
        DriveLockGuard lock;
        const std::vector<SourceRecord>& table = SourceTable();
        index = block.first;
        if (index < table.size())
            source = table[index];
        panel = block.panel;
        block.started = 1;
    }
    if (!panel)
        return;
    Reader(std::move(source), index, *panel).Run();
}

}  // namespace vestrel
