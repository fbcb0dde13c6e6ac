// Error texts on Windows come from the system's message table.
#include <windows.h>

#include "drive/system_error.h"

namespace vestrel {

std::u16string SystemErrorText(uint32_t osError) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, osError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (length && buffer)
        text.assign(reinterpret_cast<const char16_t*>(buffer), length);
    if (buffer)
        LocalFree(buffer);
    return text;
}

uint32_t InvalidParameterError() {
    return ERROR_INVALID_PARAMETER;
}

}  // namespace vestrel
