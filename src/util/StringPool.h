// StringPool: an index-addressed table of byte strings whose bytes are carved from a few large
// blocks. The pool owns its blocks and both tables; pointers from Data, Text and Entry point
// into it and stay valid until that entry is stored again elsewhere, its block is released,
// or the pool is reset or destroyed. Keep entry numbers, not StringEntry pointers, across Put.
#pragma once
#include <cstdint>

struct BlockEntry {
    char* memory;       // null when the block could not be had or was released
    int32_t used;       // bytes handed out from the start of the block
    int32_t capacity;   // 0 when the block could not be had or was released
    int32_t liveCount;  // texts stored into the block minus texts that left it
};

struct StringEntry {
    char* data;           // null for an entry without text
    int32_t length;       // bytes, without the terminating zero
    int32_t blockNumber;  // 0 for an entry that never held text
    int32_t reserved;     // length when the space was taken, plus 10; 0 without text
};

class StringPool {
public:
    explicit StringPool(int32_t blockSize);
    virtual ~StringPool();

    void Reset();                                               // empty, with a fresh first block
    int Put(int32_t index, const void* bytes, int32_t length);  // 1, or 0 when memory is short
    int Append(const void* bytes, int32_t length);
    int PutLine(int32_t index, const char* text);  // the text up to its first control byte but tab
    void Remove(int32_t index);
    char* Data(int32_t index);          // null without text or past Count
    char* Text(int32_t index);          // never null: the pool's empty string without text
    StringEntry* Entry(int32_t index);  // null past Count

    // Text files of CR LF lines (defined in TextFile.cpp).
    int LoadTextFile(const char* path);  // lines ended by CR; -1 cannot open; -2 cannot store
    int SaveTextFile(const char* path);  // Count; -1 cannot create

    // Read-only views of the block accounting, for diagnostics and tests.
    int32_t CurrentBlockNumber() const { return currentBlock_; }
    int32_t BlockTableCapacity() const { return blockCapacity_; }
    const BlockEntry* Block(int32_t number) const;  // null outside the table
    int32_t IndexCapacity() const { return indexCapacity_; }

    StringPool(const StringPool&) = delete;
    StringPool& operator=(const StringPool&) = delete;

private:
    int32_t AddBlock(int32_t minimumSize);
    int ReleaseBlock(int32_t number);
    int GrowIndex(int64_t capacity);
    int ExtendTo(int32_t index);
    void ReleaseAll();
    int StoreInNewSpace(StringEntry* entry, const void* bytes, int32_t length);

    int32_t blockSize_;
    BlockEntry* blocks_;
    int32_t currentBlock_;
    int32_t blockCapacity_;
    int64_t heldBytes_;  // the capacities of the blocks held
    StringEntry* index_;

public:
    int32_t Count;  // entries 0 to Count - 1; callers read it directly

private:
    int32_t indexCapacity_;
    char emptyString_;
};
