#include "shell/ShellFolders.h"

#include <windows.h>
#include <shlobj.h>

#include "util/FileHandle.h"
#include "util/FreshFile.h"
#include "util/PathUtil.h"

static const int kShellFolderIds[] = {
    CSIDL_DESKTOPDIRECTORY, CSIDL_STARTUP, CSIDL_SENDTO, CSIDL_PROGRAMS, CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY,
};
static const unsigned int kProgramFilesKind = 5;

// The file-system path of a shell folder into path (MAX_PATH bytes); empty when the shell
// knows no such folder or it is not on the file system.
static void GetShellFolderPath(int csidl, char* path) {
    path[0] = '\0';
    IMalloc* allocator = NULL;
    if (FAILED(SHGetMalloc(&allocator))) return;
    LPITEMIDLIST items = NULL;
    if (SUCCEEDED(SHGetSpecialFolderLocation(NULL, csidl, &items)) && items != NULL) {
        if (!SHGetPathFromIDListA(items, path)) path[0] = '\0';
        allocator->Free(items);
    }
    allocator->Release();
}

// The marker proves the folder writable; it is left behind on purpose. The folder is the user's:
// the marker is made anew where a plain file stands, and a link laid under its name is neither
// written through nor followed; the folder then counts as not writable.
static bool CreateMarker(const char* folder) {
    char marker[300];
    if (!CopyBounded(marker, sizeof marker, folder) || !AppendBounded(marker, sizeof marker, "\\make.chk")) {
        return false;
    }
    FileHandle file(CreateFreshFilePatiently(marker, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL));
    return file.IsOpen();
}

// Appends "\" and the folder name, whose fit the caller has checked; with create, the folder is
// made (it may exist already).
static void AppendFolder(char* path, const char* name, int create) {
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    if (create == 1) CreateDirectoryA(path, NULL);
}

AppDataFolder::AppDataFolder() {
    path_[0] = '\0';
}

const char* AppDataFolder::Locate(const char* makerFolder, const char* subFolder, int create) {
    path_[0] = '\0';
    char path[sizeof path_];
    GetShellFolderPath(CSIDL_APPDATA, path);
    if (path[0] == '\0') return path_;
    // A path that would not fit names another folder: refuse it before anything is created.
    if (lstrlenA(path) + 2 + lstrlenA(makerFolder) + lstrlenA(subFolder) >= static_cast<int>(sizeof path_)) {
        return path_;
    }
    AppendFolder(path, makerFolder, create);
    AppendFolder(path, subFolder, create);
    lstrcpyA(path_, path);
    if (create == 1 && !CreateMarker(path)) path_[0] = '\0';
    return path_;
}

ShellFolder::ShellFolder() {}

const char* ShellFolder::Locate(unsigned int kind, const char* suffix) {
    path_[0] = '\0';
    if (kind > kProgramFilesKind) return path_;
    char path[MAX_PATH];
    GetShellFolderPath(kShellFolderIds[kind], path);
    if (path[0] == '\0') return path_;
    if (kind == kProgramFilesKind) {
        // Only the Desktop's drive is asked; the folder name itself is fixed.
        if (path[1] != ':') return path_;
        path[2] = '\0';
        lstrcatA(path, "\\Program Files");
    }
    CopyBounded(path_, sizeof path_, path);
    bool fits = *LastChar(path_) == '\\' || AppendBounded(path_, sizeof path_, "\\");
    if (fits && suffix != NULL) fits = AppendBounded(path_, sizeof path_, suffix);
    if (!fits) path_[0] = '\0';
    return path_;
}
