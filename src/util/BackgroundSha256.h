// The SHA-256 of a file, computed on a second thread that reads the file through a handle of its
// own, from its first byte to its last, while the caller goes on (copying the same file,
// extracting what it copied). Nothing that the caller does waits for it until it asks for the
// digest.
#pragma once
#include <windows.h>

#include "util/Sha256.h"

class BackgroundSha256 {
public:
    // Large, so that a file of hundreds of megabytes takes few reads.
    static const DWORD kChunkBytes = 256 * 1024;
    static const DWORD kDigestBytes = Sha256::kDigestBytes;

    BackgroundSha256();
    ~BackgroundSha256();  // stops the thread at its next chunk and waits for it

    // Takes file, at its start and open for reading (it is closed here), and starts the thread;
    // false when the hash, the memory or the thread is not to be had.
    bool Start(HANDLE file);
    // Waits for the thread and gives the digest; false when a read or the hash failed.
    bool Finish(BYTE digest[kDigestBytes]);

    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

private:
    static DWORD WINAPI HashFile(void* self);
    void Stop();

    HANDLE file_;
    HANDLE thread_;
    Sha256 sha_;
    BYTE* chunk_;
    volatile LONG stopping_;
    bool failed_;  // written by the thread only, read after it ends
};
