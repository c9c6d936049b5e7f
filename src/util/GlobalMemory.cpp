#include "util/GlobalMemory.h"

#include <windows.h>

void* AllocateLocked(size_t byteCount) {
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, byteCount);
    if (handle == NULL) return NULL;
    void* block = GlobalLock(handle);
    if (block == NULL) GlobalFree(handle);
    return block;
}

void* ReallocateLocked(void* block, size_t byteCount) {
    if (block == NULL) return AllocateLocked(byteCount);
    HGLOBAL handle = GlobalHandle(block);
    if (handle == NULL) return NULL;
    GlobalUnlock(handle);
    HGLOBAL grown = GlobalReAlloc(handle, byteCount, GMEM_MOVEABLE | GMEM_ZEROINIT);
    // On failure the old handle is still valid: lock it again so the caller's pointer holds.
    if (grown == NULL) {
        GlobalLock(handle);
        return NULL;
    }
    return GlobalLock(grown);
}

void FreeLocked(void* block) {
    if (block == NULL) return;
    HGLOBAL handle = GlobalHandle(block);
    if (handle == NULL) return;
    GlobalUnlock(handle);
    GlobalFree(handle);
}
