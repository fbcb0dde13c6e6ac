#include "engine/image_source.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "drive/bytes.h"
#include "drive/cd_sector.h"
#include "drive/cdb.h"
#include "drive/file_system.h"
#include "drive/text.h"
#include "drive/volume_label.h"
#include "engine/cue_file.h"
#include "engine/image_files.h"
#include "engine/image_store.h"
#include "engine/wave_header.h"

namespace vestrel {

namespace {

constexpr uint64_t kMaxCueSheetBytes = 1 << 20;
constexpr uint32_t kCopySectors = 64;
// The primary volume descriptor's volume space size, both-endian.
constexpr size_t kVolumeBlocksLe = 80;
constexpr size_t kVolumeBlocksBe = 84;

struct Family {
    MediaFamily family;
    DiscType type;
    uint64_t room;
    const char16_t* name;
};
constexpr std::array<Family, 3> kFamilies = {{
    {MediaFamily::Cd, disc::CdRom, kCdBlankBlocks, u"a CD"},
    {MediaFamily::Dvd, disc::DvdRom, kDvdDualLayerBlocks, u"a DVD"},
    {MediaFamily::Bd, disc::BdRom, kBdDualLayerBlocks, u"a BD"},
}};

bool IsCueName(std::u16string_view path) {
    if (path.size() < 4)
        return false;
    std::u16string ext(path.substr(path.size() - 4));
    for (char16_t& c : ext)
        c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    return ext == u".cue";
}

bool IsAbsolute(std::u16string_view name) {
    return name.starts_with(u"/") || name.starts_with(u"\\") ||
           (name.size() > 2 && name[1] == u':' && (name[2] == u'\\' || name[2] == u'/'));
}

// A name in a cue sheet, taken from the cue sheet's folder.
std::u16string BesideCueSheet(std::u16string_view cuePath, std::u16string_view name) {
    if (IsAbsolute(name))
        return std::u16string(name);
    const size_t slash = cuePath.find_last_of(u"/\\");
    if (slash == std::u16string_view::npos)
        return std::u16string(name);
    return std::u16string(cuePath.substr(0, slash + 1)) + std::u16string(name);
}

// Reads 2048-byte sectors of a data track from its place.
class TrackSectors {
  public:
    TrackSectors(File& file, const ImageTrackPlace& place, uint32_t sectors)
        : file_(file), place_(place), sectors_(sectors) {}
    bool Read(uint32_t lba, std::span<uint8_t> sector) {
        if (lba >= sectors_ || sector.size() < kDataSectorSize)
            return false;
        const uint32_t skip = place_.sectorBytes == kRawSectorBytes ? kMode1UserDataOffset : 0;
        return file_.Seek(place_.offset + uint64_t{lba} * place_.sectorBytes + skip) &&
               ReadFull(file_, sector.data(), kDataSectorSize);
    }

  private:
    File& file_;
    const ImageTrackPlace& place_;
    uint32_t sectors_;
};

// A data track whose ISO 9660 volume says it is larger than the track: the
// image was cut short.
std::optional<uint64_t> IsoVolumeBlocks(TrackSectors& sectors) {
    std::vector<uint8_t> sector(kDataSectorSize);
    if (!sectors.Read(kIsoFirstDescriptor, sector))
        return std::nullopt;
    const ByteReader r(sector);
    if (ClassifyIsoDescriptor(r) != IsoDescriptorKind::Primary ||
        r.Le32(kVolumeBlocksLe) != r.Be32(kVolumeBlocksBe))
        return std::nullopt;
    return r.Le32(kVolumeBlocksLe);
}

// What the image says about its data tracks: the first one's label, and
// any track shorter than its volume. Fails with the reason.
bool CheckDataTracks(ImageSource& source, std::u16string& label, size_t& failed,
                     std::u16string& error) {
    for (size_t i = 0; i < source.places.size(); ++i) {
        const TrackRecord& t = source.record.tracks[i];
        if (!t.isData)
            continue;
        uint32_t code = 0;
        std::unique_ptr<File> file = ActiveFileSystem().OpenRead(source.places[i].file, code);
        if (!file) {
            failed = i;
            error = FormatText(u"cannot open %s (error %u)", {source.places[i].file, code});
            return false;
        }
        const uint32_t blocks = t.lastLba - t.firstLba + 1;
        TrackSectors sectors(*file, source.places[i], blocks);
        if (std::optional<uint64_t> volume = IsoVolumeBlocks(sectors); volume && *volume > blocks) {
            failed = i;
            error = FormatText(u"truncated: its ISO 9660 volume takes %I64u blocks, %s holds %u",
                               {*volume, source.places[i].file, blocks});
            return false;
        }
        if (i == 0) {
            label = DataTrackVolumeLabel(0, [&](uint32_t lba, std::span<uint8_t> s) {
                        return sectors.Read(lba, s);
                    }).value_or(u"");
        }
    }
    return true;
}

void AddTrack(ImageSource& source, bool isData, uint32_t sectors, ImageTrackPlace place) {
    TrackRecord t;
    t.isData = isData;
    t.firstLba = source.record.tracks.empty() ? 0 : source.record.tracks.back().lastLba + 1;
    t.lastLba = t.firstLba + sectors - 1;
    t.imageBytes = uint64_t{sectors} * SectorSize(isData);
    if (place.inPlace)
        t.imagePath = place.file;
    source.record.tracks.push_back(std::move(t));
    source.places.push_back(std::move(place));
}

bool OpenIso(ImageSource& source, std::u16string& error) {
    uint32_t code = 0;
    std::unique_ptr<File> file = ActiveFileSystem().OpenRead(source.path, code);
    uint64_t size = 0;
    if (!file || !file->Size(size)) {
        error = FormatText(u"%s: cannot open the file (error %u)", {source.path, code});
        return false;
    }
    if (size == 0 || size % kDataSectorSize != 0 || size / kDataSectorSize > kBdDualLayerBlocks) {
        error = size == 0 ? FormatText(u"%s: the file is empty", {source.path})
                : size % kDataSectorSize != 0
                    ? FormatText(u"%s: truncated: %I64u bytes are not whole 2048-byte blocks",
                                 {source.path, size})
                    : FormatText(u"%s: %I64u blocks do not fit on any disc",
                                 {source.path, size / kDataSectorSize});
        return false;
    }
    AddTrack(source, true, static_cast<uint32_t>(size / kDataSectorSize),
             {source.path, 0, kDataSectorSize, true});
    return true;
}

// One FILE of a cue sheet: its tracks' places and sizes. The file's sectors
// start after a WAV header for WAVE and at its start for BINARY. Track 1
// starts with the audio hidden before its INDEX 01; a pre-gap kept at the
// end of the file before is measured against `fileBeforeEnd`, that file's
// sectors up to the end of its last track, which this file's end becomes.
bool PlaceFileTracks(ImageSource& source, const CueReadFile& f, DiscMarks& marks,
                     uint64_t& fileBeforeEnd, std::u16string& error) {
    const std::u16string name = FromUtf8(f.name);
    const std::u16string path = BesideCueSheet(source.path, name);
    auto fail = [&](size_t line, std::u16string_view text) {
        error = FormatText(u"%s:%u: %s", {source.path, static_cast<unsigned>(line), text});
        return false;
    };
    uint32_t code = 0;
    std::unique_ptr<File> file = ActiveFileSystem().OpenRead(path, code);
    uint64_t size = 0;
    if (!file || !file->Size(size))
        return fail(f.line, FormatText(u"cannot open %s (error %u)", {path, code}));
    uint64_t first = 0, bytes = size;
    bool wholeFile = true;
    if (f.wave) {
        std::array<uint8_t, kWaveHeaderBytes> head{};
        const std::optional<WaveHeader> header = ReadFull(*file, head.data(), head.size())
                                                     ? ReadWaveHeader(ByteReader(head))
                                                     : std::nullopt;
        if (!header || !header->IsCdAudio())
            return fail(f.line, name + u" is not a CD audio WAV file with a 44-byte header");
        if (header->dataBytes > size - kWaveHeaderBytes) {
            return fail(f.line,
                        FormatText(u"%s is truncated: its header counts %u bytes of audio, it "
                                   u"holds %I64u",
                                   {name, header->dataBytes, size - kWaveHeaderBytes}));
        }
        first = kWaveHeaderBytes;
        bytes = header->dataBytes;
        wholeFile = bytes == size - kWaveHeaderBytes;
    }

    uint64_t offset = 0;
    for (size_t i = 0; i < f.tracks.size(); ++i) {
        const CueReadTrack& t = f.tracks[i];
        TrackMarks& m = marks.tracks[t.number - 1];
        const uint32_t sectorBytes = CueSectorBytes(t.mode);
        const uint64_t firstSector = t.start - m.hiddenAudio;  // in the file
        offset = i == 0 ? firstSector * sectorBytes : offset;
        if (t.start * sectorBytes >= bytes) {
            return fail(t.startLine,
                        FormatText(u"track %u starts past the end of %s", {t.number, name}));
        }
        if (t.preGapInFileBefore) {
            if (*t.preGapInFileBefore >= fileBeforeEnd) {
                return fail(t.line, FormatText(u"the INDEX 00 of track %u lies past the end of "
                                               u"the file before",
                                               {t.number}));
            }
            m.preGap = static_cast<uint32_t>(fileBeforeEnd - *t.preGapInFileBefore);
        }
        uint64_t sectors = 0;
        if (i + 1 < f.tracks.size()) {
            sectors = f.tracks[i + 1].start - firstSector;
        } else if ((bytes - offset) % sectorBytes != 0) {
            return fail(t.line, FormatText(u"%s is truncated: it ends inside a sector of track %u",
                                           {name, t.number}));
        } else {
            sectors = (bytes - offset) / sectorBytes;
        }
        const uint64_t total = source.record.tracks.empty()
                                   ? sectors
                                   : source.record.tracks.back().lastLba + 1 + sectors;
        if (total > kBdDualLayerBlocks)
            return fail(t.line, FormatText(u"track %u does not fit on any disc", {t.number}));
        if (!m.indexes.empty() && m.hiddenAudio + m.indexes.back() >= sectors) {
            return fail(t.line,
                        FormatText(u"INDEX %u of track %u lies past the end of %s",
                                   {static_cast<uint32_t>(m.indexes.size() + 1), t.number, name}));
        }
        const bool isData = t.mode != CueMode::Audio;
        const bool inPlace = wholeFile && f.tracks.size() == 1 && offset == 0 &&
                             (f.wave || t.mode == CueMode::Mode1);
        AddTrack(source, isData, static_cast<uint32_t>(sectors),
                 {path, first + offset, sectorBytes, inPlace, t.line});
        offset += sectors * sectorBytes;
        fileBeforeEnd = offset / sectorBytes;
    }
    return true;
}

bool OpenCueSheet(ImageSource& source, std::u16string& error) {
    uint32_t code = 0;
    std::unique_ptr<File> file = ActiveFileSystem().OpenRead(source.path, code);
    uint64_t size = 0;
    if (!file || !file->Size(size)) {
        error = FormatText(u"%s: cannot open the file (error %u)", {source.path, code});
        return false;
    }
    if (size > kMaxCueSheetBytes) {
        error = FormatText(u"%s: too large for a cue sheet", {source.path});
        return false;
    }
    std::string text(static_cast<size_t>(size), '\0');
    text.resize(file->Read(reinterpret_cast<uint8_t*>(text.data()), text.size(), code));
    CueReadError problem;
    DiscMarks marks;
    const std::optional<std::vector<CueReadFile>> files = ReadCueSheet(text, problem, &marks);
    if (!files) {
        error = problem.line == 0
                    ? FormatText(u"%s: %s", {source.path, FromUtf8(problem.text)})
                    : FormatText(u"%s:%u: %s", {source.path, static_cast<unsigned>(problem.line),
                                                FromUtf8(problem.text)});
        return false;
    }
    uint64_t fileBeforeEnd = 0;
    for (const CueReadFile& f : *files) {
        if (!PlaceFileTracks(source, f, marks, fileBeforeEnd, error))
            return false;
    }
    // A sheet without a track's mark leaves the record as a disc without
    // marks has it.
    if (std::all_of(marks.tracks.begin(), marks.tracks.end(),
                    [](const TrackMarks& m) { return m == TrackMarks{}; }))
        marks.tracks.clear();
    source.record.marks = std::move(marks);
    return true;
}

}  // namespace

std::optional<DiscType> ImageDiscType(uint64_t blocks, bool audio, MediaFamily family,
                                      std::u16string& why) {
    if (audio && family != MediaFamily::Smallest && family != MediaFamily::Cd) {
        why = u"audio tracks go on a CD only";
        return std::nullopt;
    }
    for (const Family& f : kFamilies) {
        if (family != MediaFamily::Smallest && family != f.family)
            continue;
        if (blocks <= f.room)
            return f.type;
        if (family != MediaFamily::Smallest || audio) {
            why = FormatText(u"%I64u blocks do not fit on %s", {blocks, f.name});
            return std::nullopt;
        }
    }
    why = FormatText(u"%I64u blocks do not fit on any disc", {blocks});
    return std::nullopt;
}

bool OpenImageSource(std::u16string_view path, MediaFamily family, ImageSource& source,
                     std::u16string& error) {
    source = ImageSource{};
    source.path = std::u16string(path);
    const bool cue = IsCueName(path);
    if (!(cue ? OpenCueSheet(source, error) : OpenIso(source, error)))
        return false;

    std::u16string label, why;
    size_t failed = 0;
    if (!CheckDataTracks(source, label, failed, why)) {
        error =
            cue ? FormatText(u"%s:%u: %s",
                             {source.path, static_cast<unsigned>(source.places[failed].line), why})
                : FormatText(u"%s: %s", {source.path, why});
        return false;
    }
    const std::vector<TrackRecord>& tracks = source.record.tracks;
    const bool audio =
        std::any_of(tracks.begin(), tracks.end(), [](const TrackRecord& t) { return !t.isData; });
    const uint64_t blocks = uint64_t{tracks.back().lastLba} + 1;
    const std::optional<DiscType> type = ImageDiscType(blocks, audio, family, why);
    if (!type) {
        error = FormatText(u"%s: %s", {source.path, why});
        return false;
    }
    SourceRecord& r = source.record;
    r.discType = *type;
    r.discBlocks = blocks;
    r.volumeLabel = tracks.front().isData ? label : std::u16string(kAudioCdLabel);
    for (const TrackRecord& t : tracks)
        r.totalBytes += t.imageBytes;
    return true;
}

std::vector<SourceRecord> ImageSourceRecords(const std::vector<ImageSource>& images,
                                             uint32_t copies) {
    std::vector<SourceRecord> sources;
    for (size_t i = 0; i < images.size(); ++i) {
        SourceRecord record = images[i].record;
        record.driveLetter = static_cast<char16_t>(u'A' + i);
        record.copies = copies;
        sources.push_back(std::move(record));
    }
    return sources;
}

bool CopyOutTrack(const ImageTrackPlace& place, const TrackRecord& track, std::u16string& error) {
    FileSystem& fs = ActiveFileSystem();
    uint32_t code = 0;
    std::unique_ptr<File> in = fs.OpenRead(place.file, code);
    if (!in || !in->Seek(place.offset)) {
        error = FormatText(u"Cannot open %s (error %u).", {place.file, code});
        return false;
    }
    std::unique_ptr<File> out =
        CreateImageFolders(track.imagePath) ? fs.CreateNew(track.imagePath, code) : nullptr;
    const uint64_t dataBytes = track.imageBytes;
    if (!out || (!track.isData && (dataBytes > UINT32_MAX ||
                                   !WriteWaveHeader(*out, static_cast<uint32_t>(dataBytes))))) {
        out.reset();
        fs.RemoveFile(track.imagePath, code);
        error = FormatText(u"Cannot write %s (error %u).", {track.imagePath, code});
        return false;
    }
    const uint32_t outBytes = SectorSize(track.isData);
    const uint32_t skip = place.sectorBytes == outBytes ? 0 : kMode1UserDataOffset;
    std::vector<uint8_t> buffer(size_t{kCopySectors} * place.sectorBytes);
    const uint32_t sectors = track.lastLba - track.firstLba + 1;
    for (uint32_t done = 0; done < sectors;) {
        const uint32_t n = std::min(kCopySectors, sectors - done);
        bool ok = ReadFull(*in, buffer.data(), size_t{n} * place.sectorBytes);
        // Raw Mode 1 sectors give their user data only.
        for (uint32_t k = 0; skip != 0 && k < n; ++k) {
            std::memmove(buffer.data() + size_t{k} * outBytes,
                         buffer.data() + size_t{k} * place.sectorBytes + skip, outBytes);
        }
        ok = ok && out->Write(buffer.data(), size_t{n} * outBytes, code);
        if (!ok) {
            out.reset();
            uint32_t ignored = 0;
            fs.RemoveFile(track.imagePath, ignored);
            error = FormatText(u"Cannot copy track data from %s into %s (error %u).",
                               {place.file, track.imagePath, code});
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace vestrel
