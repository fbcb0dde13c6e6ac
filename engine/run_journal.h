// The journal of a copy run from image files: its plan (the options, the
// image files with their size and SHA-256, the copies of each) and every
// copy made, one line each, each line on the disk before the recorder
// goes on. A run that dies is taken up again from it, writing only the
// copies it does not list as made.
//
//   vestrel journal 1
//   option copies 3
//   option verify 1
//   option report /runs/report.jsonl
//   file 1048576 9f86d081...0a08 /images/a.cue
//   source 0 cd /images/a.cue
//   made 0 F 1 {"record":"copy",...}
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "drive/file_system.h"

namespace vestrel {

struct JournalFile {
    uint64_t size = 0;
    std::string sha256;  // 64 lowercase hex digits
    std::u16string path;
};

struct JournalMade {
    uint32_t source = 0;
    char16_t recorder = 0;
    uint32_t copy = 0;
    // The copy's line in the report, when there is one, so that a resumed
    // run can add it if the run died before it reached the report.
    std::string reportLine;
};

struct JournalSource {
    std::string media = "smallest";  // the blanks' family: smallest, cd, dvd or bd
    std::u16string image;            // the ISO file or cue sheet
    bool operator==(const JournalSource&) const = default;
};

struct Journal {
    uint32_t copies = 1;
    bool verify = false;
    std::u16string report;  // empty: no report
    // The image files are the run's own, read from its source discs: they
    // are deleted once every copy is made.
    bool ownImages = false;
    std::vector<JournalFile> files;
    std::vector<JournalSource> sources;
    std::vector<JournalMade> made;
};

// The plan's lines: everything but the copies made.
std::string JournalPlanText(const Journal& journal);
std::string JournalMadeLine(const JournalMade& made);

// Reads a journal's text. A last line without its end (a write cut short)
// is left out; any other line that is not as written fails with
// "line N: reason".
bool ParseJournal(std::string_view text, Journal& journal, std::string& error);

// The copies of source `s` the journal lists as made.
uint32_t MadeCopies(const Journal& journal, uint32_t s);

// A file's size and SHA-256, read through the active file system.
bool Fingerprint(std::u16string_view path, uint64_t& size, std::string& sha256, uint32_t& error);

// Lines added to the end of a file, each written whole in one write. Append
// flushes it to the disk before it returns; Write leaves that to Flush, so
// that threads taking turns at the file need not wait for the disk in turn.
class DurableLines {
  public:
    bool Open(std::u16string_view path, uint32_t& error);
    bool Append(const std::string& line, uint32_t& error);
    bool Write(const std::string& line, uint32_t& error);
    bool Flush(uint32_t& error);
    bool IsOpen() const { return file_ != nullptr; }

  private:
    std::unique_ptr<File> file_;
};

// Everything in a file, up to `limit` bytes; false when it cannot be read
// or is larger.
bool ReadSmallFile(std::u16string_view path, size_t limit, std::string& text, uint32_t& error);

}  // namespace vestrel
