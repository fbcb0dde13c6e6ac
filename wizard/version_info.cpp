#include "wizard/version_info.h"

#include <cstdint>
#include <vector>

#include "drive/text.h"

namespace vestrel {

namespace {

// The program's module path is read into a buffer of this many characters.
constexpr DWORD kModulePathCharacters = 36864;

VersionRecord record;
std::vector<uint8_t> versionBlock;
std::wstring stringTablePrefix;  // "\StringFileInfo\xxxxyyyy\"

std::wstring Wide(const std::u16string& text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

std::u16string Narrow16(const std::wstring& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

std::wstring ModulePath() {
    std::vector<wchar_t> buffer(kModulePathCharacters, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kModulePathCharacters);
    if (length == 0 || length >= kModulePathCharacters)
        return {};
    return std::wstring(buffer.data(), length);
}

// The version block of a file; empty when it has none.
std::vector<uint8_t> ReadVersionBlock(const wchar_t* path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
        return {};
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data()))
        return {};
    return block;
}

// The first translation's string-table prefix, with hexadecimal digits of
// the given case.
std::wstring StringTablePrefix(std::vector<uint8_t>& block, bool upper) {
    void* data = nullptr;
    UINT length = 0;
    if (block.empty() ||
        !VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &data, &length) || length < 4)
        return {};
    const auto* translation = static_cast<const WORD*>(data);
    const std::u16string prefix =
        FormatText(upper ? u"\\StringFileInfo\\%04X%04X\\" : u"\\StringFileInfo\\%04x%04x\\",
                   {static_cast<unsigned>(translation[0]), static_cast<unsigned>(translation[1])});
    return Wide(prefix);
}

std::wstring StringValue(std::vector<uint8_t>& block, const std::wstring& prefix,
                         const wchar_t* name) {
    if (block.empty() || prefix.empty())
        return {};
    const std::wstring query = prefix + name;
    void* data = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), &data, &length) || !data || length == 0)
        return {};
    // The length counts characters and may include the terminating zero.
    std::wstring value(static_cast<const wchar_t*>(data), length);
    if (const size_t end = value.find(L'\0'); end != std::wstring::npos)
        value.resize(end);
    return value;
}

}  // namespace

void ReadProgramVersion() {
    const std::wstring path = ModulePath();
    versionBlock = path.empty() ? std::vector<uint8_t>{} : ReadVersionBlock(path.c_str());
    stringTablePrefix = StringTablePrefix(versionBlock, false);
    record = {};
    record.fileVersion = QueryVersionString(L"FileVersion");
    record.fileNumbers = ParseVersionNumbers(Narrow16(record.fileVersion));
    record.productVersion = QueryVersionString(L"ProductVersion");
    record.productNumbers = ParseVersionNumbers(Narrow16(record.productVersion));
    record.internalName = QueryVersionString(L"InternalName");
    record.productName = QueryVersionString(L"ProductName");
    record.specialBuild = QueryVersionString(L"SpecialBuild");
}

void ReleaseProgramVersion() {
    versionBlock.clear();
    versionBlock.shrink_to_fit();
    stringTablePrefix.clear();
    record = {};
}

const VersionRecord& ProgramVersion() {
    return record;
}

std::wstring QueryVersionString(const wchar_t* name) {
    return StringValue(versionBlock, stringTablePrefix, name);
}

void AppendDisplayVersionOf(const wchar_t* path, std::wstring& line) {
    std::vector<uint8_t> block = ReadVersionBlock(path);
    const std::wstring prefix = StringTablePrefix(block, true);
    if (block.empty() || prefix.empty()) {
        line += L"-Error-";
        return;
    }
    line += Wide(DisplayVersion(Narrow16(StringValue(block, prefix, L"FileVersion")),
                                Narrow16(StringValue(block, prefix, L"SpecialBuild"))));
}

void AppendDisplayVersion(std::wstring& line) {
    const std::wstring path = ModulePath();
    AppendDisplayVersionOf(path.c_str(), line);
}

}  // namespace vestrel
