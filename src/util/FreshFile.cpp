#include "util/FreshFile.h"

#include <ntsecapi.h>

#include "util/FileHandle.h"
#include "util/HeldFile.h"
#include "util/PathUtil.h"

namespace {

bool NameIsTaken(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// The path that the system resolves the handle to, "\\?\" and all.
bool FinalPath(HANDLE handle, char* path, DWORD size) {
    DWORD length = GetFinalPathNameByHandleA(handle, path, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    return length > 0 && length < size;
}

// Whether the open file is the one that path names in path's folder, and not one that a link
// leads to: the folder resolved on its own, followed by the name, must be where the file resolves.
bool IsNamedHere(HANDLE file, const char* path) {
    char folder[kMaxPathBytes];
    if (!CopyBounded(folder, sizeof folder, path)) return false;
    char* name = FileNameOf(folder);
    if (name == folder) return false;
    char fileName[kMaxPathBytes];
    lstrcpyA(fileName, name);
    name[-1] = '\0';
    FileHandle folderHandle(CreateFileA(folder, FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, NULL));
    char expected[2 * kMaxPathBytes];
    char resolved[2 * kMaxPathBytes];
    return folderHandle.IsOpen() && FinalPath(folderHandle.Get(), expected, sizeof expected) &&
           AppendBounded(expected, sizeof expected, "\\") && AppendBounded(expected, sizeof expected, fileName) &&
           FinalPath(file, resolved, sizeof resolved) && lstrcmpiA(expected, resolved) == 0;
}

}  // namespace

bool RemovePlainFilePatiently(const char* path) {
    // On Windows this opens a link itself rather than what it points at.
    FileHandle file(CreateFilePatiently(path, DELETE | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS));
    if (!file.IsOpen()) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (!IsNamedHere(file.Get(), path)) {
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    return DeleteThroughHandle(file.Get());
}

bool DeleteThroughHandle(HANDLE file) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

HANDLE CreateFreshFilePatiently(const char* path, DWORD access, DWORD share, DWORD flags) {
    HANDLE file = CreateFilePatiently(path, access, share, CREATE_NEW, flags);
    if (file != INVALID_HANDLE_VALUE || !NameIsTaken(GetLastError())) return file;
    if (!RemovePlainFilePatiently(path)) return INVALID_HANDLE_VALUE;
    // A file deleted while another program holds it keeps its name until that program lets go
    // (Wine then answers that the file exists): a hold like any other.
    RetryWhileHeld(
        [&] {
            file = CreateFileA(path, access, share, NULL, CREATE_NEW, flags, NULL);
            if (file == INVALID_HANDLE_VALUE && NameIsTaken(GetLastError())) SetLastError(ERROR_SHARING_VIOLATION);
            return file != INVALID_HANDLE_VALUE;
        },
        path);
    return file;
}

bool AppendUnguessableName(char* path, size_t size, const char* prefix, const char* suffix) {
    unsigned char random[8];
    if (!RtlGenRandom(random, sizeof random)) return false;
    char name[64];
    lstrcpynA(name, prefix, 32);
    for (size_t i = 0; i < sizeof random; ++i)
        wsprintfA(name + lstrlenA(name), "%02x", random[i]);
    return AppendBounded(name, sizeof name, suffix) && AppendBounded(path, size, name);
}
