#include "util/BackgroundSha256.h"

#include <wincrypt.h>

namespace {
// A count that no chunk has tells the thread that the stream has ended.
const DWORD kEndOfStream = MAXDWORD;
}  // namespace

BackgroundSha256::BackgroundSha256()
    : slots_(NULL),
      filling_(-1),
      filled_(true),
      hashing_(0),
      free_(NULL),
      full_(NULL),
      thread_(NULL),
      provider_(0),
      hash_(0),
      failed_(false) {}

BackgroundSha256::~BackgroundSha256() {
    Stop();
    if (hash_ != 0) CryptDestroyHash(hash_);
    if (provider_ != 0) CryptReleaseContext(provider_, 0);
    if (free_ != NULL) CloseHandle(free_);
    if (full_ != NULL) CloseHandle(full_);
    if (slots_ != NULL) HeapFree(GetProcessHeap(), 0, slots_);
}

bool BackgroundSha256::Start() {
    // The AES provider is the one that knows SHA-256 on every Windows since XP SP3.
    if (!CryptAcquireContextA(&provider_, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return false;
    if (!CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_)) return false;
    slots_ = static_cast<Slot*>(HeapAlloc(GetProcessHeap(), 0, sizeof(Slot) * kSlots));
    free_ = CreateSemaphoreA(NULL, kSlots, kSlots, NULL);
    full_ = CreateSemaphoreA(NULL, 0, kSlots, NULL);
    if (slots_ == NULL || free_ == NULL || full_ == NULL) return false;
    thread_ = CreateThread(NULL, 0, HashChunks, this, 0, NULL);
    return thread_ != NULL;
}

char* BackgroundSha256::NextChunk() {
    if (!filled_) return slots_[filling_].bytes;
    WaitForSingleObject(free_, INFINITE);
    filling_ = (filling_ + 1) % kSlots;
    filled_ = false;
    return slots_[filling_].bytes;
}

void BackgroundSha256::Hash(DWORD count) {
    slots_[filling_].count = count;
    filled_ = true;
    ReleaseSemaphore(full_, 1, NULL);
}

bool BackgroundSha256::Finish(BYTE digest[kDigestBytes]) {
    Stop();
    DWORD length = kDigestBytes;
    return !failed_ && CryptGetHashParam(hash_, HP_HASHVAL, digest, &length, 0) && length == kDigestBytes;
}

// Hands the thread the end of the stream, in the next slot (or the one the caller took and left
// unfilled: the thread takes the slots in turn), and waits for it.
void BackgroundSha256::Stop() {
    if (thread_ == NULL) return;
    NextChunk();
    Hash(kEndOfStream);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = NULL;
}

DWORD WINAPI BackgroundSha256::HashChunks(void* self) {
    BackgroundSha256* hasher = static_cast<BackgroundSha256*>(self);
    for (;;) {
        WaitForSingleObject(hasher->full_, INFINITE);
        Slot& slot = hasher->slots_[hasher->hashing_];
        hasher->hashing_ = (hasher->hashing_ + 1) % kSlots;
        if (slot.count == kEndOfStream) return 0;
        if (!hasher->failed_ && !CryptHashData(hasher->hash_, reinterpret_cast<BYTE*>(slot.bytes), slot.count, 0))
            hasher->failed_ = true;
        ReleaseSemaphore(hasher->free_, 1, NULL);
    }
}
