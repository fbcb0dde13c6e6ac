// What vestrel-copy keeps of a run besides its live lines: the report
// (one JSON line per copy attempt, a summary at the end) and the journal
// (each copy made, before its recorder goes on). The writers tell it of
// their copies through their panels, on their own threads.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/copy_report.h"
#include "engine/memory_panel.h"
#include "engine/run_journal.h"

namespace vestrel {

// A source the journal does not keep.
constexpr uint32_t kNotJournaled = UINT32_MAX;

class RunRecord {
  public:
    // Both fail with a line for the person.
    bool OpenReport(const std::u16string& path, std::u16string& error);
    bool OpenJournal(const std::u16string& path, std::u16string& error);
    bool reporting() const { return report_.IsOpen(); }

    // The run's sources, in source table order, and for each the source's
    // number in the journal (or kNotJournaled). Set before the writers start.
    void SetSources(std::vector<ReportSource> sources, std::vector<uint32_t> journalSources);
    // Asks each recorder its vendor and product.
    void SetRecorders(const std::vector<char16_t>& letters);
    // Has the panel tell this record of its writer's copies.
    void Watch(MemoryPanel& panel);

    // Adds a line to the report, when there is one.
    void Report(const std::string& line);
    uint32_t made();
    uint32_t attempts();
    // The first failure to write the report or journal; empty when none.
    std::u16string failure();
    // A line for each copy made without its source's CD-Text, in the order
    // the copies ended.
    std::vector<std::u16string> notes();

  private:
    void Started(const CopyAttempt& attempt);
    void Ended(const CopyAttempt& attempt);
    // Both note the first failure. Write runs under the lock, Flush outside.
    void Write(DurableLines& lines, const std::u16string& what, const std::string& line);
    void Flush(DurableLines& lines, const std::u16string& what);

    DurableLines report_;
    DurableLines journal_;
    std::u16string reportPath_, journalPath_;
    std::vector<ReportSource> sources_;
    std::vector<uint32_t> journalSources_;
    std::map<char16_t, ReportRecorder> recorders_;

    std::mutex mutex_;  // the members below, and the writes to both files
    std::map<char16_t, int64_t> started_;
    uint32_t made_ = 0;
    uint32_t attempts_ = 0;
    std::u16string failure_;
    std::vector<std::u16string> notes_;
};

}  // namespace vestrel
