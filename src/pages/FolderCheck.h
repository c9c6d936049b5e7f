// The checks behind the folder page: whether a folder may be installed into, whether it holds
// anything, and which folder to offer after the user browsed to one.
#pragma once
#include <cstddef>

// 1 when the folder (a trailing backslash is allowed) holds any entry besides "." and "..".
int FolderHasEntries(const char* path);

// Checks installFolder, asking and warning in the user's words; sets versionUp when the folder
// holds "korvex.exe". 0 to accept the folder, -1 to stay on the page.
int ValidateInstallFolder();

// After browsing to folderText: a folder that holds files but not the application gets the
// subfolder "Korvanto" appended. 1 when folderText (of folderSize bytes) was changed.
int SuggestInstallSubfolder(char* folderText, size_t folderSize);
