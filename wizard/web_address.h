// Opening a web address with the person's default handler, in one place
// for every link and the update prompt. The virtual program's tests may
// have the addresses written to a file instead.
#pragma once

#include <windows.h>

namespace vestrel::wizard {

// ShellExecuteW with the verb "Open", or a line in the log file.
void OpenWebAddress(const wchar_t* address, int showCommand);

// From now on every address is appended to the file (UTF-8, one a line)
// instead of being opened.
void LogWebAddressesTo(const wchar_t* file);

}  // namespace vestrel::wizard
