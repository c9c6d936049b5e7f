// On a Windows desktop, virus scanners, indexers, backup and sync clients and Explorer's preview
// open a file just after it was written or renamed and hold it for a few milliseconds up to a
// second or two. They share reading and writing but not deletion, so for that moment the file
// cannot be renamed over, replaced, created anew or deleted. Such a failure is tried again for a
// short, bounded time before it counts: every other failure counts at once.
//
// The schedule: the first wait is 10 ms and each next one twice as long, up to 200 ms, until
// 3 s have been waited in all. A scan of a small file ends within the first few waits, so a
// held file costs about as long as the hold; a large one gets up to 3 s. Waits stay short so
// that the moment a holder lets go is not overslept by much, and the whole wait stays under the
// 5 s after which Windows marks the wizard, whose thread waits here, as not responding. A hold
// that never ends thus shows its failure 3 s late, with the system's own error.
#pragma once
#include <windows.h>

// True when a call on path failed with error because another process holds the file: a sharing
// or lock violation, or access denied (also the answer for a name whose earlier file was deleted
// while another process held it: it stays "delete pending" until that process lets go). Access
// to a folder or a read-only file is denied for good, and is no hold.
bool IsHeldFileError(DWORD error, const char* path);

// The time that one operation, or one pass over many files, may wait for holders to let go.
class HoldPatience {
public:
    // After attempt (from 0) at a call on path failed with error: when the file is held and time
    // is left, waits for the next attempt and returns true. Otherwise false, with error as the
    // thread's last error.
    bool WaitAfter(DWORD error, const char* path, DWORD attempt);

    static const DWORD kFirstWaitMs = 10;
    static const DWORD kLongestWaitMs = 200;
    static const DWORD kTotalWaitMs = 3000;

private:
    DWORD waitedMs_ = 0;
};

// Calls attempt, a call on path, until it returns true, or fails for another reason than a hold,
// or patience runs out; the thread's last error is then the call's own. A pass over many files
// shares one patience, so that a hold that never ends costs the wait once, not once per file.
// Without a hold it costs one call.
template <typename Attempt>
bool RetryWhileHeld(Attempt attempt, const char* path, HoldPatience* patience) {
    for (DWORD failures = 0;; ++failures) {
        if (attempt()) return true;
        if (!patience->WaitAfter(GetLastError(), path, failures)) return false;
    }
}

template <typename Attempt>
bool RetryWhileHeld(Attempt attempt, const char* path) {
    HoldPatience patience;
    return RetryWhileHeld(attempt, path, &patience);
}

// The file calls of the run that create, replace, rename or delete a file, each retried while
// another process holds the file. Arguments and results are those of the system's calls.
HANDLE CreateFilePatiently(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
BOOL MoveFilePatiently(const char* from, const char* to, DWORD flags);
BOOL CopyFilePatiently(const char* from, const char* to, BOOL failIfExists);
BOOL DeleteFilePatiently(const char* path);

// Renames the open file (opened with DELETE access) to path, in its own folder, through its handle:
// no name is opened, so nothing that another program laid under the old name is followed.
// replaceExisting: a file under path is replaced. Waits while another process holds that file.
// False with the system's error.
bool RenameThroughHandlePatiently(HANDLE file, const char* path, bool replaceExisting);
