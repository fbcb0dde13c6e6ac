#include "engine/cue_file.h"

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

}  // namespace

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
