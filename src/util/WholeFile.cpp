#include "util/WholeFile.h"

#include "util/FileHandle.h"
#include "util/FreshFile.h"
#include "util/HeldFile.h"

const char kReplacementFileName[] = "~kx.tmp";

namespace {
const DWORD kCopyChunkBytes = 64 * 1024;
}

// temporary = the folder of target followed by the replacement name; false when it won't fit.
static bool ReplacementPathFor(const char* target, char* temporary) {
    if (!CopyBounded(temporary, kMaxPathBytes, target)) return false;
    *FileNameOf(temporary) = '\0';
    return AppendBounded(temporary, kMaxPathBytes, kReplacementFileName);
}

WholeFileWriter::WholeFileWriter(const char* targetPath) : file_(INVALID_HANDLE_VALUE), failed_(false) {
    target_[0] = '\0';
    temporary_[0] = '\0';
    if (!CopyBounded(target_, sizeof target_, targetPath) || !ReplacementPathFor(targetPath, temporary_)) return;
    // The folder may be one that the user's other programs write to (a data folder of the user
    // list, the record folder). Where a link stands under the temporary name, the bytes go beside
    // it under a name that nobody can know in advance; a run killed then leaves that file.
    file_ = CreateFreshFilePatiently(temporary_, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL);
    if (file_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return;
    *FileNameOf(temporary_) = '\0';
    if (AppendUnguessableName(temporary_, sizeof temporary_, "~kx", ".tmp"))
        file_ = CreateFilePatiently(temporary_, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
}

WholeFileWriter::~WholeFileWriter() {
    Discard();
}

bool WholeFileWriter::Write(const void* bytes, DWORD count) {
    if (failed_ || !WriteAll(file_, bytes, count)) failed_ = true;
    return !failed_;
}

// The bytes are on the disk before the name moves, so that a power cut after the rename
// cannot leave an empty or cut file under the target's name.
bool WholeFileWriter::Commit(bool replaceExisting) {
    if (!IsOpen() || failed_ || !FlushFileBuffers(file_)) {
        Discard();
        return false;
    }
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFilePatiently(temporary_, target_, flags)) return true;
    DWORD error = GetLastError();
    DeleteFilePatiently(temporary_);
    SetLastError(error);  // for the caller's system error box
    return false;
}

void WholeFileWriter::Discard() {
    if (!IsOpen()) return;
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    DeleteFilePatiently(temporary_);
}

static bool CopyBytes(HANDLE source, WholeFileWriter* writer) {
    static char chunk[kCopyChunkBytes];  // one thread, one copy at a time
    DWORD got = 0;
    do {
        if (!ReadFile(source, chunk, kCopyChunkBytes, &got, NULL)) return false;
        if (got > 0 && !writer->Write(chunk, got)) return false;
    } while (got > 0);
    return true;
}

bool CopyFileWhole(const char* source, const char* target, bool replaceExisting) {
    FileHandle from(
        CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    if (!from.IsOpen()) return false;
    WholeFileWriter writer(target);
    FILETIME lastWrite;
    if (!writer.IsOpen() || !CopyBytes(from.Get(), &writer) || !GetFileTime(from.Get(), NULL, NULL, &lastWrite) ||
        !SetFileTime(writer.Get(), NULL, NULL, &lastWrite))
        return false;
    return writer.Commit(replaceExisting);
}

void RemoveLeftoverReplacement(const char* folder) {
    char path[kMaxPathBytes];
    if (CopyBounded(path, sizeof path, folder) && AppendBounded(path, sizeof path, kReplacementFileName))
        RemovePlainFilePatiently(path);
}
