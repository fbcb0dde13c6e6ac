// UTF-8 decoding of outside text and the text formatter with arbitrary
// formats.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drive/text.h"
#include "tools/fuzz/fuzz_check.h"

using namespace vestrel;

FUZZ_DEFAULT_MAX_LEN(128)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::u16string text = FromUtf8(bytes);
    FUZZ_CHECK(text.size() <= size);
    // Decoding what was encoded gives the same text back.
    FUZZ_CHECK(FromUtf8(ToUtf8(text)) == text);
    std::u16string formatted = FormatText(text, {-1, u"abc", u'Z', 0xFFFFFFFFu, 12345678901LL});
    // Every conversion takes at least two characters and yields at most a
    // capped width or one argument's text.
    FUZZ_CHECK(formatted.size() <= text.size() * 520 + 100);
    return 0;
}
