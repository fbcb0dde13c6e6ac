#include "tools/run_record.h"

#include "drive/drive_lock.h"
#include "drive/mmc_commands.h"
#include "drive/replies.h"
#include "drive/text.h"

namespace vestrel {

namespace {

std::u16string Trimmed(std::u16string text) {
    while (!text.empty() && text.back() == u' ')
        text.pop_back();
    return text;
}

}  // namespace

bool RunRecord::OpenReport(const std::u16string& path, std::u16string& error) {
    uint32_t code = 0;
    if (report_.Open(path, code)) {
        reportPath_ = path;
        return true;
    }
    error = FormatText(u"Cannot open the report %s (error %u).", {path, code});
    return false;
}

bool RunRecord::OpenJournal(const std::u16string& path, std::u16string& error) {
    uint32_t code = 0;
    if (journal_.Open(path, code)) {
        journalPath_ = path;
        return true;
    }
    error = FormatText(u"Cannot open the journal %s (error %u).", {path, code});
    return false;
}

void RunRecord::SetSources(std::vector<ReportSource> sources,
                           std::vector<uint32_t> journalSources) {
    sources_ = std::move(sources);
    journalSources_ = std::move(journalSources);
}

void RunRecord::SetRecorders(const std::vector<char16_t>& letters) {
    for (char16_t letter : letters) {
        std::vector<uint8_t> inquiry(kInquiryLength);
        ReportRecorder r;
        r.drive = letter;
        DriveLockGuard lock;
        if (SendInquiry(letter, inquiry).ok()) {
            r.vendor = Trimmed(InquiryVendor(ByteReader(inquiry)));
            r.product = Trimmed(InquiryProduct(ByteReader(inquiry)));
        }
        recorders_[letter] = r;
    }
}

void RunRecord::Watch(MemoryPanel& panel) {
    panel.SetCopyObserver([this](const CopyAttempt& a) {
        if (a.end == CopyEnd::Running)
            Started(a);
        else
            Ended(a);
    });
}

void RunRecord::Started(const CopyAttempt& a) {
    std::lock_guard lock(mutex_);
    started_[a.recorder] = UnixMillisecondsNow();
}

// The journal's line goes first: once it is on the disk the copy counts as
// made, whatever happens to the process afterwards. It carries the copy's
// report line, which a resumed run adds to the report if this one dies
// before it gets there.
void RunRecord::Ended(const CopyAttempt& a) {
    const int64_t now = UnixMillisecondsNow();
    bool journaled = false;
    bool reported = false;
    {
        std::lock_guard lock(mutex_);
        ++attempts_;
        if (std::u16string note = CdTextNote(a); !note.empty())
            notes_.push_back(std::move(note));
        std::string reportLine;
        if (report_.IsOpen() && a.source < sources_.size()) {
            const int64_t started = started_.contains(a.recorder) ? started_[a.recorder] : now;
            reportLine =
                ReportCopyLine(sources_[a.source], recorders_[a.recorder], a, started, now);
        }
        if (a.end == CopyEnd::Made) {
            ++made_;
            if (journal_.IsOpen() && a.source < journalSources_.size() &&
                journalSources_[a.source] != kNotJournaled) {
                Write(journal_, journalPath_,
                      JournalMadeLine({journalSources_[a.source], a.recorder, a.copy, reportLine}));
                journaled = true;
            }
        }
        if (!reportLine.empty()) {
            Write(report_, reportPath_, reportLine);
            reported = true;
        }
    }
    // Outside the lock: the other recorders' lines need not wait for the disk.
    if (journaled)
        Flush(journal_, journalPath_);
    if (reported)
        Flush(report_, reportPath_);
}

void RunRecord::Report(const std::string& line) {
    if (!report_.IsOpen())
        return;
    {
        std::lock_guard lock(mutex_);
        Write(report_, reportPath_, line);
    }
    Flush(report_, reportPath_);
}

void RunRecord::Write(DurableLines& lines, const std::u16string& what, const std::string& line) {
    uint32_t code = 0;
    if (!lines.Write(line, code) && failure_.empty())
        failure_ = FormatText(u"Cannot write to %s (error %u).", {what, code});
}

void RunRecord::Flush(DurableLines& lines, const std::u16string& what) {
    uint32_t code = 0;
    if (!lines.Flush(code)) {
        std::lock_guard lock(mutex_);
        if (failure_.empty())
            failure_ = FormatText(u"Cannot write to %s (error %u).", {what, code});
    }
}

uint32_t RunRecord::made() {
    std::lock_guard lock(mutex_);
    return made_;
}

uint32_t RunRecord::attempts() {
    std::lock_guard lock(mutex_);
    return attempts_;
}

std::vector<std::u16string> RunRecord::notes() {
    std::lock_guard lock(mutex_);
    return notes_;
}

std::u16string RunRecord::failure() {
    std::lock_guard lock(mutex_);
    return failure_;
}

}  // namespace vestrel
