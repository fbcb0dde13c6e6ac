// The cue sheet reader on arbitrary text: what it accepts is a disc it can
// lay out (tracks 1, 2, ... each starting after the one before it in its
// file, audio alone in WAVE files), and what it refuses names a line of
// the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/cue_file.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

FUZZ_DEFAULT_MAX_LEN(1024)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    if (!text.empty() && text.back() != '\n')
        ++lines;

    CueReadError error;
    const auto files = ReadCueSheet(text, error);
    if (!files) {
        FUZZ_CHECK(!error.text.empty());
        FUZZ_CHECK(error.line <= lines);
        return 0;
    }
    FUZZ_CHECK(!files->empty());
    uint32_t number = 0;
    size_t lastLine = 0;
    size_t fileBefore = 0;
    for (const CueReadFile& f : *files) {
        FUZZ_CHECK(!f.name.empty() && !f.tracks.empty());
        FUZZ_CHECK(f.line > lastLine && f.line <= lines);
        for (size_t i = 0; i < f.tracks.size(); ++i) {
            const CueReadTrack& t = f.tracks[i];
            FUZZ_CHECK(t.number == ++number && number <= kMaxCueTracks);
            // A track whose pre-gap ends the file before has its TRACK line
            // in that file and its INDEX 01 at the start of this one.
            const bool carriedOver = t.preGapInFileBefore.has_value();
            FUZZ_CHECK(!carriedOver || (i == 0 && t.start == 0 && fileBefore != 0));
            FUZZ_CHECK(t.line > (carriedOver ? fileBefore : f.line) && t.startLine > t.line &&
                       t.startLine > f.line && t.startLine <= lines);
            FUZZ_CHECK(i == 0 || t.start > f.tracks[i - 1].start);
            FUZZ_CHECK(!f.wave || t.mode == CueMode::Audio);
            lastLine = t.startLine;
        }
        fileBefore = f.line;
    }
    return 0;
}
