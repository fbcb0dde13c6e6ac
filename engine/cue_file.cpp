#include "engine/cue_file.h"

#include <algorithm>

#include "drive/subchannel_q.h"
#include "drive/text.h"

namespace vestrel {

namespace {

constexpr uint64_t kFramesPerSecond = 75;
constexpr uint64_t kFramesPerMinute = 60 * kFramesPerSecond;

// At least two digits, with a leading zero.
std::string TwoDigits(uint64_t value) {
    std::string digits = std::to_string(value);
    return digits.size() < 2 ? "0" + digits : digits;
}

const TrackMarks& MarksOf(const DiscMarks& marks, size_t track) {
    static const TrackMarks kNoMarks;
    return marks.tracks.empty() ? kNoMarks : marks.tracks[track];
}

std::string TextLines(const CdTexts& texts, const char* indent) {
    std::string lines;
    for (const auto& [command, text] :
         {std::pair{"TITLE", &texts.title}, std::pair{"PERFORMER", &texts.performer},
          std::pair{"SONGWRITER", &texts.songwriter}}) {
        if (!text->empty())
            lines += std::string(indent) + command + " \"" + *text + "\"\n";
    }
    return lines;
}

std::string DiscLines(const DiscMarks& marks) {
    std::string lines;
    if (!marks.catalogNumber.empty())
        lines += "CATALOG " + marks.catalogNumber + "\n";
    return lines + TextLines(marks.texts, "");
}

// TRACK and what stands before the track's first INDEX: texts, ISRC, FLAGS.
std::string TrackHead(size_t index, const char* mode, const TrackMarks& m) {
    std::string lines = "  TRACK " + TwoDigits(index + 1) + " " + mode + "\n";
    lines += TextLines(m.texts, "    ");
    if (!m.isrc.empty())
        lines += "    ISRC " + m.isrc + "\n";
    if (m.flags != 0) {
        lines += "    FLAGS";
        if (m.flags & track_flag::CopyPermitted)
            lines += " DCP";
        if (m.flags & track_flag::FourChannels)
            lines += " 4CH";
        if (m.flags & track_flag::PreEmphasis)
            lines += " PRE";
        lines += "\n";
    }
    return lines;
}

std::string IndexLine(size_t number, uint64_t at) {
    return "    INDEX " + TwoDigits(number) + " " + CueTime(at) + "\n";
}

// INDEX 01 at `index1` and the track's INDEX 02 and up after it.
std::string StartLines(const TrackMarks& m, uint64_t index1) {
    std::string lines = IndexLine(1, index1);
    for (size_t i = 0; i < m.indexes.size(); ++i)
        lines += IndexLine(i + 2, index1 + m.indexes[i]);
    return lines;
}

std::string FileLine(std::u16string_view name, const char* kind) {
    return "FILE \"" + ToUtf8(name) + "\" " + kind + "\n";
}

// The words of one line: quoted names (quotes removed) and bare words.
bool SplitWords(std::string_view line, std::vector<std::string>& words, std::string& error) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
        } else if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                error = "a quote is not closed";
                return false;
            }
            words.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            const size_t end = std::min(line.find_first_of(" \t\"", i), line.size());
            words.emplace_back(line.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

std::string Upper(std::string_view word) {
    std::string out(word);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// A number of 1 to `digits` decimal digits.
std::optional<uint32_t> Number(std::string_view word, size_t digits) {
    if (word.empty() || word.size() > digits)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

// "mm:ss:ff" as a count of sectors; seconds below 60, frames below 75.
std::optional<uint64_t> Time(std::string_view word) {
    const size_t first = word.find(':');
    const size_t second = first == std::string_view::npos ? first : word.find(':', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    const auto m = Number(word.substr(0, first), 4);
    const auto s = Number(word.substr(first + 1, second - first - 1), 2);
    const auto f = Number(word.substr(second + 1), 2);
    if (!m || !s || !f || *s >= 60 || *f >= kFramesPerSecond)
        return std::nullopt;
    return *m * kFramesPerMinute + *s * kFramesPerSecond + *f;
}

// Commands of texts and data this copy does not carry, read over.
bool PassedOver(std::string_view command) {
    for (const char* known : {"CDTEXTFILE", "COMPOSER", "ARRANGER", "MESSAGE", "GENRE", "DISC_ID",
                              "UPC_EAN", "REM", "TOC_INFO1", "TOC_INFO2", "SIZE_INFO"}) {
        if (command == known)
            return true;
    }
    return false;
}

// Reads the sheet line by line, keeping what the last TRACK still lacks.
class CueReader {
  public:
    bool Line(size_t number, std::string_view text, CueReadError& error);
    bool Finish(std::string& error, size_t& line);
    std::vector<CueReadFile> files;
    DiscMarks marks;  // one TrackMarks per track read

  private:
    bool File(const std::vector<std::string>& w, std::string& error);
    bool Track(const std::vector<std::string>& w, std::string& error);
    bool Index(const std::vector<std::string>& w, std::string& error);
    bool Mark(const std::string& command, const std::vector<std::string>& w, std::string& error);
    bool TrackComplete(std::string& error, size_t& line) const;
    bool InTrack() const { return !files.empty() && !files.back().tracks.empty(); }

    size_t line_ = 0;
    int lastIndex_ = -1;  // of the current track
    // The last index's time in the current file; none before its first.
    std::optional<uint64_t> lastTime_;
    bool hasStart_ = false;
    std::optional<uint64_t> index0_;  // the current track's, in its file
    bool catalogSeen_ = false;
};

bool CueReader::TrackComplete(std::string& error, size_t& line) const {
    if (!InTrack() || hasStart_)
        return true;
    line = files.back().tracks.back().line;
    error = "track " + std::to_string(files.back().tracks.back().number) + " has no INDEX 01";
    return false;
}

bool CueReader::File(const std::vector<std::string>& w, std::string& error) {
    if (w.size() != 3 || w[1].empty()) {
        error = "FILE takes a name and a type";
        return false;
    }
    const std::string type = Upper(w[2]);
    if (type != "BINARY" && type != "WAVE") {
        error = "file type " + w[2] + " is not supported (BINARY or WAVE)";
        return false;
    }
    // A track with its INDEX 00 and no INDEX 01 yet goes on in this file:
    // its pre-gap is the tail of the file before.
    std::optional<CueReadTrack> goesOn;
    if (InTrack() && !hasStart_ && index0_ && !files.back().tracks.back().preGapInFileBefore) {
        goesOn = files.back().tracks.back();
        goesOn->preGapInFileBefore = index0_;
        files.back().tracks.pop_back();
    }
    if (!files.empty() && files.back().tracks.empty()) {
        error = "the FILE before names no track";
        return false;
    }
    files.push_back({w[1], type == "WAVE", line_, {}});
    if (goesOn) {
        if (files.back().wave && goesOn->mode != CueMode::Audio) {
            error = "a WAVE file holds audio tracks only";
            return false;
        }
        files.back().tracks.push_back(*goesOn);
    }
    lastTime_.reset();
    index0_.reset();
    return true;
}

bool CueReader::Track(const std::vector<std::string>& w, std::string& error) {
    if (files.empty()) {
        error = "TRACK before any FILE";
        return false;
    }
    const std::optional<uint32_t> number = w.size() == 3 ? Number(w[1], 2) : std::nullopt;
    if (!number) {
        error = "TRACK takes a number and a mode";
        return false;
    }
    const uint32_t expected = static_cast<uint32_t>(marks.tracks.size()) + 1;
    if (*number != expected) {
        error = "track " + w[1] + " where track " + std::to_string(expected) + " belongs";
        return false;
    }
    const std::string mode = Upper(w[2]);
    CueReadTrack track;
    track.number = *number;
    track.line = line_;
    if (mode == "AUDIO") {
        track.mode = CueMode::Audio;
    } else if (mode == "MODE1/2048") {
        track.mode = CueMode::Mode1;
    } else if (mode == "MODE1/2352") {
        track.mode = CueMode::Mode1Raw;
    } else {
        error = "track mode " + w[2] + " is not supported (AUDIO, MODE1/2048 or MODE1/2352)";
        return false;
    }
    if (files.back().wave && track.mode != CueMode::Audio) {
        error = "a WAVE file holds audio tracks only";
        return false;
    }
    files.back().tracks.push_back(track);
    marks.tracks.emplace_back();
    lastIndex_ = -1;
    hasStart_ = false;
    index0_.reset();
    return true;
}

bool CueReader::Index(const std::vector<std::string>& w, std::string& error) {
    if (!InTrack()) {
        error = "INDEX before any TRACK";
        return false;
    }
    const std::optional<uint32_t> index = w.size() == 3 ? Number(w[1], 2) : std::nullopt;
    const std::optional<uint64_t> time = w.size() == 3 ? Time(w[2]) : std::nullopt;
    if (!index || !time) {
        error = "INDEX takes a number and a time mm:ss:ff";
        return false;
    }
    std::vector<CueReadTrack>& tracks = files.back().tracks;
    CueReadTrack& track = tracks.back();
    TrackMarks& m = marks.tracks.back();
    if (*index == 0 && hasStart_) {
        error = "INDEX 00 after INDEX 01";
        return false;
    }
    if (static_cast<int>(*index) <= lastIndex_) {
        error = "the indexes of a track rise";
        return false;
    }
    if (*index > 1 && !hasStart_) {
        error = "INDEX " + w[1] + " before INDEX 01";
        return false;
    }
    if (*index > 1 && static_cast<int>(*index) != lastIndex_ + 1) {
        error = "INDEX " + w[1] + " where INDEX " + TwoDigits(lastIndex_ + 1) + " belongs";
        return false;
    }
    // Times rise through a file; only INDEX 01 may share its INDEX 00's.
    const bool mayEqual = lastIndex_ == 0;
    if (lastTime_ && (*time < *lastTime_ || (*time == *lastTime_ && !mayEqual))) {
        error = "INDEX " + w[1] + " at " + w[2] + " lies before the index ahead of it";
        return false;
    }
    if (*index == 1 && track.preGapInFileBefore && *time != 0) {
        error = "INDEX 01 must start its file: the INDEX 00 of track " +
                std::to_string(track.number) + " lies in the file before";
        return false;
    }
    if (*index == 0)
        index0_ = *time;
    if (*index == 1) {
        track.start = *time;
        track.startLine = line_;
        hasStart_ = true;
        const bool firstInFile = tracks.size() == 1;
        if (track.number == 1 && track.mode == CueMode::Audio) {
            // Audio before track 1's INDEX 01, from its INDEX 00 or the
            // start of the file, was hidden before the track's start.
            m.hiddenAudio = static_cast<uint32_t>(*time - index0_.value_or(0));
        } else if (index0_ && !firstInFile) {
            // The pre-gap lies in the sectors of the track before.
            m.preGap = static_cast<uint32_t>(*time - *index0_);
        }
    }
    if (*index > 1)
        m.indexes.push_back(static_cast<uint32_t>(*time - track.start));
    lastIndex_ = static_cast<int>(*index);
    lastTime_ = *time;
    return true;
}

// Codes, flags and texts: the disc's before the first TRACK, else the
// last track's.
bool CueReader::Mark(const std::string& command, const std::vector<std::string>& w,
                     std::string& error) {
    TrackMarks* track = marks.tracks.empty() ? nullptr : &marks.tracks.back();
    if (command == "CATALOG") {
        if (w.size() != 2 || !IsCatalogNumber(w[1])) {
            error = "CATALOG takes a catalog number of 13 digits";
            return false;
        }
        if (catalogSeen_) {
            error = "a second CATALOG";
            return false;
        }
        catalogSeen_ = true;
        // Thirteen zeros are what discs without a number carry.
        if (w[1] != "0000000000000")
            marks.catalogNumber = w[1];
        return true;
    }
    if (command == "ISRC") {
        if (!track) {
            error = "ISRC before any TRACK";
            return false;
        }
        if (w.size() != 2 || !IsIsrc(w[1])) {
            error = "ISRC takes a code of 12: 2 letters, 3 letters or digits, 7 digits";
            return false;
        }
        track->isrc = w[1];
        return true;
    }
    if (command == "FLAGS") {
        if (!track || w.size() < 2) {
            error = "FLAGS takes DCP, 4CH, PRE or SCMS within a track";
            return false;
        }
        for (size_t i = 1; i < w.size(); ++i) {
            const std::string flag = Upper(w[i]);
            if (flag == "DCP") {
                track->flags |= track_flag::CopyPermitted;
            } else if (flag == "4CH") {
                track->flags |= track_flag::FourChannels;
            } else if (flag == "PRE") {
                track->flags |= track_flag::PreEmphasis;
            } else if (flag != "SCMS") {
                error = "unknown flag " + w[i] + " (DCP, 4CH, PRE or SCMS)";
                return false;
            }
        }
        return true;
    }
    // TITLE, PERFORMER, SONGWRITER: a quoted text, or bare words.
    if (w.size() < 2) {
        error = command + " takes a text";
        return false;
    }
    std::string text = w[1];
    for (size_t i = 2; i < w.size(); ++i)
        text += " " + w[i];
    CdTexts& texts = track ? track->texts : marks.texts;
    (command == "TITLE"       ? texts.title
     : command == "PERFORMER" ? texts.performer
                              : texts.songwriter) = text;
    return true;
}

bool CueReader::Line(size_t number, std::string_view text, CueReadError& problem) {
    line_ = number;
    problem.line = number;
    std::string& error = problem.text;
    std::vector<std::string> w;
    if (!SplitWords(text, w, error))
        return false;
    if (w.empty())
        return true;
    const std::string command = Upper(w[0]);
    if (command == "FILE" || command == "TRACK") {
        // A FILE may come between a track's INDEX 00 and its INDEX 01.
        const bool goesOn = command == "FILE" && InTrack() && index0_ &&
                            !files.back().tracks.back().preGapInFileBefore;
        if (!goesOn && !TrackComplete(error, problem.line))
            return false;
        return command == "FILE" ? File(w, error) : Track(w, error);
    }
    if (command == "INDEX")
        return Index(w, error);
    if (command == "PREGAP" || command == "POSTGAP") {
        if (!InTrack() || w.size() != 2 || !Time(w[1])) {
            error = command + " takes a time mm:ss:ff within a track";
            return false;
        }
        return true;
    }
    for (const char* mark : {"CATALOG", "ISRC", "FLAGS", "TITLE", "PERFORMER", "SONGWRITER"}) {
        if (command == mark)
            return Mark(command, w, error);
    }
    if (PassedOver(command))
        return true;
    error = "unknown command " + w[0];
    return false;
}

bool CueReader::Finish(std::string& error, size_t& line) {
    if (files.empty()) {
        line = 0;
        error = "no FILE and no TRACK";
        return false;
    }
    if (files.back().tracks.empty()) {
        line = files.back().line;
        error = "the FILE names no track";
        return false;
    }
    return TrackComplete(error, line);
}

}  // namespace

std::optional<std::vector<CueReadFile>> ReadCueSheet(std::string_view text, CueReadError& error,
                                                     DiscMarks* marks) {
    // A UTF-8 byte order mark some editors put first.
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    CueReader reader;
    size_t number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.find('\0') != std::string_view::npos) {
            error = {number, "not a text line"};
            return std::nullopt;
        }
        if (!reader.Line(number, line, error))
            return std::nullopt;
    }
    if (!reader.Finish(error.text, error.line))
        return std::nullopt;
    if (marks)
        *marks = std::move(reader.marks);
    return std::move(reader.files);
}

bool IsPlainCueName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..")
        return false;
    for (char16_t c : name) {
        if (c < 0x20 || c > 0x7E || c == u'"' || c == u'/' || c == u'\\')
            return false;
    }
    return true;
}

std::string CueTime(uint64_t sectors) {
    return TwoDigits(sectors / kFramesPerMinute) + ":" +
           TwoDigits(sectors / kFramesPerSecond % 60) + ":" + TwoDigits(sectors % kFramesPerSecond);
}

bool IsCueText(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        return c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

bool CueMarksFit(std::span<const uint32_t> sectors, const DiscMarks& marks) {
    auto textsFit = [](const CdTexts& t) {
        return IsCueText(t.title) && IsCueText(t.performer) && IsCueText(t.songwriter);
    };
    if ((!marks.catalogNumber.empty() && !IsCatalogNumber(marks.catalogNumber)) ||
        !textsFit(marks.texts))
        return false;
    if (marks.tracks.empty())
        return true;
    if (marks.tracks.size() != sectors.size())
        return false;
    for (size_t t = 0; t < sectors.size(); ++t) {
        const TrackMarks& m = marks.tracks[t];
        // Track 1's pre-gap is the one before LBA 0 and written by no line.
        const bool gapFits = t == 0 || (m.hiddenAudio == 0 && m.preGap < sectors[t - 1]);
        const uint64_t index1 = m.hiddenAudio;
        const bool indexesFit = index1 < sectors[t] && m.indexes.size() <= 98 &&
                                std::adjacent_find(m.indexes.begin(), m.indexes.end(),
                                                   std::greater_equal<>()) == m.indexes.end() &&
                                (m.indexes.empty() ||
                                 (m.indexes.front() > 0 && index1 + m.indexes.back() < sectors[t]));
        if (!gapFits || !indexesFit || (m.flags & ~track_flag::All) != 0 ||
            (!m.isrc.empty() && !IsIsrc(m.isrc)) || !textsFit(m.texts))
            return false;
    }
    return true;
}

std::optional<std::string> TrackFilesCue(std::span<const CueTrackFile> tracks,
                                         const DiscMarks& marks) {
    if (tracks.empty() || tracks.size() > kMaxCueTracks)
        return std::nullopt;
    std::vector<uint32_t> sectors;
    for (const CueTrackFile& t : tracks) {
        if (!IsPlainCueName(t.fileName))
            return std::nullopt;
        sectors.push_back(t.sectors);
    }
    if (!CueMarksFit(sectors, marks))
        return std::nullopt;
    std::string cue = DiscLines(marks);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const CueTrackFile& t = tracks[i];
        const TrackMarks& m = MarksOf(marks, i);
        const char* mode = t.isData ? "MODE1/2048" : "AUDIO";
        const std::string file = FileLine(t.fileName, t.isData ? "BINARY" : "WAVE");
        if (i > 0 && m.preGap > 0) {
            // The pre-gap is the end of the file before, which holds the
            // other kind of sectors when the kinds differ.
            if (tracks[i - 1].isData != t.isData)
                return std::nullopt;
            cue += TrackHead(i, mode, m) + IndexLine(0, tracks[i - 1].sectors - m.preGap) + file;
        } else {
            cue += file + TrackHead(i, mode, m);
            if (m.hiddenAudio > 0)
                cue += IndexLine(0, 0);
        }
        cue += StartLines(m, m.hiddenAudio);
    }
    return cue;
}

std::optional<std::string> RawImageCue(std::u16string_view imageName,
                                       std::span<const CueRawTrack> tracks,
                                       const DiscMarks& marks) {
    if (tracks.empty() || tracks.size() > kMaxCueTracks || !IsPlainCueName(imageName))
        return std::nullopt;
    std::vector<uint32_t> sectors;
    for (const CueRawTrack& t : tracks) {
        if (t.sectors == 0)
            return std::nullopt;
        sectors.push_back(t.sectors);
    }
    if (!CueMarksFit(sectors, marks))
        return std::nullopt;
    std::string cue = DiscLines(marks) + FileLine(imageName, "BINARY");
    uint64_t start = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const TrackMarks& m = MarksOf(marks, i);
        cue += TrackHead(i, tracks[i].isData ? "MODE1/2352" : "AUDIO", m);
        if (i == 0 ? m.hiddenAudio > 0 : m.preGap > 0)
            cue += IndexLine(0, start - (i == 0 ? 0 : m.preGap));
        cue += StartLines(m, start + m.hiddenAudio);
        start += tracks[i].sectors;
    }
    return cue;
}

}  // namespace vestrel
