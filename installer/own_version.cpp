#include "installer/own_version.h"

#include <windows.h>

#include <vector>

namespace vestrel::installer {

std::array<uint16_t, 4> FileVersionFields(const std::wstring& path) {
    std::wstring file = path;
    if (const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0)) {
        std::vector<wchar_t> buffer(size + 1, L'\0');
        const DWORD length = GetShortPathNameW(path.c_str(), buffer.data(), size + 1);
        if (length > 0 && length <= size)
            file.assign(buffer.data(), length);
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0)
        return {};
    std::vector<uint8_t> block(size);
    void* data = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", &data, &length) || !data ||
        length < sizeof(VS_FIXEDFILEINFO))
        return {};
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(data);
    return {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
            HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

}  // namespace vestrel::installer
