// The SHA-256 of a stream of chunks, computed by the system's own provider on a second thread
// while the caller goes on with the chunks (copying them, say). The hash of a large package costs
// about as much as its copy; side by side, the two take the time of the slower one.
#pragma once
#include <windows.h>

class BackgroundSha256 {
public:
    // Large, so that the two threads meet seldom: under Wine each hand-over is a call of the
    // server (measured: 64 KiB chunks made a bound run of 256 MiB 0.3 s slower).
    static const DWORD kChunkBytes = 256 * 1024;
    static const DWORD kDigestBytes = 32;

    BackgroundSha256();
    ~BackgroundSha256();  // ends the thread, whatever it was doing

    // Acquires the system's SHA-256 and starts the thread; false when either is not to be had.
    bool Start();
    // A buffer of kChunkBytes for the next chunk; waits while every buffer is still being hashed.
    // Asked again before Hash, it gives the same buffer.
    char* NextChunk();
    // Hashes the first count bytes of the buffer that NextChunk gave last. The caller may go on
    // reading that buffer until it asks for the next one.
    void Hash(DWORD count);
    // Waits for the last chunk and gives the digest; false when the provider failed.
    bool Finish(BYTE digest[kDigestBytes]);

    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

private:
    static const int kSlots = 4;
    struct Slot {
        char bytes[kChunkBytes];
        DWORD count;
    };

    static DWORD WINAPI HashChunks(void* self);
    void Stop();

    Slot* slots_;
    int filling_;  // the slot that NextChunk gave last
    bool filled_;  // and Hash has handed it to the thread
    int hashing_;  // the next slot for the thread
    HANDLE free_;  // counts the slots the caller may fill
    HANDLE full_;  // counts the slots the thread is to hash
    HANDLE thread_;
    ULONG_PTR provider_;
    ULONG_PTR hash_;
    bool failed_;  // written by the thread only, read after it ends
};
