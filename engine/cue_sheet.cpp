#include "engine/cue_sheet.h"

#include <limits>

#include "drive/bytes.h"
#include "drive/drive_lock.h"
#include "drive/file_system.h"
#include "engine/image_files.h"

namespace vestrel {

namespace {

constexpr int32_t kPreGapLba = -150;
constexpr int32_t kFramesPerSecond = 75;
constexpr int32_t kFramesPerMinute = 60 * kFramesPerSecond;

constexpr uint8_t kControlData = 0x41;   // data track, ADR 1
constexpr uint8_t kControlAudio = 0x01;  // audio track, ADR 1
constexpr uint8_t kFormLeadInOut = 0x01;
constexpr uint8_t kFormData = 0x10;   // mode 1 user data, 2048 bytes a block
constexpr uint8_t kFormAudio = 0x00;  // CD-DA, 2352 bytes a block
constexpr uint8_t kLeadOutTrack = 0xAA;

void PutEntry(ByteWriter& w, size_t index, uint8_t control, uint8_t track, uint8_t indexNumber,
              uint8_t form, int32_t lba) {
    const size_t at = index * kCueEntryBytes;
    const Msf msf = LbaToMsf(lba);
    w.U8(at + 0, control);
    w.U8(at + 1, track);
    w.U8(at + 2, indexNumber);
    w.U8(at + 3, form);
    w.U8(at + 4, 0);
    w.U8(at + 5, static_cast<uint8_t>(msf.minutes));
    w.U8(at + 6, static_cast<uint8_t>(msf.seconds));
    w.U8(at + 7, static_cast<uint8_t>(msf.frames));
}

uint8_t ControlOf(bool isData) {
    return isData ? kControlData : kControlAudio;
}
uint8_t FormOf(bool isData) {
    return isData ? kFormData : kFormAudio;
}

}  // namespace

std::vector<WriterTrack> WriterTracksOf(const std::vector<TrackRecord>& tracks) {
    std::vector<WriterTrack> out;
    out.reserve(tracks.size());
    for (const TrackRecord& t : tracks) {
        WriterTrack w;
        w.isData = t.isData;
        w.imagePath = t.imagePath;
        out.push_back(std::move(w));
    }
    return out;
}

Msf LbaToMsf(int32_t lba) {
    const int64_t f = int64_t{lba} + 150;
    const int64_t minutes = f / kFramesPerMinute;
    const int64_t rest = f - minutes * kFramesPerMinute;
    Msf msf;
    msf.minutes = static_cast<int32_t>(minutes);
    msf.seconds = static_cast<int32_t>(rest / kFramesPerSecond);
    msf.frames = static_cast<int32_t>(rest % kFramesPerSecond);
    return msf;
}

uint64_t ImageDataBytes(bool isData, uint64_t fileBytes) {
    if (isData)
        return fileBytes;
    return fileBytes > kWaveHeaderBytes ? fileBytes - kWaveHeaderBytes : 0;
}

uint64_t BlockCountOf(bool isData, uint64_t dataBytes) {
    return dataBytes / SectorSize(isData);
}

CueSheet BuildCueSheet(std::span<const WriterTrack> tracks) {
    if (tracks.empty())
        return {};
    CueSheet sheet((tracks.size() + 3) * kCueEntryBytes, 0);
    ByteWriter w(sheet.data(), sheet.size());
    const bool firstIsData = tracks.front().isData;
    const uint8_t firstControl = ControlOf(firstIsData);

    PutEntry(w, 0, firstControl, 0, 0, kFormLeadInOut, kPreGapLba);
    PutEntry(w, 1, firstControl, 1, 0, FormOf(firstIsData), kPreGapLba);
    // MeasureImageFiles keeps a copy's addresses within 32 bits; the sum
    // wraps rather than overflows for tracks that were never measured.
    uint32_t lba = 0;
    for (size_t t = 0; t < tracks.size(); ++t) {
        PutEntry(w, 2 + t, ControlOf(tracks[t].isData), static_cast<uint8_t>(t + 1), 1,
                 FormOf(tracks[t].isData), static_cast<int32_t>(lba));
        lba += tracks[t].blockCount;
    }
    PutEntry(w, 2 + tracks.size(), firstControl, kLeadOutTrack, 1, kFormLeadInOut,
             static_cast<int32_t>(lba));
    return sheet;
}

ImageMeasure MeasureImageFiles(std::vector<WriterTrack>& tracks) {
    if (tracks.empty())
        return ImageMeasure::NotFound;
    DriveLockGuard lock;
    int64_t lba = 0;
    for (WriterTrack& t : tracks) {
        uint32_t error = 0;
        const std::unique_ptr<File> file = ActiveFileSystem().OpenRead(t.imagePath, error);
        if (!file)
            return ImageMeasure::NotFound;
        uint64_t size = 0;
        if (!file->Size(size))
            return ImageMeasure::Unreadable;
        t.dataBytes = ImageDataBytes(t.isData, size);
        const uint64_t blocks = BlockCountOf(t.isData, t.dataBytes);
        // An empty track cannot be recorded, and every block of the copy
        // must have a 32-bit address.
        if (blocks == 0 || lba + static_cast<int64_t>(blocks) > std::numeric_limits<int32_t>::max())
            return ImageMeasure::Unreadable;
        t.startLba = static_cast<int32_t>(lba);
        t.blockCount = static_cast<uint32_t>(blocks);
        lba += static_cast<int64_t>(blocks);
    }
    return ImageMeasure::Measured;
}

ImageMeasure BuildJobCueSheet(std::vector<WriterTrack>& tracks, CueSheet& sheet) {
    sheet.clear();
    const ImageMeasure measure = MeasureImageFiles(tracks);
    if (measure == ImageMeasure::Measured)
        sheet = BuildCueSheet(tracks);
    return measure;
}

}  // namespace vestrel
