#include "engine/cue_file.h"

#include <algorithm>

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

std::string TrackLines(size_t index, const char* mode, uint64_t start) {
    return "  TRACK " + TwoDigits(index + 1) + " " + mode + "\n    INDEX 01 " + CueTime(start) +
           "\n";
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

// Commands that describe the disc's texts, codes and gaps, not where its
// sectors are.
bool PassedOver(std::string_view command) {
    for (const char* known : {"CATALOG", "CDTEXTFILE", "TITLE", "PERFORMER", "SONGWRITER",
                              "COMPOSER", "ARRANGER", "MESSAGE", "GENRE", "DISC_ID", "UPC_EAN",
                              "REM", "FLAGS", "ISRC", "TOC_INFO1", "TOC_INFO2", "SIZE_INFO"}) {
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

  private:
    bool File(const std::vector<std::string>& w, std::string& error);
    bool Track(const std::vector<std::string>& w, std::string& error);
    bool Index(const std::vector<std::string>& w, std::string& error);
    bool TrackComplete(std::string& error, size_t& line) const;

    size_t line_ = 0;
    int lastIndex_ = -1;     // of the current track
    uint64_t lastTime_ = 0;  // the last index's, in the current file
    bool hasStart_ = false;
};

bool CueReader::TrackComplete(std::string& error, size_t& line) const {
    if (files.empty() || files.back().tracks.empty() || hasStart_)
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
    if (!files.empty() && files.back().tracks.empty()) {
        error = "the FILE before names no track";
        return false;
    }
    files.push_back({w[1], type == "WAVE", line_, {}});
    lastTime_ = 0;
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
    uint32_t expected = 1;
    for (const CueReadFile& f : files)
        expected += static_cast<uint32_t>(f.tracks.size());
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
    lastIndex_ = -1;
    hasStart_ = false;
    return true;
}

bool CueReader::Index(const std::vector<std::string>& w, std::string& error) {
    if (files.empty() || files.back().tracks.empty()) {
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
    if (static_cast<int>(*index) <= lastIndex_) {
        error = "the indexes of a track rise";
        return false;
    }
    if (*index > 1 && !hasStart_) {
        error = "INDEX " + w[1] + " before INDEX 01";
        return false;
    }
    // Times rise through a file, and every track holds a sector at least.
    const uint64_t floor = tracks.size() > 1 ? tracks[tracks.size() - 2].start + 1 : 0;
    if (*time < lastTime_ || (*index == 1 && *time < floor)) {
        error = "INDEX " + w[1] + " at " + w[2] + " lies before the index ahead of it";
        return false;
    }
    if (*index == 1) {
        track.start = *time;
        track.startLine = line_;
        hasStart_ = true;
    }
    lastIndex_ = static_cast<int>(*index);
    lastTime_ = *time;
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
        if (!TrackComplete(error, problem.line))
            return false;
        return command == "FILE" ? File(w, error) : Track(w, error);
    }
    if (command == "INDEX")
        return Index(w, error);
    if (command == "PREGAP" || command == "POSTGAP") {
        if (files.empty() || files.back().tracks.empty() || w.size() != 2 || !Time(w[1])) {
            error = command + " takes a time mm:ss:ff within a track";
            return false;
        }
        return true;
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

std::optional<std::vector<CueReadFile>> ReadCueSheet(std::string_view text, CueReadError& error) {
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

std::optional<std::string> TrackFilesCue(std::span<const CueTrackFile> tracks) {
    if (tracks.empty() || tracks.size() > kMaxCueTracks)
        return std::nullopt;
    std::string cue;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const CueTrackFile& t = tracks[i];
        if (!IsPlainCueName(t.fileName))
            return std::nullopt;
        cue += FileLine(t.fileName, t.isData ? "BINARY" : "WAVE");
        cue += TrackLines(i, t.isData ? "MODE1/2048" : "AUDIO", 0);
    }
    return cue;
}

std::optional<std::string> RawImageCue(std::u16string_view imageName,
                                       std::span<const CueRawTrack> tracks) {
    if (tracks.empty() || tracks.size() > kMaxCueTracks || !IsPlainCueName(imageName))
        return std::nullopt;
    std::string cue = FileLine(imageName, "BINARY");
    uint64_t start = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (tracks[i].sectors == 0)
            return std::nullopt;
        cue += TrackLines(i, tracks[i].isData ? "MODE1/2352" : "AUDIO", start);
        start += tracks[i].sectors;
    }
    return cue;
}

}  // namespace vestrel
