#include "wizard/web_address.h"

#include <shellapi.h>

#include <string>

namespace vestrel::wizard {

namespace {

// Set once at start-up, before any window exists; never freed, so that it
// outlives every thread.
const std::wstring* gLogFile = nullptr;

void AppendLine(const std::wstring& file, const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return;
    std::string line(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, line.data(), bytes, nullptr, nullptr);
    line.back() = '\n';
    HANDLE out = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(out);
}

}  // namespace

void OpenWebAddress(const wchar_t* address, int showCommand) {
    if (gLogFile)
        AppendLine(*gLogFile, address);
    else
        ShellExecuteW(nullptr, L"Open", address, nullptr, nullptr, showCommand);
}

void LogWebAddressesTo(const wchar_t* file) {
    gLogFile = new std::wstring(file);
}

}  // namespace vestrel::wizard
