#include "util/FreshFile.h"

#include <ntsecapi.h>

#include "util/FileHandle.h"
#include "util/HeldFile.h"
#include "util/PathUtil.h"

namespace {

bool NameIsTaken(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// The path that the system resolves the handle to, "\\?\" and all; false where the file system
// cannot say (some network and RAM-disk file systems give no normalized form).
bool FinalPath(HANDLE handle, wchar_t* path, DWORD size) {
    DWORD length = GetFinalPathNameByHandleW(handle, path, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    return length > 0 && length < size;
}

// The open handle's attributes; none of the bits asked about when the system cannot say. On
// Windows a handle opened with FILE_FLAG_OPEN_REPARSE_POINT is the link itself and carries its
// attribute.
DWORD HandleAttributes(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileInformationByHandle(handle, &information) ? information.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

// By what the open handle itself says, a plain file (folder false) or a plain folder, and no link
// of any kind.
bool IsPlain(HANDLE handle, bool folder) {
    DWORD attributes = HandleAttributes(handle);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
               (folder ? FILE_ATTRIBUTE_DIRECTORY : 0);
}

bool EndsInBackslash(const wchar_t* text) {
    size_t length = lstrlenW(text);
    return length > 0 && text[length - 1] == L'\\';
}

// Whether the open file is the one that path names in path's folder, and not one that a link
// leads to. Under Wine a link is no reparse point, so its attributes are its target's: there the
// folder, resolved on its own, followed by the name must be where the file resolves. The folder
// keeps its backslash, so that "D:\\" stays the root and does not become D:'s current folder, and
// a root's final path already ends in one. Where the system gives no final path, the attributes
// alone decide.
bool IsNamedHere(HANDLE file, const char* path) {
    char folder[kMaxPathBytes];
    if (!CopyBounded(folder, sizeof folder, path)) return false;
    char* name = FileNameOf(folder);
    if (name == folder) return false;
    wchar_t fileName[kMaxPathBytes];
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, fileName, kMaxPathBytes) == 0) return false;
    *name = '\0';
    FileHandle folderHandle(CreateFileA(folder, FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, NULL));
    wchar_t expected[2 * kMaxPathBytes];
    wchar_t resolved[2 * kMaxPathBytes];
    if (!folderHandle.IsOpen() || !FinalPath(folderHandle.Get(), expected, 2 * kMaxPathBytes) ||
        !FinalPath(file, resolved, 2 * kMaxPathBytes))
        return true;
    size_t length = lstrlenW(expected);
    if (!EndsInBackslash(expected)) expected[length++] = L'\\';
    if (length + lstrlenW(fileName) >= 2 * kMaxPathBytes) return false;
    lstrcpyW(expected + length, fileName);
    // Exact but blind to case, as the file system compares names; not a linguistic comparison.
    return CompareStringOrdinal(expected, -1, resolved, -1, TRUE) == CSTR_EQUAL;
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
    if (!IsPlain(file.Get(), false) || !IsNamedHere(file.Get(), path)) {
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    return DeleteThroughHandle(file.Get());
}

HANDLE OpenPlainFolderForRemoval(const char* path) {
    FileHandle folder(CreateFileA(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, NULL));
    if (!folder.IsOpen() || !IsPlain(folder.Get(), true) || !IsNamedHere(folder.Get(), path))
        return INVALID_HANDLE_VALUE;
    return folder.Release();
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
