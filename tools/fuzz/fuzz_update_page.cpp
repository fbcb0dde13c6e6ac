// A downloaded page through both conversions, the page search and the
// offer's extraction, with a small work buffer so that chunks matter.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "charset/charset_converter.h"
#include "tests/support/memory_file.h"
#include "tools/fuzz/fuzz_check.h"
#include "update/page_check.h"

using namespace vestrel;

FUZZ_DEFAULT_MAX_LEN(2048)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    // The first bytes choose the work buffer and the own build.
    const size_t bufferBytes = 2 + data[0] * 4;
    const auto build = static_cast<uint16_t>(data[1] | (data[2] & 0x3F) << 8);
    const std::vector<uint8_t> page(data + 3, data + size);

    charset::CharsetConverter toWide, toAscii;
    FUZZ_CHECK(toWide.SetSourceCharset("iso-8859-1") && toWide.SetTargetCharset("unicode"));
    FUZZ_CHECK(toAscii.SetSourceCharset("unicode") && toAscii.SetTargetCharset("us-ascii"));
    std::vector<uint8_t> wide, ascii;
    FUZZ_CHECK(toWide.Convert(page, wide) && wide.size() == 2 * page.size());
    FUZZ_CHECK(toAscii.Convert(wide, ascii) && ascii.size() == page.size());
    for (size_t i = 0; i < page.size(); ++i)
        FUZZ_CHECK(ascii[i] == (page[i] < 0x80 ? page[i] : '?'));
    // The raw bytes as a page too: the search must hold on any bytes.
    std::vector<uint8_t> anyWide;
    FUZZ_CHECK(toAscii.Convert(page, anyWide) && anyWide.size() <= (page.size() + 1) / 2);

    std::vector<char> buffer(bufferBytes);
    for (const std::vector<uint8_t>* bytes :
         {static_cast<const std::vector<uint8_t>*>(&ascii), &page}) {
        testing::MemoryFile file(
            std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
        const update::PageOutcome outcome =
            update::CheckPage(file, build, u"https://www.t4ksoft.net/", buffer);
        if (outcome.verdict != update::PageVerdict::UpdateOffered) {
            FUZZ_CHECK(outcome.offer.downloadAddress.empty());
            continue;
        }
        // Only a plain package name under the site's root is offered.
        const std::u16string& address = outcome.offer.downloadAddress;
        FUZZ_CHECK(address.starts_with(u"https://www.t4ksoft.net/t4k."));
        FUZZ_CHECK(address.ends_with(u".sfx.exe"));
        FUZZ_CHECK(address.find(u"..") == std::u16string::npos);
        FUZZ_CHECK(address.find(u'/', 24) == std::u16string::npos);
        FUZZ_CHECK(outcome.offer.versionText.size() <= update::kLinkWindowBytes);
    }
    return 0;
}
