// The cue sheet writer's input: volume labels made into file names, the
// names of a backup's files, and cue sheets over arbitrary track lists and
// names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drive/text.h"
#include "engine/cue_file.h"
#include "engine/disc_backup.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

namespace {

size_t Lines(const std::string& text) {
    size_t n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

bool Ascii(const std::string& text) {
    for (char c : text) {
        if (c != '\n' && (c < 0x20 || c > 0x7E))
            return false;
    }
    return true;
}

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

std::u16string Folded(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : text)
        out += Lower(c);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Chunks split at 0 bytes: each is a disc (its label as UTF-8) and a
    // track (first byte: kind and length; the rest its file name).
    std::vector<std::string> chunks(1);
    for (size_t i = 0; i < size && chunks.size() <= 120; ++i) {
        if (data[i] == 0)
            chunks.emplace_back();
        else
            chunks.back() += static_cast<char>(data[i]);
    }

    std::vector<SourceRecord> sources;
    std::vector<CueTrackFile> files;
    std::vector<CueRawTrack> raw;
    for (size_t i = 0; i < chunks.size(); ++i) {
        const std::string& chunk = chunks[i];
        const std::u16string text = FromUtf8(chunk);
        const std::u16string safe = SafeFileName(text);
        FUZZ_CHECK(safe.size() <= 65);
        FUZZ_CHECK(safe.empty() || IsPlainCueName(safe));
        FUZZ_CHECK(safe.empty() || (safe.front() != u'_' && safe.front() != u'.'));

        const uint8_t head = chunk.empty() ? 0 : static_cast<uint8_t>(chunk[0]);
        files.push_back({(head & 1) != 0, chunk.empty() ? u"" : FromUtf8(chunk.substr(1))});
        raw.push_back({(head & 1) != 0, static_cast<uint32_t>(head >> 1)});
        if (i < 8) {
            SourceRecord s;
            s.driveLetter = static_cast<char16_t>(u'D' + i);
            s.volumeLabel = text;
            s.tracks.resize(head % 4);
            for (size_t t = 0; t < s.tracks.size(); ++t)
                s.tracks[t].isData = (head >> (t + 2)) & 1;
            sources.push_back(std::move(s));
        }
    }

    // Every file of a backup has a plain name of its own.
    std::vector<BackupFiles> plan = PlanBackupFiles(sources, u"f");
    std::vector<std::u16string> paths = BackupPaths(sources, plan);
    for (size_t i = 0; i < paths.size(); ++i) {
        FUZZ_CHECK(paths[i].size() > 2 && IsPlainCueName(std::u16string_view(paths[i]).substr(2)));
        for (size_t j = 0; j < i; ++j)
            FUZZ_CHECK(Folded(paths[i]) != Folded(paths[j]));
    }

    if (std::optional<std::string> cue = TrackFilesCue(files)) {
        FUZZ_CHECK(Ascii(*cue));
        FUZZ_CHECK(Lines(*cue) == 3 * files.size());
    } else {
        FUZZ_CHECK(files.size() > kMaxCueTracks ||
                   std::any_of(files.begin(), files.end(),
                               [](const CueTrackFile& f) { return !IsPlainCueName(f.fileName); }));
    }
    const std::u16string image = files.front().fileName;
    if (std::optional<std::string> cue = RawImageCue(image, raw)) {
        FUZZ_CHECK(Ascii(*cue));
        FUZZ_CHECK(Lines(*cue) == 1 + 2 * raw.size());
    }
    return 0;
}
