// Folders: the shell's special folders, folder creation level by level,
// the Quick Launch folder, and the folders the uninstaller never empties.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "installer/folder_guard.h"

namespace vestrel::installer {

// A special folder through SHGetFolderPathW, loaded from Shell32.dll at
// run time, with CSIDL_FLAG_CREATE added; empty when it cannot be had.
std::wstring ShellFolder(int csidl);

// Creates every level of the path from the left, waiting up to 100 ms on
// the cancel event before each; stops at once when it is set. Levels that
// exist are left alone; failures are not reported.
void CreateFolderLevels(const std::wstring& path, HANDLE cancelEvent);

// Application data, then "Microsoft", "Internet Explorer" and "Quick
// Launch", each created, 100 ms before each of the three.
std::wstring QuickLaunchFolder();

bool IsFile(const std::wstring& path);
bool IsFolder(const std::wstring& path);
// The path itself is a junction, symbolic link or other name surrogate.
bool IsLink(const std::wstring& path);

// The path as the guard compares it: full, long form, upper case.
std::wstring ComparablePath(const std::wstring& path);
// Windows, system, program, profile and per-user shell folders, comparable.
std::vector<std::wstring> ProtectedFolders();
// Whether the folder may be an install folder, and so have its listed files
// deleted: absolute, not a root, neither a protected folder nor above one.
FolderVerdict CheckInstallFolder(const std::wstring& folder);

}  // namespace vestrel::installer
