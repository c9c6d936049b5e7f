#include "util/StringPool.h"

#include <cstdint>
#include <cstring>

#include "util/GlobalMemory.h"
#include "util/Message.h"

namespace {
const int32_t kTableGrowth = 10;   // both tables start with this many rows and grow by at least as many
const int32_t kReserveExtra = 10;  // every text takes its length plus this inside a block
const int32_t kMaxLength = 0x7FFFFFFF - 2 * kReserveExtra;
// Past this many bytes in blocks, a new block is at least this share of them (an eighth): a
// pool of a million records takes some hundred blocks instead of a hundred thousand, and no
// more than an eighth of its memory lies unused at the end of its current block.
const int32_t kBlockGrowthDivisor = 8;
const int32_t kLargestGrownBlock = 64 * 1024 * 1024;
}  // namespace

StringPool::StringPool(int32_t blockSize)
    : blockSize_(blockSize),
      blocks_(NULL),
      currentBlock_(0),
      blockCapacity_(0),
      heldBytes_(0),
      index_(NULL),
      Count(0),
      indexCapacity_(0),
      emptyString_(0) {
    AddBlock(blockSize_);
}

StringPool::~StringPool() {
    ReleaseAll();
}

void StringPool::ReleaseAll() {
    if (blocks_ != NULL) {
        for (int32_t i = 0; i < blockCapacity_; ++i) {
            if (blocks_[i].memory == NULL) continue;
            FreeLocked(blocks_[i].memory);
            blocks_[i].memory = NULL;
            blocks_[i].used = 0;
            blocks_[i].capacity = 0;
        }
        FreeLocked(blocks_);
        blocks_ = NULL;
        blockCapacity_ = 0;
    }
    heldBytes_ = 0;
    currentBlock_ = 0;
    if (index_ != NULL) {
        FreeLocked(index_);
        index_ = NULL;
    }
    Count = 0;
    indexCapacity_ = 0;
}

void StringPool::Reset() {
    ReleaseAll();
    AddBlock(blockSize_);
}

int32_t StringPool::AddBlock(int32_t minimumSize) {
    if (minimumSize <= 0) return 0;
    if (blocks_ == NULL) {
        blocks_ = static_cast<BlockEntry*>(AllocateLocked(kTableGrowth * sizeof(BlockEntry)));
        if (blocks_ == NULL) return 0;
        blockCapacity_ = kTableGrowth;
        currentBlock_ = 0;
    } else {
        int32_t number = currentBlock_ + 1;
        if (number >= blockCapacity_) {
            int32_t capacity = blockCapacity_ * 2;
            void* grown = ReallocateLocked(blocks_, static_cast<size_t>(capacity) * sizeof(BlockEntry));
            if (grown == NULL) return 0;
            blocks_ = static_cast<BlockEntry*>(grown);
            blockCapacity_ = capacity;
        }
        currentBlock_ = number;
    }
    int32_t size = minimumSize > blockSize_ ? minimumSize : blockSize_;
    int64_t grown = heldBytes_ / kBlockGrowthDivisor;
    if (grown > kLargestGrownBlock) grown = kLargestGrownBlock;
    if (grown > size) size = static_cast<int32_t>(grown);
    BlockEntry& block = blocks_[currentBlock_];
    block.memory = static_cast<char*>(AllocateLocked(static_cast<size_t>(size)));
    block.used = 0;
    // A block that could not be had stays "full", so the next Put tries again.
    block.capacity = block.memory != NULL ? size : 0;
    heldBytes_ += block.capacity;
    return block.memory != NULL ? size : 0;
}

int StringPool::ReleaseBlock(int32_t number) {
    if (number <= 0) return 1;
    if (number >= currentBlock_) return 0;
    BlockEntry& block = blocks_[number];
    if (block.memory == NULL || block.used == 0) return 0;
    // Only a live count of 0 offers a block, and that count never falls below the number of
    // entries whose text lies in the block (a text moved within the current block is not taken
    // away): no entry can refer to it, and no scan of the index is needed.
    FreeLocked(block.memory);
    heldBytes_ -= block.capacity;
    block.memory = NULL;
    block.capacity = 0;
    return 1;
}

// Grows the index to capacity rows; the added rows come zero-filled, that is "no text".
int StringPool::GrowIndex(int64_t capacity) {
    uint64_t bytes = static_cast<uint64_t>(capacity) * sizeof(StringEntry);
    void* grown = NULL;
    // Count is 32-bit: an index it cannot number, or one the address space cannot hold, cannot be had.
    if (capacity <= INT32_MAX && bytes == static_cast<size_t>(bytes))
        grown = ReallocateLocked(index_, static_cast<size_t>(bytes));
    if (grown == NULL) {
        ShowWarning("メモリが足りません。");
        return 0;
    }
    if (index_ == NULL) Count = 0;
    index_ = static_cast<StringEntry*>(grown);
    indexCapacity_ = static_cast<int32_t>(capacity);
    return 1;
}

// The index doubles, so that appending costs the same per entry however long the list grows; a
// far index takes the rows it needs in one step, and fails at once when they cannot be had.
// There is always at least one spare row.
int StringPool::ExtendTo(int32_t index) {
    int64_t wanted = static_cast<int64_t>(index) + 1;
    int64_t needed = wanted / kTableGrowth * kTableGrowth + kTableGrowth;
    int64_t doubled = static_cast<int64_t>(indexCapacity_) * 2;
    int64_t capacity = doubled > needed && doubled <= INT32_MAX ? doubled : needed;
    if (wanted >= indexCapacity_ && !GrowIndex(capacity)) return 0;
    if (Count <= index) Count = index + 1;
    return 1;
}

int StringPool::Put(int32_t index, const void* bytes, int32_t length) {
    if (index < 0 || length < 0 || length > kMaxLength) return 0;
    if (index >= Count && !ExtendTo(index)) return 0;
    StringEntry* entry = &index_[index];
    if (length + 2 < entry->reserved && entry->data != NULL) {
        if (length > 0) std::memmove(entry->data, bytes, static_cast<size_t>(length));
        entry->length = length;
    } else if (!StoreInNewSpace(entry, bytes, length)) {
        return 0;
    }
    entry->data[length] = 0;
    return 1;
}

int StringPool::StoreInNewSpace(StringEntry* entry, const void* bytes, int32_t length) {
    int32_t oldReserved = entry->reserved;
    int32_t oldBlock = entry->blockNumber;
    int32_t needed = length + kReserveExtra;
    if (blocks_ == NULL ||
        static_cast<int64_t>(blocks_[currentBlock_].used) + needed > blocks_[currentBlock_].capacity) {
        if (AddBlock(needed) == 0) return 0;
    }
    BlockEntry& block = blocks_[currentBlock_];
    char* data = block.memory + block.used;
    // The bytes may come from this entry's old text, which stays where it is: copy first.
    if (length > 0) std::memcpy(data, bytes, static_cast<size_t>(length));
    block.used += needed;
    block.liveCount += 1;
    entry->data = data;
    entry->length = length;
    entry->reserved = needed;
    entry->blockNumber = currentBlock_;
    if (oldReserved != 0 && oldBlock != currentBlock_) {
        blocks_[oldBlock].liveCount -= 1;
        if (blocks_[oldBlock].liveCount == 0) ReleaseBlock(oldBlock);
    }
    return 1;
}

int StringPool::Append(const void* bytes, int32_t length) {
    return Put(Count, bytes, length);
}

int StringPool::PutLine(int32_t index, const char* text) {
    int32_t length = 0;
    while (static_cast<unsigned char>(text[length]) >= 0x20 || text[length] == '\t')
        ++length;
    return Put(index, text, length);
}

void StringPool::Remove(int32_t index) {
    if (index < 0 || index >= Count) return;
    int32_t block = index_[index].blockNumber;
    Count -= 1;
    std::memmove(index_ + index, index_ + index + 1, static_cast<size_t>(Count - index) * sizeof(StringEntry));
    std::memset(index_ + Count, 0, sizeof(StringEntry));
    if (blocks_ == NULL) return;
    blocks_[block].liveCount -= 1;
    if (blocks_[block].liveCount == 0) ReleaseBlock(block);
}

char* StringPool::Data(int32_t index) {
    if (index < 0 || index >= Count) return NULL;
    return index_[index].data;
}

char* StringPool::Text(int32_t index) {
    if (index < 0 || index >= Count || index_[index].data == NULL) {
        emptyString_ = 0;
        return &emptyString_;
    }
    StringEntry& entry = index_[index];
    entry.data[entry.length] = 0;
    return entry.data;
}

StringEntry* StringPool::Entry(int32_t index) {
    if (index < 0 || index >= Count) return NULL;
    return &index_[index];
}

const BlockEntry* StringPool::Block(int32_t number) const {
    if (blocks_ == NULL || number < 0 || number >= blockCapacity_) return NULL;
    return &blocks_[number];
}
