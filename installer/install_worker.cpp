#include "installer/install_worker.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "installer/folder_guard.h"
#include "installer/install_list.h"
#include "installer/installer_state.h"
#include "installer/list_files.h"
#include "installer/own_version.h"
#include "installer/shell_folders.h"
#include "installer/texts.h"
#include "installer/uninstall_entry.h"

namespace vestrel::installer {

namespace {

constexpr DWORD kCopyRetryMs = 2000;
constexpr DWORD kFolderWaitMs = 5000;

// Waits on the cancel event; true when it was set.
bool Cancelled(DWORD ms) {
    return WaitForSingleObject(State().cancelEvent, ms) == WAIT_OBJECT_0;
}

std::wstring ModuleFolder() {
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), MAX_PATH - 1);
    std::wstring path(buffer.data(), length);
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The folder's entries as FindFirstFileW reports them.
std::vector<FolderEntry> FolderEntries(std::u16string_view folder) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Join(Wide(folder), L"*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        entries.push_back({U16(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           LeadsElsewhere(found.dwFileAttributes, found.dwReserved0)});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return entries;
}

std::wstring ParentOf(const std::wstring& relative) {
    const size_t slash = relative.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash);
}

// The files to copy, and the subfolders that do not exist yet and so will
// be the installer's own, merged with the list an earlier installation
// left in the folder.
InstallList PlannedList(const std::wstring& installFolder, const std::vector<std::wstring>& files) {
    InstallList added;
    for (const std::wstring& file : files) {
        added.files.push_back(U16(file));
        for (std::wstring folder = ParentOf(file); !folder.empty(); folder = ParentOf(folder)) {
            if (!IsFolder(Join(installFolder, folder)))
                added.folders.push_back(U16(folder));
        }
    }
    const auto old = ReadInstallListFile(Join(installFolder, Wide(kInstallListName)));
    return MergeInstallLists(old.value_or(InstallList{}), added);
}

enum class Attempt { Done, Cancelled, GaveUp };

// The question after a failed copy: true to try the same file again.
bool AskRetry(const std::wstring& target) {
    const std::wstring text = L"Failed to copy file; target:\n\n" + target + L"\n\nRetry?";
    return MessageBoxW(nullptr, text.c_str(), kCaption,
                       MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND) != IDNO;
}

bool WizardRunning() {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, kWizardInstanceName);
    if (!mapping)
        return GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(mapping);
    return true;
}

// A running wizard cannot be replaced: the user closes it first (Retry)
// or gives up the installation (false).
bool WizardClosed() {
    while (WizardRunning()) {
        if (MessageBoxW(nullptr, kWizardRunningText, kCaption,
                        MB_RETRYCANCEL | MB_ICONEXCLAMATION | MB_SETFOREGROUND) != IDRETRY)
            return false;
    }
    return true;
}

// Whether the two paths name one file (the installer run from the folder
// it installs into copies every file onto itself).
bool SameFile(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION info[2]{};
    int known = 0;
    for (const std::wstring* path : {&a, &b}) {
        HANDLE file = CreateFileW(path->c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        known += GetFileInformationByHandle(file, &info[known]) ? 1 : 0;
        CloseHandle(file);
    }
    return known == 2 && info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
}

uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// Copies one file, retrying for two seconds, then asking. An older file
// left in place would leave the installation half old: only a copy (or
// the source itself) counts.
Attempt CopyOne(const std::wstring& source, const std::wstring& target) {
    for (;;) {
        SetCurrentFileName(target.substr(target.rfind(L'\\') + 1));
        const DWORD start = GetTickCount();
        bool copied = SameFile(source, target) || CopyFileW(source.c_str(), target.c_str(), FALSE);
        while (!copied) {
            if (Cancelled(100))
                return Attempt::Cancelled;
            if (GetTickCount() - start > kCopyRetryMs)
                break;
            copied = CopyFileW(source.c_str(), target.c_str(), FALSE);
        }
        if (copied) {
            SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
            return Attempt::Done;
        }
        if (!AskRetry(target))
            return Attempt::GaveUp;
    }
}

// What Windows shows of the installation in its list of programs.
EntryDetails Details(const std::wstring& folder, uint64_t bytes) {
    EntryDetails details;
    const std::wstring wizard = Join(folder, kWizardExe);
    const auto version = FileVersionFields(wizard);
    if (version != decltype(version){}) {
        for (uint16_t field : version)
            details.displayVersion += std::to_wstring(field) + L".";
        details.displayVersion.pop_back();
    }
    details.displayIcon = wizard;
    details.installLocation = folder;
    details.estimatedSizeKb = static_cast<DWORD>((bytes + 1023) / 1024);
    return details;
}

DWORD Install(const InstallJob& job) {
    if (Cancelled(1000))
        return kCancelled;
    if (!WizardClosed())
        return kCancelled;
    RaiseStepAdvances(1);
    if (Cancelled(100))
        return kCancelled;

    const std::wstring& folder = job.installFolder;
    CreateFolderLevels(folder, State().cancelEvent);
    const DWORD start = GetTickCount();
    while (!IsFolder(folder) && GetTickCount() - start < kFolderWaitMs) {
        if (Cancelled(100))
            return kCancelled;
    }
    if (!IsFolder(folder))
        return IsCancelling() ? kCancelled : kFolderFailed;

    RaiseStepAdvances(1);
    if (Cancelled(1000))
        return kCancelled;

    const std::wstring source = ModuleFolder();
    std::vector<std::wstring> files;
    if (!source.empty()) {
        for (const std::u16string& file : ListPackageFiles(U16(source), FolderEntries))
            files.push_back(Wide(file));
    }

    // The list first: whatever gets copied is then always listed.
    const std::wstring listPath = Join(folder, Wide(kInstallListName));
    const InstallList list = PlannedList(folder, files);
    while (!WriteWholeFile(listPath, FormatInstallList(list))) {
        if (!AskRetry(listPath))
            return IsCancelling() ? kCancelled : kCopyFailed;
    }

    uint64_t bytes = 0;
    for (const std::wstring& relative : files) {
        const std::wstring target = Join(folder, relative);
        CreateFolderLevels(target.substr(0, target.rfind(L'\\')), State().cancelEvent);
        if (Cancelled(0))
            return kCancelled;
        switch (CopyOne(Join(source, relative), target)) {
            case Attempt::Done:
                bytes += FileSize(target);
                break;
            case Attempt::Cancelled:
                return kCancelled;
            case Attempt::GaveUp:
                return IsCancelling() ? kCancelled : kCopyFailed;
        }
    }
    SetCurrentFileName(L"");

    RaiseStepAdvances(2);
    if (Cancelled(1000))
        return kCancelled;
    CreateShortcuts(Join(folder, kWizardExe), job.shortcuts);

    RaiseStepAdvances(1);
    if (Cancelled(1000))
        return kCancelled;
    const std::wstring command = Join(folder, kInstallerExe);
    SetRememberedCommand(command);
    WriteUninstallEntry(command, Details(folder, bytes));
    Sleep(500);
    return kInstalled;
}

}  // namespace

DWORD WINAPI InstallWorker(void* parameter) {
    const std::unique_ptr<InstallJob> job(static_cast<InstallJob*>(parameter));
    return Install(*job);
}

}  // namespace vestrel::installer
