#include "installer/update_leftovers.h"

#include <shlobj.h>
#include <windows.h>

#include "installer/shell_folders.h"
#include "installer/texts.h"
#include "update/update_check.h"

namespace vestrel::installer {

void RemoveUpdateCheckFiles() {
    const std::wstring appData = ShellFolder(CSIDL_APPDATA);
    if (appData.empty())
        return;
    // Only the names are shared with the wizard; nothing of it is linked.
    const std::wstring folder = Join(appData, Wide(update::kWorkingFolderName));
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    for (std::u16string_view name :
         {update::kPageFileName, update::kWidePageFileName, update::kAsciiPageFileName})
        DeleteFileW(Join(folder, Wide(name)).c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace vestrel::installer
