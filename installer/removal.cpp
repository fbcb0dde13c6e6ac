#include "installer/removal.h"

#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include <vector>

#include "installer/ansi_path.h"
#include "installer/batch_file.h"
#include "installer/folder_guard.h"
#include "installer/install_list.h"
#include "installer/installer_state.h"
#include "installer/list_files.h"
#include "installer/own_version.h"
#include "installer/shell_folders.h"
#include "installer/shortcuts.h"
#include "installer/texts.h"
#include "installer/uninstall_entry.h"
#include "installer/update_leftovers.h"

namespace vestrel::installer {

namespace {

// The install folder of the command, when the uninstaller may delete the
// files its list names there.
std::optional<std::wstring> FolderToEmpty(const std::wstring& command) {
    const auto folder = FolderOfCommand(U16(command));
    if (!folder || CheckInstallFolder(Wide(*folder)) != FolderVerdict::Allowed)
        return std::nullopt;
    return Wide(*folder);
}

// Writes the batch file that deletes the listed files of the folder; the
// paths cmd cannot be told exactly are deleted here instead.
bool WriteRemovalBatch(const std::wstring& folder, InstallList list, const std::wstring& batch) {
    // A listed name that is a folder now is not ours to "del" (it would
    // empty that folder).
    std::erase_if(list.files,
                  [&](const std::u16string& file) { return IsFolder(Join(folder, Wide(file))); });
    // The batch file exists before its text is made, so it has a short form.
    if (!WriteWholeFile(batch, {}))
        return false;
    const RemovalBatch removal = BuildRemovalBatch(
        U16(folder), list, EncodeBatchPath, ShortPath,
        FoldersRemovedLast(U16(folder), U16(VESTREL_INSTALL_LEVEL1), U16(VESTREL_INSTALL_LEVEL2)));
    for (const std::u16string& file : removal.filesLeftToUs) {
        const std::wstring path = Wide(file);
        if (!DeleteFileW(path.c_str()))
            MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    for (const std::u16string& subfolder : removal.foldersLeftToUs)
        RemoveDirectoryW(Wide(subfolder).c_str());
    return WriteWholeFile(batch, removal.bytes);
}

}  // namespace

void CheckPreviousInstallation() {
    const auto command = ReadUninstallCommand();
    if (!command || command->empty())
        return;
    SetRememberedCommand(*command);
    const auto folder = FolderOfCommand(U16(*command));
    if (!folder)
        return;
    const auto version = FileVersionFields(Join(Wide(*folder), kWizardExe));
    if (version[3] != kPairedBuild)
        return;
    if (MessageBoxW(nullptr, L"Uninstall t4k Vestrel\u2122?", kCaption,
                    MB_YESNO | MB_ICONQUESTION) == IDYES)
        RunRemoval(*command);
    ExitProcess(0);
}

void RunRemoval(const std::wstring& uninstallCommand) {
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallParent, 0, KEY_READ, &parent) == ERROR_SUCCESS) {
        DeleteKeyTree(parent, kUninstallSubkey);
        RegCloseKey(parent);
    }
    const std::wstring startMenu = StartMenuShortcutPath();
    for (const std::wstring& shortcut :
         {DesktopShortcutPath(), QuickLaunchShortcutPath(), startMenu}) {
        if (!shortcut.empty())
            DeleteFileW(shortcut.c_str());
    }
    // The publisher's Start Menu folder goes when nothing else is in it.
    if (!startMenu.empty())
        RemoveDirectoryW(startMenu.substr(0, startMenu.rfind(L'\\')).c_str());
    if (uninstallCommand.empty())
        return;
    RemoveUpdateCheckFiles();
    const auto folder = FolderToEmpty(uninstallCommand);
    if (!folder)
        return;
    const auto list = ReadInstallListFile(Join(*folder, Wide(kInstallListName)));
    if (!list)
        return;
    // A link planted in the folder would turn the deletes onto what it leads to.
    if (LinkOnListedPaths(U16(*folder), *list,
                          [](std::u16string_view path) { return IsLink(Wide(path)); }))
        return;
    const std::wstring batch = Join(*folder, Wide(kBatchFileName));
    if (!WriteRemovalBatch(*folder, *list, batch))
        return;
    Sleep(500);
    // The batch file inherits this folder as its own; were it the install
    // folder, that could not be removed.
    wchar_t system[MAX_PATH] = {};
    if (GetSystemDirectoryW(system, MAX_PATH))
        SetCurrentDirectoryW(system);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ShellExecuteW(nullptr, L"Open", batch.c_str(), nullptr, nullptr, SW_HIDE);
    if (SUCCEEDED(com))
        CoUninitialize();
}

}  // namespace vestrel::installer
