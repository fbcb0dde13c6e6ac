#include "installer/ansi_path.h"

#include <windows.h>

#include <vector>

namespace vestrel::installer {

namespace {

std::optional<std::u16string> Decode(const std::string& bytes, unsigned codePage) {
    if (bytes.empty())
        return std::u16string();
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                           static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::u16string text(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                        static_cast<int>(bytes.size()), reinterpret_cast<wchar_t*>(text.data()),
                        length);
    return text;
}

}  // namespace

std::optional<std::string> EncodeBatchPathIn(std::u16string_view path, unsigned ansiCodePage,
                                             unsigned oemCodePage) {
    if (path.empty())
        return std::string();
    const auto* wide = reinterpret_cast<const wchar_t*>(path.data());
    const int units = static_cast<int>(path.size());
    // UTF-7 and UTF-8 take neither flag nor default-character report.
    const bool unicodePage = ansiCodePage == CP_UTF7 || ansiCodePage == CP_UTF8;
    const DWORD flags = unicodePage ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultReport = unicodePage ? nullptr : &usedDefault;
    const int length = WideCharToMultiByte(ansiCodePage, flags, wide, units, nullptr, 0, nullptr,
                                           usedDefaultReport);
    if (length <= 0 || usedDefault)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(ansiCodePage, flags, wide, units, bytes.data(), length, nullptr,
                        usedDefaultReport);
    if (usedDefault)
        return std::nullopt;
    for (unsigned codePage : {ansiCodePage, oemCodePage}) {
        const auto back = Decode(bytes, codePage);
        if (!back || *back != path)
            return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> EncodeBatchPath(std::u16string_view path) {
    // The thread's ANSI code page as a number (CP_THREAD_ACP names it).
    DWORD threadCodePage = 0;
    if (!GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<wchar_t*>(&threadCodePage),
                        sizeof threadCodePage / sizeof(wchar_t)) ||
        threadCodePage == 0)
        threadCodePage = GetACP();
    return EncodeBatchPathIn(path, threadCodePage, GetOEMCP());
}

std::u16string ShortPath(std::u16string_view path) {
    const std::wstring wide(reinterpret_cast<const wchar_t*>(path.data()), path.size());
    const DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (size == 0)
        return {};
    std::vector<wchar_t> buffer(size + 1, L'\0');
    const DWORD length = GetShortPathNameW(wide.c_str(), buffer.data(), size + 1);
    if (length == 0 || length > size)
        return {};
    std::u16string brief(reinterpret_cast<const char16_t*>(buffer.data()), length);
    return brief == path ? std::u16string() : brief;
}

}  // namespace vestrel::installer
