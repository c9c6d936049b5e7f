// Files that a run rewrites are replaced whole or not at all. The new bytes go to a temporary
// file in the target's own folder, reach the disk, and only then take the target's name in one
// step. A kill or a power cut at any moment leaves the old file or the new one, never a cut one.
// It may leave the temporary file; that name is never read, and the next write in the same
// folder takes it over.
#pragma once
#include <windows.h>

#include "util/PathUtil.h"

// The temporary file's name, in the folder of the file being replaced.
extern const char kReplacementFileName[];

class WholeFileWriter {
public:
    // Opens the temporary file for targetPath; IsOpen tells whether that worked.
    explicit WholeFileWriter(const char* targetPath);
    // Without a successful Commit the temporary file goes and the target keeps its bytes.
    ~WholeFileWriter();

    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return file_; }
    // False when a write failed; the target then keeps its bytes at Commit.
    bool Write(const void* bytes, DWORD count);
    // Puts the written bytes in the target's place. With replaceExisting false an existing
    // target is kept and false returned.
    bool Commit(bool replaceExisting = true);

    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;

private:
    void Discard();

    HANDLE file_;
    bool failed_;
    char target_[kMaxPathBytes];
    char temporary_[kMaxPathBytes];
};

// Copies source to target whole or not at all, with the source's last-write time, as a copy
// of the platform would give it. With replaceExisting false an existing target is kept and
// false returned.
bool CopyFileWhole(const char* source, const char* target, bool replaceExisting);

// Takes away a temporary file that a killed run left in folder (which ends in a backslash).
void RemoveLeftoverReplacement(const char* folder);
