#include "engine/cue_sheet.h"

#include <algorithm>
#include <limits>

#include "drive/bytes.h"
#include "drive/drive_lock.h"
#include "drive/file_system.h"
#include "drive/subchannel_q.h"
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
// The lead-in with CD-Text: the host writes its R-W sub-channel.
constexpr uint8_t kFormLeadInCdText = 0x41;
constexpr uint8_t kAdrCatalogNumber = 0x02;
constexpr uint8_t kAdrIsrc = 0x03;

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

CueSheet BuildCueSheet(std::span<const WriterTrack> tracks, const DiscMarks& marks) {
    if (tracks.empty() || (!marks.tracks.empty() && marks.tracks.size() != tracks.size()) ||
        (!marks.catalogNumber.empty() && !IsCatalogNumber(marks.catalogNumber)))
        return {};
    static const TrackMarks kNoMarks;
    auto marksOf = [&](size_t t) -> const TrackMarks& {
        return marks.tracks.empty() ? kNoMarks : marks.tracks[t];
    };
    std::vector<uint8_t> entries;
    auto put = [&](uint8_t control, uint8_t track, uint8_t index, uint8_t form, int64_t lba) {
        std::vector<uint8_t> entry(kCueEntryBytes);
        ByteWriter w(entry.data(), entry.size());
        PutEntry(w, 0, control, track, index, form, static_cast<int32_t>(lba));
        entries.insert(entries.end(), entry.begin(), entry.end());
    };
    // A code's characters in entries of their own: CONTROL|ADR, track, then
    // six characters each (the MCN's 13 end with a zero).
    auto putCode = [&](uint8_t controlAdr, uint8_t track, const std::string& code) {
        std::string bytes = code;
        bytes.resize(track == 0 ? 14 : 12, '\0');
        const size_t half = track == 0 ? 7 : 6;
        for (size_t at = 0; at < bytes.size(); at += half) {
            entries.push_back(controlAdr);
            if (track != 0)
                entries.push_back(track);
            entries.insert(entries.end(), bytes.begin() + static_cast<ptrdiff_t>(at),
                           bytes.begin() + static_cast<ptrdiff_t>(at + half));
        }
    };
    auto control = [&](size_t t) {
        return static_cast<uint8_t>(ControlOf(tracks[t].isData) |
                                    (marksOf(t).flags & track_flag::All) << 4);
    };
    const bool firstIsData = tracks.front().isData;
    const uint8_t firstControl = ControlOf(firstIsData);

    if (!marks.catalogNumber.empty())
        putCode(kAdrCatalogNumber, 0, marks.catalogNumber);
    put(firstControl, 0, 0, marks.cdText ? kFormLeadInCdText : kFormLeadInOut, kPreGapLba);
    // MeasureImageFiles keeps a copy's addresses within 32 bits.
    int64_t start = 0;
    for (size_t t = 0; t < tracks.size(); ++t) {
        const TrackMarks& m = marksOf(t);
        const uint8_t number = static_cast<uint8_t>(t + 1);
        const int64_t index1 = start + (t == 0 ? m.hiddenAudio : 0);
        const int64_t end = start + tracks[t].blockCount;
        const int64_t preGapStart = t == 0 ? kPreGapLba : index1 - m.preGap;
        const bool fits =
            (t == 0 || m.hiddenAudio == 0) && index1 < end &&
            (t == 0 || preGapStart > start - tracks[t - 1].blockCount) &&
            std::is_sorted(m.indexes.begin(), m.indexes.end()) &&
            (m.indexes.empty() || (m.indexes.front() > 0 && index1 + m.indexes.back() < end)) &&
            m.indexes.size() <= 98 && (m.isrc.empty() || IsIsrc(m.isrc));
        if (!fits)
            return {};
        if (!m.isrc.empty())
            putCode(static_cast<uint8_t>((control(t) & 0xF0) | kAdrIsrc), number, m.isrc);
        if (t == 0 || m.preGap > 0)
            put(control(t), number, 0, FormOf(tracks[t].isData), preGapStart);
        put(control(t), number, 1, FormOf(tracks[t].isData), index1);
        for (size_t i = 0; i < m.indexes.size(); ++i) {
            put(control(t), number, static_cast<uint8_t>(i + 2), FormOf(tracks[t].isData),
                index1 + m.indexes[i]);
        }
        start = end;
    }
    put(firstControl, kLeadOutTrack, 1, kFormLeadInOut, start);
    return entries;
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

ImageMeasure BuildJobCueSheet(std::vector<WriterTrack>& tracks, CueSheet& sheet,
                              const DiscMarks& marks) {
    sheet.clear();
    const ImageMeasure measure = MeasureImageFiles(tracks);
    if (measure != ImageMeasure::Measured)
        return measure;
    sheet = BuildCueSheet(tracks, marks);
    return sheet.empty() ? ImageMeasure::Unreadable : ImageMeasure::Measured;
}

}  // namespace vestrel
