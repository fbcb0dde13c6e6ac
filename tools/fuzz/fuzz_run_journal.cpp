// The journal a copy run keeps, as it is read back to resume the run: any
// text either fails with a line number or gives a journal that writes back
// to the same plan and made copies.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/run_journal.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

FUZZ_DEFAULT_MAX_LEN(1024)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Journal journal;
    std::string error;
    if (!ParseJournal(text, journal, error)) {
        FUZZ_CHECK(error.starts_with("line ") || error == "the journal names no source");
        return 0;
    }
    FUZZ_CHECK(!journal.sources.empty());
    for (const JournalMade& m : journal.made)
        FUZZ_CHECK(m.source < journal.sources.size() && m.copy >= 1);
    std::string written = JournalPlanText(journal);
    for (const JournalMade& m : journal.made)
        written += JournalMadeLine(m);
    Journal again;
    FUZZ_CHECK(ParseJournal(written, again, error));
    FUZZ_CHECK(again.sources == journal.sources && again.made.size() == journal.made.size() &&
               again.files.size() == journal.files.size() && again.copies == journal.copies);
    return 0;
}
