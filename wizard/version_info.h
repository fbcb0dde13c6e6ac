// The program's own version resource, read once at start-up.
#pragma once

#include <windows.h>

#include <string>

#include "wizard/version_text.h"

namespace vestrel {

struct VersionRecord {
    std::wstring fileVersion;
    VersionNumbers fileNumbers;
    std::wstring productVersion;
    VersionNumbers productNumbers;
    std::wstring internalName;
    std::wstring productName;
    std::wstring specialBuild;  // empty when absent
};

// Start-up: reads FileVersion, ProductVersion, InternalName, ProductName
// and SpecialBuild of the program's version block into the record. Without
// a version block every text is empty and every number 0.
void ReadProgramVersion();
// Exit: frees the version block and empties the record.
void ReleaseProgramVersion();
const VersionRecord& ProgramVersion();

// A string value of the program's version block in its first translation;
// empty when missing or when there is no block.
std::wstring QueryVersionString(const wchar_t* name);

// Appends the About box's version ("0.75 BETA") read afresh from the
// program file's version resource, or "-Error-" when it has none.
void AppendDisplayVersion(std::wstring& line);
// The same for any file; for tests.
void AppendDisplayVersionOf(const wchar_t* path, std::wstring& line);

}  // namespace vestrel
