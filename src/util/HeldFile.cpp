#include "util/HeldFile.h"

#include "util/PathUtil.h"

bool IsHeldFileError(DWORD error, const char* path) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
    if (error != ERROR_ACCESS_DENIED) return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES ||
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

bool HoldPatience::WaitAfter(DWORD error, const char* path, DWORD attempt) {
    bool waits = waitedMs_ < kTotalWaitMs && IsHeldFileError(error, path);
    if (waits) {
        DWORD wait = attempt < 5 ? kFirstWaitMs << attempt : kLongestWaitMs;
        if (wait > kLongestWaitMs) wait = kLongestWaitMs;
        if (wait > kTotalWaitMs - waitedMs_) wait = kTotalWaitMs - waitedMs_;
        Sleep(wait);
        waitedMs_ += wait;
    }
    SetLastError(error);
    return waits;
}

HANDLE CreateFilePatiently(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    HANDLE file = INVALID_HANDLE_VALUE;
    RetryWhileHeld(
        [&] {
            file = CreateFileA(path, access, share, NULL, disposition, flags, NULL);
            return file != INVALID_HANDLE_VALUE;
        },
        path);
    return file;
}

// A rename is held up by a holder of either file; a folder or a read-only file in the way of the
// target is what denies it for good.
BOOL MoveFilePatiently(const char* from, const char* to, DWORD flags) {
    return RetryWhileHeld([&] { return MoveFileExA(from, to, flags) != FALSE; }, to);
}

BOOL CopyFilePatiently(const char* from, const char* to, BOOL failIfExists) {
    return RetryWhileHeld([&] { return CopyFileA(from, to, failIfExists) != FALSE; }, to);
}

BOOL DeleteFilePatiently(const char* path) {
    return RetryWhileHeld([&] { return DeleteFileA(path) != FALSE; }, path);
}

// The new name in the system's own form ("\\??\\C:\\dir\\name", "\\??\\UNC\\server\\share\\name"), which
// every Windows since Vista and Wine take as it stands: whether a drive path is converted first
// has changed between versions, and a bare name would be taken from the current folder.
static bool SystemFormOf(const char* path, WCHAR* form, int capacity) {
    const WCHAR* prefix = L"\\??\\";
    if (path[0] == '\\' && path[1] == '\\' && path[2] == '?' && path[3] == '\\')
        path += 4;
    else if (path[0] == '\\' && path[1] == '\\') {
        prefix = L"\\??\\UNC\\";
        path += 2;
    }
    int prefixLength = lstrlenW(prefix);
    lstrcpyW(form, prefix);
    return MultiByteToWideChar(CP_ACP, 0, path, -1, form + prefixLength, capacity - prefixLength) != 0;
}

bool RenameThroughHandlePatiently(HANDLE file, const char* path, bool replaceExisting) {
    const int kCapacity = kMaxPathBytes + 16;
    union {
        FILE_RENAME_INFO info;
        BYTE bytes[sizeof(FILE_RENAME_INFO) + kCapacity * sizeof(WCHAR)];
    } rename;
    ZeroMemory(&rename, sizeof rename);
    rename.info.ReplaceIfExists = replaceExisting ? TRUE : FALSE;
    if (!SystemFormOf(path, rename.info.FileName, kCapacity)) return false;
    rename.info.FileNameLength = static_cast<DWORD>(lstrlenW(rename.info.FileName)) * sizeof(WCHAR);
    return RetryWhileHeld(
        [&] { return SetFileInformationByHandle(file, FileRenameInfo, &rename, sizeof rename) != FALSE; }, path);
}
