// Zero-filled blocks of the global heap, allocated moveable and kept locked while in use.
// Callers own what AllocateLocked returns and give it back through FreeLocked.
#pragma once
#include <cstddef>

// A locked, zero-filled block of byteCount bytes; null when it cannot be had.
void* AllocateLocked(size_t byteCount);

// The same block grown (or shrunk) to byteCount, keeping its bytes and zero-filling what
// is added. The block may move; on failure null is returned and the old block stays valid.
void* ReallocateLocked(void* block, size_t byteCount);

// Unlocks and frees a block from AllocateLocked or ReallocateLocked; null is ignored.
void FreeLocked(void* block);
