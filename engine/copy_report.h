// The report of a copy run: one JSON object per line (JSON Lines), one
// line per copy attempt as it ends and a summary line at the end of each
// run, so that a script can account for every copy. docs/report.md tells
// the fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "drive/source_table.h"
#include "engine/copy_attempt.h"

namespace vestrel {

// A source as the report names it: a drive (its letter) or an image file.
struct ReportSource {
    char16_t drive = 0;  // 0 for an image file
    std::u16string image;
    std::u16string label;
    DiscType discType = disc::None;
    uint64_t blocks = 0;  // the source's size in 2048-byte blocks
    uint64_t bytes = 0;   // its image data: 2048 bytes a data sector, 2352 an audio one
    std::string sha256;   // of that data, track after track
    // Sectors of the audio hidden before track 1 that the drive could not
    // read, copied as silence (a drive's source only).
    uint32_t hiddenAudioUnread = 0;
    // The drive refused to read the CD-Text (a drive's source only).
    bool cdTextUnread = false;
};

struct ReportRecorder {
    char16_t drive = 0;
    std::u16string vendor;
    std::u16string product;
};

// The source's size and SHA-256 from its image files, which must be
// planned and whole: the data each track puts on the disc, track after
// track, without the header of audio files. Fails with the reason.
bool ImageDataFingerprint(const SourceRecord& source, uint64_t& bytes, std::string& sha256,
                          std::u16string& error);

// A moment as UTC in ISO 8601 with milliseconds ("2026-12-08T23:06:09.123Z").
std::string IsoTime(int64_t unixMilliseconds);
int64_t UnixMillisecondsNow();

// A JSON string literal of UTF-16 text, quoted and escaped, in UTF-8.
std::string JsonString(std::u16string_view text);

std::string ReportCopyLine(const ReportSource& source, const ReportRecorder& recorder,
                           const CopyAttempt& attempt, int64_t started, int64_t ended);

// The line the console prints for a copy made without its source's
// CD-Text, naming the recorder and why; empty for every other copy.
std::u16string CdTextNote(const CopyAttempt& attempt);

struct ReportSummary {
    uint32_t copiesAsked = 0;
    uint32_t copiesMade = 0;  // over the whole run, earlier runs of a journal included
    uint32_t attempts = 0;    // in this run
    int64_t started = 0;
    int64_t ended = 0;
    bool allCopied = false;
    std::u16string text;  // the run's closing text
};
std::string ReportSummaryLine(const ReportSummary& summary);

// The line a resumed run starts its part of the report with.
std::string ReportResumeLine(std::u16string_view journal, uint32_t copiesLeft, int64_t when);

}  // namespace vestrel
