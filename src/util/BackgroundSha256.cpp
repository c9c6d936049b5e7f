#include "util/BackgroundSha256.h"

BackgroundSha256::BackgroundSha256()
    : file_(INVALID_HANDLE_VALUE), thread_(NULL), chunk_(NULL), stopping_(0), failed_(false) {}

BackgroundSha256::~BackgroundSha256() {
    InterlockedExchange(&stopping_, 1);
    Stop();
    if (chunk_ != NULL) HeapFree(GetProcessHeap(), 0, chunk_);
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

bool BackgroundSha256::Start(HANDLE file) {
    file_ = file;
    if (!sha_.Start()) return false;
    chunk_ = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, kChunkBytes));
    if (chunk_ == NULL) return false;
    thread_ = CreateThread(NULL, 0, HashFile, this, 0, NULL);
    return thread_ != NULL;
}

bool BackgroundSha256::Finish(BYTE digest[kDigestBytes]) {
    if (thread_ == NULL) return false;
    Stop();
    return !failed_ && sha_.Finish(digest);
}

void BackgroundSha256::Stop() {
    if (thread_ == NULL) return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = NULL;
}

DWORD WINAPI BackgroundSha256::HashFile(void* self) {
    BackgroundSha256* hasher = static_cast<BackgroundSha256*>(self);
    for (;;) {
        if (InterlockedCompareExchange(&hasher->stopping_, 0, 0) != 0) {
            hasher->failed_ = true;
            return 0;
        }
        DWORD got = 0;
        if (!ReadFile(hasher->file_, hasher->chunk_, kChunkBytes, &got, NULL) ||
            (got > 0 && !hasher->sha_.Add(hasher->chunk_, got))) {
            hasher->failed_ = true;
            return 0;
        }
        if (got == 0) return 0;
    }
}
