#include "engine/disc_backup.h"

#include <algorithm>
#include <memory>

#include "drive/cd_sector.h"
#include "drive/file_system.h"
#include "drive/text.h"
#include "engine/cue_file.h"
#include "engine/image_files.h"
#include "engine/source_layout.h"

namespace vestrel {

namespace {

constexpr size_t kMaxBaseLength = 64;
constexpr uint32_t kCopySectors = 64;

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return Lower(x) == Lower(y); });
}

// Names Windows keeps for devices, whatever extension follows them.
bool IsDeviceName(std::u16string_view name) {
    std::u16string stem;
    for (char16_t c : name.substr(0, name.find(u'.')))
        stem += Lower(c);
    for (const char16_t* device : {u"con", u"prn", u"aux", u"nul"}) {
        if (stem == device)
            return true;
    }
    return stem.size() == 4 && (stem.starts_with(u"com") || stem.starts_with(u"lpt")) &&
           stem[3] >= u'1' && stem[3] <= u'9';
}

bool Kept(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'_' || c == u'.';
}

std::u16string TrimEnds(std::u16string name) {
    auto strip = [](char16_t c) { return c == u'_' || c == u'.'; };
    while (!name.empty() && strip(name.back()))
        name.pop_back();
    size_t first = 0;
    while (first < name.size() && strip(name[first]))
        ++first;
    return name.substr(first);
}

std::u16string LetterName(char16_t letter) {
    return std::u16string(u"Disc_") + letter;
}

bool HasAudio(const SourceRecord& source) {
    return std::any_of(source.tracks.begin(), source.tracks.end(),
                       [](const TrackRecord& t) { return !t.isData; });
}

std::u16string Joined(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    if (!path.empty() && path.back() != u'/' && path.back() != u'\\')
        path += kPathSeparator;
    return path + std::u16string(name);
}

std::u16string FileNameOf(std::u16string_view path) {
    const size_t slash = path.find_last_of(u"/\\");
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

// The names a source with this base gets, tracks first.
std::vector<std::u16string> NamesFor(const SourceRecord& source, const std::u16string& base) {
    std::vector<std::u16string> names;
    const size_t count = source.tracks.size();
    for (size_t i = 0; i < count; ++i) {
        const std::u16string ext = source.tracks[i].isData ? u".iso" : u".wav";
        names.push_back(count == 1 ? base + ext
                                   : FormatText(u"%s-%02u%s", {base, unsigned(i + 1), ext}));
    }
    names.push_back(base + u".cue");
    if (HasAudio(source)) {
        names.push_back(base + u"-raw.bin");
        names.push_back(base + u"-raw.cue");
    }
    return names;
}

bool AllDistinct(const std::vector<SourceRecord>& sources,
                 const std::vector<std::u16string>& bases) {
    std::vector<std::u16string> all;
    for (size_t i = 0; i < sources.size(); ++i) {
        if (LeftOut(sources[i]))
            continue;
        for (std::u16string& name : NamesFor(sources[i], bases[i]))
            all.push_back(std::move(name));
    }
    for (size_t i = 0; i < all.size(); ++i) {
        for (size_t j = i + 1; j < all.size(); ++j) {
            if (SameName(all[i], all[j]))
                return false;
        }
    }
    return true;
}

bool WriteText(const std::u16string& path, const std::string& text, std::u16string& error) {
    uint32_t code = 0;
    std::unique_ptr<File> file = ActiveFileSystem().CreateNew(path, code);
    if (!file || !file->Write(reinterpret_cast<const uint8_t*>(text.data()), text.size(), code)) {
        error = FormatText(u"Cannot write %s (error %u).", {path, code});
        return false;
    }
    return true;
}

// Appends the track's sectors, read from its image file, to the raw image:
// audio as it is, data as Mode 1 sectors at the track's own addresses.
bool AppendRawTrack(File& out, const TrackRecord& track, std::u16string& error) {
    uint32_t code = 0;
    std::unique_ptr<File> in = ActiveFileSystem().OpenRead(track.imagePath, code);
    if (!in || (!track.isData && !in->Seek(kWaveHeaderBytes))) {
        error = FormatText(u"Cannot open %s (error %u).", {track.imagePath, code});
        return false;
    }
    const uint32_t sectorSize = SectorSize(track.isData);
    std::vector<uint8_t> buffer(size_t{kCopySectors} * sectorSize);
    std::vector<uint8_t> raw(size_t{kCopySectors} * kRawSectorBytes);
    const uint32_t sectors = track.lastLba - track.firstLba + 1;
    for (uint32_t done = 0; done < sectors;) {
        const uint32_t n = std::min(kCopySectors, sectors - done);
        if (!ReadFull(*in, buffer.data(), size_t{n} * sectorSize)) {
            error = FormatText(u"%s is shorter than its track.", {track.imagePath});
            return false;
        }
        const uint8_t* bytes = buffer.data();
        if (track.isData) {
            for (uint32_t k = 0; k < n; ++k) {
                BuildMode1Sector(static_cast<int32_t>(track.firstLba + done + k),
                                 std::span(buffer).subspan(size_t{k} * sectorSize, sectorSize),
                                 std::span(raw).subspan(size_t{k} * kRawSectorBytes));
            }
            bytes = raw.data();
        }
        if (!out.Write(bytes, size_t{n} * kRawSectorBytes, code)) {
            error = FormatText(u"Cannot write the raw image (error %u).", {code});
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

std::u16string SafeFileName(std::u16string_view label) {
    std::u16string name;
    for (char16_t c : label) {
        const char16_t kept = Kept(c) ? c : u'_';
        if (kept == u'_' && !name.empty() && name.back() == u'_')
            continue;
        name += kept;
    }
    name = TrimEnds(std::move(name));
    if (name.size() > kMaxBaseLength)
        name = TrimEnds(name.substr(0, kMaxBaseLength));
    if (!name.empty() && IsDeviceName(name))
        name.insert(std::min(name.find(u'.'), name.size()), 1, u'_');
    return name;
}

std::vector<std::u16string> BackupBaseNames(const std::vector<SourceRecord>& sources) {
    std::vector<std::u16string> bases;
    for (const SourceRecord& s : sources) {
        std::u16string base = SafeFileName(s.volumeLabel);
        bases.push_back(base.empty() ? LetterName(s.driveLetter) : base);
    }
    std::vector<std::u16string> named = bases;
    for (size_t i = 0; i < sources.size(); ++i) {
        for (size_t j = 0; j < sources.size(); ++j) {
            if (i != j && SameName(bases[i], bases[j])) {
                named[i] = bases[i] + u'_' + sources[i].driveLetter;
                break;
            }
        }
    }
    if (!AllDistinct(sources, named)) {
        for (size_t i = 0; i < sources.size(); ++i)
            named[i] = LetterName(sources[i].driveLetter);
    }
    return named;
}

std::vector<BackupFiles> PlanBackupFiles(std::vector<SourceRecord>& sources,
                                         std::u16string_view folder) {
    const std::vector<std::u16string> bases = BackupBaseNames(sources);
    std::vector<BackupFiles> plan(sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
        SourceRecord& source = sources[i];
        if (LeftOut(source))
            continue;
        const std::vector<std::u16string> names = NamesFor(source, bases[i]);
        size_t n = 0;
        for (TrackRecord& t : source.tracks)
            t.imagePath = Joined(folder, names[n++]);
        plan[i].cueSheet = Joined(folder, names[n++]);
        if (n < names.size()) {
            plan[i].rawImage = Joined(folder, names[n++]);
            plan[i].rawCueSheet = Joined(folder, names[n++]);
        }
    }
    return plan;
}

std::vector<std::u16string> BackupPaths(const std::vector<SourceRecord>& sources,
                                        const std::vector<BackupFiles>& files) {
    std::vector<std::u16string> paths;
    for (size_t i = 0; i < sources.size() && i < files.size(); ++i) {
        for (const TrackRecord& t : sources[i].tracks) {
            if (!t.imagePath.empty())
                paths.push_back(t.imagePath);
        }
        for (const std::u16string* p :
             {&files[i].cueSheet, &files[i].rawImage, &files[i].rawCueSheet}) {
            if (!p->empty())
                paths.push_back(*p);
        }
    }
    return paths;
}

bool WriteBackupCueSheets(const SourceRecord& source, const BackupFiles& files,
                          std::u16string& error) {
    std::vector<CueTrackFile> trackFiles;
    std::vector<CueRawTrack> rawTracks;
    for (const TrackRecord& t : source.tracks) {
        trackFiles.push_back({t.isData, FileNameOf(t.imagePath), t.lastLba - t.firstLba + 1});
        rawTracks.push_back({t.isData, t.lastLba - t.firstLba + 1});
    }
    std::optional<std::string> cue = TrackFilesCue(trackFiles, source.marks);
    if (!cue) {
        error = FormatText(u"Cannot describe %s in a cue sheet.", {files.cueSheet});
        return false;
    }
    std::optional<std::string> rawCue;
    if (!files.rawImage.empty()) {
        rawCue = RawImageCue(FileNameOf(files.rawImage), rawTracks, source.marks);
        if (!rawCue) {
            error = FormatText(u"Cannot describe %s in a cue sheet.", {files.rawImage});
            return false;
        }
    }

    FileSystem& fs = ActiveFileSystem();
    auto removeAll = [&] {
        uint32_t code = 0;
        for (const std::u16string* p : {&files.cueSheet, &files.rawImage, &files.rawCueSheet}) {
            if (!p->empty())
                fs.RemoveFile(*p, code);
        }
    };
    if (!WriteText(files.cueSheet, *cue, error))
        return removeAll(), false;
    if (files.rawImage.empty())
        return true;
    uint32_t code = 0;
    std::unique_ptr<File> raw = fs.CreateNew(files.rawImage, code);
    if (!raw) {
        error = FormatText(u"Cannot write %s (error %u).", {files.rawImage, code});
        return removeAll(), false;
    }
    for (const TrackRecord& t : source.tracks) {
        if (!AppendRawTrack(*raw, t, error)) {
            raw.reset();
            return removeAll(), false;
        }
    }
    raw.reset();
    if (!WriteText(files.rawCueSheet, *rawCue, error))
        return removeAll(), false;
    return true;
}

}  // namespace vestrel
