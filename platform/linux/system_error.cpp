// Error texts on Linux are the C library's words for errno values.
#include <cerrno>
#include <cstring>

#include "drive/system_error.h"
#include "drive/text.h"

namespace vestrel {

std::u16string SystemErrorText(uint32_t osError) {
    char buffer[256] = {};
    // The GNU strerror_r returns the text, which may or may not be buffer.
    const char* text = strerror_r(static_cast<int>(osError), buffer, sizeof buffer);
    // Windows' messages end with a line break; keep the details texts alike.
    return FromUtf8(text ? text : "") + u"\r\n";
}

uint32_t InvalidParameterError() {
    return EINVAL;
}

}  // namespace vestrel
