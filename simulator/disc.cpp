#include "simulator/disc.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>
#include <system_error>

#include "drive/text.h"
#include "drive/volume_label.h"
#include "simulator/cd_sector.h"
#include "simulator/trim.h"

namespace vestrel::sim {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kExportChunk = 256;

// Cue sheet keywords are read in any case.
std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool ParseCueTime(const std::string& text, int32_t& frames) {
    unsigned m = 0, s = 0, f = 0;
    char c1 = 0, c2 = 0;
    std::istringstream in(text);
    if (!(in >> m >> c1 >> s >> c2 >> f) || c1 != ':' || c2 != ':' || s >= 60 || f >= 75 || m > 99)
        return false;
    std::string rest;
    if (in >> rest)
        return false;
    frames = static_cast<int32_t>(m * kFramesPerMinute + s * kFramesPerSecond + f);
    return true;
}

std::string CueTime(int32_t frames) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / kFramesPerMinute,
                  (frames / kFramesPerSecond) % 60, frames % kFramesPerSecond);
    return text;
}

// CD-Text items hold up to 80 characters.
constexpr size_t kMaxCdText = 80;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A field that is "quoted" (up to the next quote) or one word, or with
// `wholeRest` the rest of the line; `after` gets what follows it.
bool QuotedOrWord(const std::string& text, std::string& value, std::string& after,
                  bool wholeRest = false) {
    if (!text.empty() && text[0] == '"') {
        const size_t end = text.find('"', 1);
        if (end == std::string::npos)
            return false;
        value = text.substr(1, end - 1);
        after = Trim(text.substr(end + 1));
        return true;
    }
    if (wholeRest) {
        value = text;
        after.clear();
        return value.find('"') == std::string::npos;
    }
    std::istringstream r(text);
    std::string word;
    r >> word;
    std::string rest;
    std::getline(r, rest);
    value = word;
    after = Trim(rest);
    return true;
}

}  // namespace

bool IsValidMcn(std::string_view text) {
    return text.size() == 13 && std::all_of(text.begin(), text.end(), IsDigit);
}

bool IsValidIsrc(std::string_view text) {
    if (text.size() != 12)
        return false;
    for (size_t i = 0; i < 12; ++i) {
        const char c = text[i];
        if (!(IsDigit(c) || (i < 5 && c >= 'A' && c <= 'Z')))
            return false;
    }
    return true;
}

Disc::~Disc() {
    stream_.close();
    if (ownsFile_ && !workFile_.empty()) {
        std::error_code ec;
        fs::remove(workFile_, ec);
    }
}

std::unique_ptr<Disc> Disc::FromIso(const fs::path& iso, uint16_t profile, std::string& error) {
    std::error_code ec;
    uint64_t size = fs::file_size(iso, ec);
    if (ec || size < kUserDataSize) {
        error = "cannot read the image " + iso.string();
        return nullptr;
    }
    std::unique_ptr<Disc> d(new Disc(profile));
    uint32_t blocks = static_cast<uint32_t>((size + kUserDataSize - 1) / kUserDataSize);
    d->file_ = iso;
    d->fromImage_ = true;
    d->regions_.push_back(SectorRegion{0, blocks, 0, kUserDataSize, false});
    d->tracks_.push_back(DiscTrack{1, false, 0, blocks});
    d->status_ = DiscStatus::Complete;
    d->capacity_ = blocks;
    d->recordedEnd = static_cast<int32_t>(blocks);
    d->ReadLabel();
    return d;
}

bool ParseCueSheet(std::string_view text, ParsedCue& sheet, std::string& error) {
    sheet = {};
    size_t lineNumber = 0;
    auto fail = [&](const std::string& why) {
        error = std::to_string(lineNumber) + ": " + why;
        return false;
    };
    for (size_t start = 0; start < text.size();) {
        const size_t newline = std::min(text.find('\n', start), text.size());
        const std::string line(text.substr(start, newline - start));
        start = newline + 1;
        ++lineNumber;
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword))
            continue;
        keyword = Upper(keyword);
        std::string rest;
        std::getline(words, rest);
        rest = Trim(rest);
        ParsedCueTrack* track = sheet.tracks.empty() ? nullptr : &sheet.tracks.back();
        // Whether the current track has reached its INDEX lines, after which
        // FLAGS, ISRC and PREGAP no longer belong to it.
        const bool indexed = track && (track->index0 >= 0 || track->index1 >= 0);
        if (keyword == "FILE") {
            if (!sheet.binary.empty())
                return fail("only one FILE is supported");
            std::string name, kind;
            if (!QuotedOrWord(rest, name, kind))
                return fail("unterminated file name");
            if (name.empty())
                return fail("FILE names no file");
            if (Upper(kind) != "BINARY")
                return fail("only BINARY files are supported");
            sheet.binary = name;
        } else if (keyword == "TRACK") {
            ParsedCueTrack t;
            std::string mode;
            std::istringstream r(rest);
            if (!(r >> t.number >> mode) || t.number < 1 || t.number > 99)
                return fail("bad TRACK line");
            if (track && t.number != track->number + 1)
                return fail("track numbers must follow each other");
            if (!track && t.number != 1)
                return fail("the first track must be track 1");
            if (track && track->index1 < 0)
                return fail("track " + std::to_string(track->number) + " has no INDEX 01");
            mode = Upper(mode);
            if (mode == "AUDIO") {
                t.audio = true;
            } else if (mode == "MODE1/2352") {
                t.control = kControlData;
            } else if (mode == "MODE1/2048") {
                t.stride = kUserDataSize;
                t.control = kControlData;
            } else {
                return fail("unsupported track mode " + mode);
            }
            sheet.tracks.push_back(t);
        } else if (keyword == "INDEX") {
            int number = -1;
            std::string time, extra;
            int32_t frames = 0;
            std::istringstream r(rest);
            if (!track || !(r >> number >> time) || (r >> extra) || number < 0 || number > 99 ||
                !ParseCueTime(time, frames))
                return fail("bad INDEX line");
            const int next = track->index1 >= 0   ? 2 + static_cast<int>(track->laterIndexes.size())
                             : track->index0 >= 0 ? 1
                                                  : -1;
            if (next < 0 ? number > 1 : number != next)
                return fail("INDEX numbers must follow each other from 00 or 01");
            const int32_t previous = number == 1   ? track->index0
                                     : number == 2 ? track->index1
                                                   : (number > 2 ? track->laterIndexes.back() : -1);
            if (number > 1 ? frames <= previous : frames < previous)
                return fail("INDEX times must rise");
            if (number == 0)
                track->index0 = frames;
            else if (number == 1)
                track->index1 = frames;
            else
                track->laterIndexes.push_back(frames);
        } else if (keyword == "PREGAP") {
            int32_t frames = 0;
            if (!track || indexed || track->pregap > 0)
                return fail("PREGAP belongs to a track, once, before its INDEX lines");
            if (!ParseCueTime(rest, frames))
                return fail("bad PREGAP time");
            track->pregap = frames;
        } else if (keyword == "POSTGAP") {
            return fail(keyword + " is not supported");
        } else if (keyword == "CATALOG") {
            if (!sheet.catalog.empty() || track)
                return fail("CATALOG belongs before the first TRACK, once");
            if (!IsValidMcn(rest))
                return fail("CATALOG takes 13 digits");
            sheet.catalog = rest;
        } else if (keyword == "ISRC") {
            if (!track || indexed || !track->isrc.empty())
                return fail("ISRC belongs to a track, once, before its INDEX lines");
            if (!track->audio)
                return fail("only AUDIO tracks carry an ISRC");
            if (!IsValidIsrc(rest))
                return fail("ISRC takes 5 letters or digits, then 7 digits");
            track->isrc = rest;
        } else if (keyword == "FLAGS") {
            if (!track || indexed || (track->control & ~kControlData) != 0 || track->scms)
                return fail("FLAGS belongs to a track, once, before its INDEX lines");
            std::istringstream r(rest);
            std::string flag;
            uint8_t control = 0;
            bool any = false;
            while (r >> flag) {
                flag = Upper(flag);
                any = true;
                if (flag == "DCP")
                    control |= kControlCopyPermitted;
                else if (flag == "PRE")
                    control |= kControlPreEmphasis;
                else if (flag == "4CH")
                    control |= kControlFourChannel;
                else if (flag == "SCMS")
                    track->scms = true;
                else
                    return fail("unknown flag " + flag);
            }
            if (!any)
                return fail("FLAGS names no flag");
            if (!track->audio && (control & (kControlPreEmphasis | kControlFourChannel)))
                return fail("PRE and 4CH are for AUDIO tracks");
            track->control |= control;
        } else if (keyword == "TITLE" || keyword == "PERFORMER" || keyword == "SONGWRITER") {
            CdTexts& texts = track ? track->text : sheet.text;
            std::string& field = keyword == "TITLE"       ? texts.title
                                 : keyword == "PERFORMER" ? texts.performer
                                                          : texts.songwriter;
            std::string value, after;
            if (!QuotedOrWord(rest, value, after, true) || !after.empty())
                return fail("bad " + keyword + " text");
            if (!field.empty())
                return fail(keyword + " given twice");
            if (value.empty() || value.size() > kMaxCdText)
                return fail(keyword + " takes 1 to 80 characters");
            field = value;
        } else if (keyword == "CDTEXTFILE") {
            std::string name, after;
            if (track || !sheet.cdTextFile.empty())
                return fail("CDTEXTFILE belongs before the first TRACK, once");
            if (!QuotedOrWord(rest, name, after) || name.empty() || !after.empty())
                return fail("bad CDTEXTFILE line");
            sheet.cdTextFile = name;
        }
        // REM and the rest: not needed.
    }
    if (sheet.tracks.empty() || sheet.binary.empty())
        return fail("no FILE or no TRACK");
    return true;
}

bool LayOutCueSheet(const ParsedCue& sheet, uint64_t binBytes, CueLayout& layout,
                    std::string& error) {
    layout = {};
    auto fail = [&](const std::string& why) {
        error = why;
        return false;
    };
    const std::vector<ParsedCueTrack>& tracks = sheet.tracks;
    if (tracks.empty())
        return fail("no TRACK");
    std::vector<SectorRegion>& regions = layout.regions;
    DiscMetadata& metadata = layout.metadata;
    metadata.mcn = sheet.catalog;
    metadata.text = sheet.text;
    metadata.cdTextFile = sheet.cdTextFile;
    // PREGAP silence is on the disc but not in the file: each one moves
    // the later sectors this many blocks on from their place in the file.
    int32_t shift = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const ParsedCueTrack& t = tracks[i];
        if (t.index1 < 0)
            return fail("track " + std::to_string(t.number) + " has no INDEX 01");
        int32_t first = t.index0 >= 0 ? t.index0 : t.index1;
        if (first > t.index1)
            return fail("INDEX 00 after INDEX 01");
        uint64_t offset = static_cast<uint64_t>(first) * t.stride;
        if (i > 0) {
            // The previous track keeps at least the sectors of its indexes.
            const ParsedCueTrack& before = tracks[i - 1];
            if (first <= (before.laterIndexes.empty() ? before.index1 : before.laterIndexes.back()))
                return fail("tracks out of order");
            SectorRegion& prev = regions.back();
            prev.count = static_cast<uint32_t>(first + shift - prev.firstLba);
            offset = prev.fileOffset + uint64_t{prev.count} * prev.stride;
        }
        TrackMetadata m;
        m.number = static_cast<uint8_t>(t.number);
        m.control = t.control;
        m.scms = t.scms;
        m.isrc = t.isrc;
        m.text = t.text;
        const int32_t gapStart = first + shift;
        if (t.pregap > 0) {
            if (int64_t{gapStart} + t.pregap > kMaxCueFrames)
                return fail("the BINARY file holds more than a CD");
            regions.push_back(SectorRegion{gapStart, static_cast<uint32_t>(t.pregap), 0, t.stride,
                                           t.audio, true});
            shift += t.pregap;
        }
        regions.push_back(SectorRegion{first + shift, 0, offset, t.stride, t.audio});
        m.indexes.push_back(i == 0 ? -kLeadInFrames
                                   : (t.pregap > 0 || t.index0 >= 0 ? gapStart : t.index1 + shift));
        m.indexes.push_back(t.index1 + shift);
        for (int32_t later : t.laterIndexes)
            m.indexes.push_back(later + shift);
        metadata.tracks.push_back(std::move(m));
    }
    SectorRegion& last = regions.back();
    if (binBytes <= last.fileOffset)
        return fail("the BINARY file ends before the last track");
    // No CD is longer than 99:59:74.
    const uint64_t lastSectors = (binBytes - last.fileOffset) / last.stride;
    if (lastSectors > static_cast<uint64_t>(kMaxCueFrames - last.firstLba))
        return fail("the BINARY file holds more than a CD");
    last.count = static_cast<uint32_t>(lastSectors);
    if (last.count == 0)
        return fail("the last track is empty");
    layout.leadOut = last.firstLba + static_cast<int32_t>(last.count);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const TrackMetadata& m = metadata.tracks[i];
        const int32_t end = i + 1 < tracks.size() ? metadata.tracks[i + 1].Start() : layout.leadOut;
        if (end <= m.indexes.back())
            return fail("track " + std::to_string(tracks[i].number) + " is empty");
        layout.tracks.push_back(DiscTrack{m.number, tracks[i].audio, m.Start(),
                                          static_cast<uint32_t>(end - m.Start())});
    }
    return true;
}

std::unique_ptr<Disc> Disc::FromCue(const fs::path& cue, std::string& error) {
    std::ifstream in(cue, std::ios::binary);
    if (!in) {
        error = "cannot open " + cue.string();
        return nullptr;
    }
    // A cue sheet is a few lines per track; anything much longer is not one.
    constexpr size_t kMaxCueBytes = 1 << 20;
    std::string text(kMaxCueBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxCueBytes) {
        error = cue.string() + ": longer than a cue sheet can be";
        return nullptr;
    }
    ParsedCue sheet;
    if (!ParseCueSheet(text, sheet, error)) {
        error = cue.string() + ":" + error;
        return nullptr;
    }
    const fs::path bin = cue.parent_path() / sheet.binary;
    std::error_code ec;
    const uint64_t binBytes = fs::file_size(bin, ec);
    CueLayout layout;
    if (ec) {
        error = cue.string() + ": cannot read " + bin.string();
        return nullptr;
    }
    if (!LayOutCueSheet(sheet, binBytes, layout, error)) {
        error = cue.string() + ": " + error;
        return nullptr;
    }
    std::unique_ptr<Disc> d(new Disc(0x0008));
    d->file_ = bin;
    d->fromImage_ = true;
    d->regions_ = std::move(layout.regions);
    d->tracks_ = std::move(layout.tracks);
    d->metadata = std::move(layout.metadata);
    d->status_ = DiscStatus::Complete;
    d->capacity_ = static_cast<uint32_t>(layout.leadOut);
    d->recordedEnd = layout.leadOut;
    d->ReadLabel();
    return d;
}

std::unique_ptr<Disc> Disc::Blank(uint16_t profile, const fs::path& workFile) {
    std::unique_ptr<Disc> d(new Disc(profile));
    d->workFile_ = workFile;
    d->file_ = workFile;
    d->ownsFile_ = true;
    d->capacity_ = d->rules_.blankCapacity;
    std::error_code ec;
    fs::remove(workFile, ec);
    return d;
}

const TrackMetadata* DiscMetadata::Track(uint8_t number) const {
    for (const TrackMetadata& t : tracks) {
        if (t.number == number)
            return &t;
    }
    return nullptr;
}

uint8_t Disc::TrackControl(const DiscTrack& track) const {
    if (const TrackMetadata* m = metadata.Track(track.number))
        return m->control;
    return track.audio ? 0 : kControlData;
}

int32_t Disc::LeadOut() const {
    if (tracks_.empty())
        return 0;
    const DiscTrack& t = tracks_.back();
    return t.start + static_cast<int32_t>(t.length);
}

SectorRegion Disc::RecordingRegion(int32_t firstLba, uint32_t count, bool audio) const {
    if (rules_.family == MediaFamily::Cd) {
        return SectorRegion{firstLba, count,
                            static_cast<uint64_t>(firstLba + kLeadInFrames) * kRawSectorSize,
                            kRawSectorSize, audio};
    }
    return SectorRegion{firstLba, count, static_cast<uint64_t>(firstLba) * kUserDataSize,
                        kUserDataSize, false};
}

const SectorRegion* Disc::FindRegion(int32_t lba) const {
    for (const SectorRegion& r : regions_) {
        if (lba >= r.firstLba && lba - r.firstLba < static_cast<int64_t>(r.count))
            return &r;
    }
    return nullptr;
}

bool Disc::IsAudio(int32_t lba) const {
    const SectorRegion* r = FindRegion(lba);
    return r && r->audio;
}

bool Disc::OpenFile(bool forWriting) {
    if (stream_.is_open() && (streamWritable_ || !forWriting))
        return true;
    stream_.close();
    stream_.clear();
    if (forWriting) {
        if (fromImage_)
            return false;
        if (!fs::exists(file_)) {
            std::ofstream create(file_, std::ios::binary);
            if (!create)
                return false;
        }
        stream_.open(file_, std::ios::in | std::ios::out | std::ios::binary);
        streamWritable_ = true;
    } else {
        if (!fs::exists(file_))
            return false;
        stream_.open(file_, std::ios::in | std::ios::binary);
        streamWritable_ = false;
    }
    return stream_.is_open();
}

bool Disc::ReadSector(const SectorRegion& r, int32_t lba, uint8_t* out, uint32_t bytes,
                      uint32_t offsetInSector) {
    if (r.silent) {
        std::memset(out, 0, bytes);
        return true;
    }
    if (!OpenFile(false)) {
        std::memset(out, 0, bytes);
        return !fs::exists(file_);  // nothing written yet reads as zeros
    }
    uint64_t at =
        r.fileOffset + static_cast<uint64_t>(lba - r.firstLba) * r.stride + offsetInSector;
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(at));
    stream_.read(reinterpret_cast<char*>(out), bytes);
    // Past the end of a sparse file: zeros.
    const size_t got = stream_.gcount() > 0 ? static_cast<size_t>(stream_.gcount()) : 0;
    if (got < bytes)
        std::memset(out + got, 0, bytes - got);
    stream_.clear();
    return true;
}

SectorRead Disc::ReadUserData(int32_t lba, uint32_t count, uint8_t* out) {
    for (uint32_t i = 0; i < count;) {
        int32_t at = lba + static_cast<int32_t>(i);
        const SectorRegion* r = FindRegion(at);
        if (!r)
            return SectorRead::OutOfRange;
        if (r->audio)
            return SectorRead::IllegalMode;
        if (r->stride == kUserDataSize) {
            // User data lies back to back: the whole run within the region
            // is one read, as a drive streams it.
            const uint32_t run = std::min<uint32_t>(
                count - i,
                static_cast<uint32_t>(r->count - static_cast<uint32_t>(at - r->firstLba)));
            if (!ReadSector(*r, at, out + size_t{i} * kUserDataSize, run * kUserDataSize, 0))
                return SectorRead::FileError;
            i += run;
            continue;
        }
        if (!ReadSector(*r, at, out + size_t{i} * kUserDataSize, kUserDataSize, kUserDataOffset))
            return SectorRead::FileError;
        ++i;
    }
    return SectorRead::Ok;
}

SectorRead Disc::ReadRaw(int32_t lba, uint32_t count, uint8_t* out) {
    std::vector<uint8_t> user(kUserDataSize);
    for (uint32_t i = 0; i < count; ++i) {
        int32_t at = lba + static_cast<int32_t>(i);
        const SectorRegion* r = FindRegion(at);
        if (!r)
            return SectorRead::OutOfRange;
        uint8_t* sector = out + size_t{i} * kRawSectorSize;
        if (r->stride == kRawSectorSize) {
            if (!ReadSector(*r, at, sector, kRawSectorSize, 0))
                return SectorRead::FileError;
        } else {
            if (!ReadSector(*r, at, user.data(), kUserDataSize, 0))
                return SectorRead::FileError;
            BuildMode1Sector(at, user, std::span<uint8_t>(sector, kRawSectorSize));
        }
    }
    return SectorRead::Ok;
}

bool Disc::StoreSectors(int32_t lba, uint32_t count, const uint8_t* data) {
    if (!OpenFile(true))
        return false;
    SectorRegion r = RecordingRegion(lba, count, false);
    const uint64_t bytes = uint64_t{count} * r.stride;
    stream_.clear();
    // Zeros past the end of the file are left as a hole, which reads as
    // zeros: a large copy's empty stretches cost no disk.
    stream_.seekp(0, std::ios::end);
    const std::streamoff end = stream_.tellp();
    if (end >= 0 && static_cast<uint64_t>(end) <= r.fileOffset &&
        std::all_of(data, data + bytes, [](uint8_t b) { return b == 0; })) {
        return true;
    }
    stream_.seekp(static_cast<std::streamoff>(r.fileOffset));
    stream_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(bytes));
    stream_.flush();
    return static_cast<bool>(stream_);
}

void Disc::SetRecorded(std::vector<DiscTrack> tracks, std::vector<SectorRegion> regions,
                       DiscStatus status, uint32_t capacityBlocks) {
    tracks_ = std::move(tracks);
    regions_ = std::move(regions);
    status_ = status;
    if (capacityBlocks)
        capacity_ = capacityBlocks;
    ReadLabel();
}

void Disc::Erase() {
    if (workFile_.empty())
        return;  // a pressed disc has nothing to erase
    stream_.close();
    fromImage_ = false;
    file_ = workFile_;
    std::error_code ec;
    fs::remove(file_, ec);
    tracks_.clear();
    regions_.clear();
    metadata = {};
    status_ = DiscStatus::Empty;
    capacity_ = rules_.blankCapacity;
    recordedEnd = 0;
    recordedBy = 0;
    writtenAt = 0;
    closed = true;
    label.clear();
}

void Disc::Format() {
    Erase();
    formatted = true;
    SetRecorded({DiscTrack{1, false, 0, capacity_}}, {RecordingRegion(0, capacity_, false)},
                DiscStatus::Complete, 0);
}

bool Disc::MarkUsed(const fs::path& iso, uint32_t blocks, std::string& error) {
    if (!iso.empty()) {
        std::error_code ec;
        uint64_t size = fs::file_size(iso, ec);
        if (ec || size < kUserDataSize) {
            error = "cannot read the image " + iso.string();
            return false;
        }
        blocks = static_cast<uint32_t>((size + kUserDataSize - 1) / kUserDataSize);
        file_ = iso;
        fromImage_ = true;
        regions_ = {SectorRegion{0, blocks, 0, kUserDataSize, false}};
    } else {
        regions_ = {RecordingRegion(0, blocks, false)};
    }
    tracks_ = {DiscTrack{1, false, 0, blocks}};
    status_ = DiscStatus::Complete;
    formatted = rules_.takesFormat();
    recordedEnd = static_cast<int32_t>(blocks);
    ReadLabel();
    return true;
}

void Disc::ReadLabel() {
    label.clear();
    if (tracks_.empty())
        return;
    if (tracks_.front().audio) {
        label = "Audio CD";
        return;
    }
    // As the volume services of Windows name it: ISO 9660, else UDF.
    const SectorReader read = [this](uint32_t lba, std::span<uint8_t> sector) {
        return sector.size() >= kUserDataSize && lba <= INT32_MAX &&
               ReadUserData(static_cast<int32_t>(lba), 1, sector.data()) == SectorRead::Ok;
    };
    const int32_t start = tracks_.front().start;
    if (start < 0)
        return;
    if (std::optional<std::u16string> found =
            DataTrackVolumeLabel(static_cast<uint32_t>(start), read)) {
        label = ToUtf8(TrimSpaces(*found));
    }
}

bool Disc::ExportIso(const fs::path& iso, std::string& error) {
    auto track =
        std::find_if(tracks_.begin(), tracks_.end(), [](const DiscTrack& t) { return !t.audio; });
    if (track == tracks_.end()) {
        error = "the disc has no data track";
        return false;
    }
    uint32_t length = track->length;
    if (rules_.takesFormat() && recordedEnd > track->start)
        length = std::min(length, static_cast<uint32_t>(recordedEnd - track->start));
    std::ofstream out(iso, std::ios::binary | std::ios::trunc);
    std::vector<uint8_t> buffer(size_t{kExportChunk} * kUserDataSize);
    for (uint32_t done = 0; out && done < length; done += kExportChunk) {
        uint32_t n = std::min(kExportChunk, length - done);
        if (ReadUserData(track->start + static_cast<int32_t>(done), n, buffer.data()) !=
            SectorRead::Ok) {
            error = "cannot read the disc's sectors";
            return false;
        }
        out.write(reinterpret_cast<const char*>(buffer.data()),
                  static_cast<std::streamsize>(size_t{n} * kUserDataSize));
    }
    if (!out) {
        error = "cannot write " + iso.string();
        return false;
    }
    return true;
}

bool Disc::ExportCueBin(const fs::path& cue, const fs::path& bin, std::string& error) {
    if (rules_.family != MediaFamily::Cd || tracks_.empty()) {
        error = "only recorded or pressed CDs export as cue/bin";
        return false;
    }
    std::ofstream out(bin, std::ios::binary | std::ios::trunc);
    int32_t end = LeadOut();
    std::vector<uint8_t> buffer(size_t{kExportChunk} * kRawSectorSize);
    for (int32_t lba = 0; out && lba < end; lba += static_cast<int32_t>(kExportChunk)) {
        uint32_t n = static_cast<uint32_t>(std::min<int32_t>(kExportChunk, end - lba));
        if (ReadRaw(lba, n, buffer.data()) != SectorRead::Ok) {
            error = "cannot read the disc's sectors";
            return false;
        }
        out.write(reinterpret_cast<const char*>(buffer.data()),
                  static_cast<std::streamsize>(size_t{n} * kRawSectorSize));
    }
    std::ofstream sheet(cue, std::ios::trunc);
    // Texts a recorder took from the lead-in may hold what a quoted cue
    // sheet text cannot (quotes, line ends, more than 80 characters): those
    // are left out.
    auto text = [&](const char* keyword, const std::string& value, const char* indent) {
        const bool fits = !value.empty() && value.size() <= kMaxCdText &&
                          std::none_of(value.begin(), value.end(), [](char c) {
                              return c == '"' || static_cast<unsigned char>(c) < 0x20;
                          });
        if (fits)
            sheet << indent << keyword << " \"" << value << "\"\n";
    };
    auto texts = [&](const CdTexts& t, const char* indent) {
        text("TITLE", t.title, indent);
        text("PERFORMER", t.performer, indent);
        text("SONGWRITER", t.songwriter, indent);
    };
    if (!metadata.mcn.empty())
        sheet << "CATALOG " << metadata.mcn << "\n";
    if (!metadata.cdTextFile.empty())
        sheet << "CDTEXTFILE \"" << metadata.cdTextFile << "\"\n";
    texts(metadata.text, "");
    sheet << "FILE \"" << bin.filename().string() << "\" BINARY\n";
    for (const DiscTrack& t : tracks_) {
        char number[4];
        std::snprintf(number, sizeof number, "%02u", t.number);
        sheet << "  TRACK " << number << (t.audio ? " AUDIO\n" : " MODE1/2352\n");
        const TrackMetadata* m = metadata.Track(t.number);
        if (!m || m->indexes.size() < 2) {
            sheet << "    INDEX 01 " << CueTime(t.start) << "\n";
            continue;
        }
        texts(m->text, "    ");
        std::string flags;
        if (m->control & kControlCopyPermitted)
            flags += " DCP";
        if (m->control & kControlFourChannel)
            flags += " 4CH";
        if (m->control & kControlPreEmphasis)
            flags += " PRE";
        if (m->scms)
            flags += " SCMS";
        if (!flags.empty())
            sheet << "    FLAGS" << flags << "\n";
        if (!m->isrc.empty())
            sheet << "    ISRC " << m->isrc << "\n";
        // The file starts at LBA 0: track 1's pre-gap shows only as far as
        // it holds hidden audio there.
        const int32_t gap = std::max(m->indexes[0], 0);
        if (gap < m->indexes[1])
            sheet << "    INDEX 00 " << CueTime(gap) << "\n";
        for (size_t i = 1; i < m->indexes.size(); ++i) {
            std::snprintf(number, sizeof number, "%02u", static_cast<unsigned>(i % 100));
            sheet << "    INDEX " << number << " " << CueTime(m->indexes[i]) << "\n";
        }
    }
    if (!out || !sheet) {
        error = "cannot write " + cue.string();
        return false;
    }
    return true;
}

}  // namespace vestrel::sim
