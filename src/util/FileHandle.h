// Closes a Win32 file handle on every return path; writes every byte or says why not.
#pragma once
#include <windows.h>

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != NULL; }
    HANDLE Get() const { return handle_; }
    // Gives the handle away: the caller closes it.
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    void Close() {
        if (IsOpen()) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

private:
    HANDLE handle_;
};

// True when all count bytes were written. A write that succeeds with fewer bytes is a full
// disk (Wine reports one so, with no error), and the last error then says so: a system error
// box must never show the text of success for a failed write.
inline bool WriteAll(HANDLE file, const void* bytes, DWORD count) {
    DWORD written = 0;
    if (!WriteFile(file, bytes, count, &written, NULL)) return false;
    if (written == count) return true;
    SetLastError(ERROR_DISK_FULL);
    return false;
}
