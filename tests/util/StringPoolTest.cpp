// The string pool: entries, the in-place rule, block accounting and release, table growth.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "MessageBoxObserver.h"
#include "TestFiles.h"
#include "util/StringPool.h"

namespace {

const int32_t kBlockSize = 2048;

std::string Stored(StringPool& pool, int32_t index) {
    StringEntry* entry = pool.Entry(index);
    if (entry == NULL || entry->data == NULL) return "";
    return std::string(entry->data, static_cast<size_t>(entry->length));
}

int PutText(StringPool& pool, int32_t index, const std::string& text) {
    return pool.Put(index, text.data(), static_cast<int32_t>(text.size()));
}

int AppendText(StringPool& pool, const std::string& text) {
    return pool.Append(text.data(), static_cast<int32_t>(text.size()));
}

}  // namespace

TEST(StringPoolTest, PutBeyondCountCreatesEntriesWithoutText) {
    StringPool pool(kBlockSize);
    ASSERT_EQ(1, PutText(pool, 5, "abc"));
    EXPECT_EQ(6, pool.Count);
    char* empty = pool.Text(0);
    for (int32_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(nullptr, pool.Data(i));
        EXPECT_EQ(empty, pool.Text(i)) << "the pool's one empty string";
        EXPECT_EQ('\0', *pool.Text(i));
        StringEntry* entry = pool.Entry(i);
        ASSERT_NE(nullptr, entry);
        EXPECT_EQ(0, entry->length);
        EXPECT_EQ(0, entry->blockNumber);
        EXPECT_EQ(0, entry->reserved);
    }
    EXPECT_STREQ("abc", pool.Text(5));
    EXPECT_EQ(pool.Data(5), pool.Text(5));
    EXPECT_EQ(13, pool.Entry(5)->reserved);

    // Past Count nothing is there, and nothing is created by looking.
    EXPECT_EQ(nullptr, pool.Data(6));
    EXPECT_EQ(nullptr, pool.Entry(6));
    EXPECT_EQ(empty, pool.Text(6));
    EXPECT_EQ(6, pool.Count);

    // A later Put below Count fills an entry without extending the pool.
    ASSERT_EQ(1, PutText(pool, 2, "x"));
    EXPECT_STREQ("x", pool.Text(2));
    EXPECT_EQ(6, pool.Count);
}

TEST(StringPoolTest, ZeroLengthTextHasItsOwnPlace) {
    StringPool pool(kBlockSize);
    ASSERT_EQ(1, pool.Put(0, "", 0));
    StringEntry* entry = pool.Entry(0);
    ASSERT_NE(nullptr, entry->data);
    EXPECT_EQ(0, entry->length);
    EXPECT_EQ(10, entry->reserved);
    EXPECT_EQ(entry->data, pool.Text(0));
    EXPECT_NE(pool.Text(1), pool.Text(0)) << "not the pool's empty string";
    EXPECT_EQ('\0', *pool.Text(0));
}

TEST(StringPoolTest, RawBytesKeepTheirLengthAndGetATerminator) {
    StringPool pool(kBlockSize);
    const char bytes[] = {'a', '\0', 'b', '\0', '\xFF'};
    ASSERT_EQ(1, pool.Append(bytes, 5));
    EXPECT_EQ(5, pool.Entry(0)->length);
    EXPECT_EQ(std::string(bytes, 5), Stored(pool, 0));

    // Text writes the terminator again, even when a caller has overwritten it.
    pool.Data(0)[5] = 'z';
    EXPECT_EQ(pool.Data(0), pool.Text(0));
    EXPECT_EQ('\0', pool.Data(0)[5]);
}

TEST(StringPoolTest, TextStaysInPlaceWhileItFitsItsReservation) {
    StringPool pool(kBlockSize);
    ASSERT_EQ(1, PutText(pool, 0, Repeat('a', 20)));
    char* place = pool.Data(0);
    EXPECT_EQ(30, pool.Entry(0)->reserved);

    ASSERT_EQ(1, PutText(pool, 0, Repeat('b', 27)));
    EXPECT_EQ(place, pool.Data(0));
    EXPECT_EQ(Repeat('b', 27), pool.Text(0));
    EXPECT_EQ(30, pool.Entry(0)->reserved);

    // It may shrink and grow again within the same reservation.
    ASSERT_EQ(1, PutText(pool, 0, "c"));
    EXPECT_EQ(place, pool.Data(0));
    EXPECT_STREQ("c", pool.Text(0));
    ASSERT_EQ(1, PutText(pool, 0, Repeat('d', 27)));
    EXPECT_EQ(place, pool.Data(0));

    ASSERT_EQ(1, PutText(pool, 0, Repeat('e', 28)));
    EXPECT_NE(place, pool.Data(0));
    EXPECT_EQ(Repeat('e', 28), pool.Text(0));
    EXPECT_EQ(38, pool.Entry(0)->reserved);
    EXPECT_EQ(Repeat('d', 27), std::string(place, 27)) << "left-behind bytes are not reused";
}

TEST(StringPoolTest, TextMayBeStoredFromThePoolItself) {
    StringPool pool(kBlockSize);
    ASSERT_EQ(1, PutText(pool, 0, "abcdefgh"));
    ASSERT_EQ(1, pool.Put(1, pool.Data(0), 8));
    EXPECT_STREQ("abcdefgh", pool.Text(1));
    // In place, overlapping its own bytes.
    ASSERT_EQ(1, pool.Put(0, pool.Data(0) + 2, 6));
    EXPECT_STREQ("cdefgh", pool.Text(0));
}

TEST(StringPoolTest, BlocksAreOpenedWhenTheCurrentOneCannotHoldTheText) {
    StringPool pool(kBlockSize);
    ASSERT_EQ(1, PutText(pool, 0, Repeat('a', 1990)));
    EXPECT_EQ(2000, pool.Block(0)->used);

    // 38 + 10 fills the block exactly: it still goes there.
    ASSERT_EQ(1, PutText(pool, 1, Repeat('b', 38)));
    EXPECT_EQ(0, pool.CurrentBlockNumber());
    EXPECT_EQ(2048, pool.Block(0)->used);
    EXPECT_EQ(pool.Data(0) + 2000, pool.Data(1));

    StringPool other(kBlockSize);
    ASSERT_EQ(1, PutText(other, 0, Repeat('a', 1990)));
    ASSERT_EQ(1, PutText(other, 1, Repeat('c', 40)));  // 50 > 48 left
    EXPECT_EQ(1, other.CurrentBlockNumber());
    EXPECT_EQ(2048, other.Block(1)->capacity);
    EXPECT_EQ(50, other.Block(1)->used);
    EXPECT_EQ(1, other.Entry(1)->blockNumber);
    EXPECT_EQ(2000, other.Block(0)->used) << "the passed-over tail stays unused";

    ASSERT_EQ(1, PutText(other, 2, Repeat('d', 3000)));
    EXPECT_EQ(2, other.CurrentBlockNumber());
    EXPECT_EQ(3010, other.Block(2)->capacity);
    EXPECT_EQ(Repeat('d', 3000), other.Text(2));

    // A short text after a big one opens a fresh block of the block size.
    ASSERT_EQ(1, PutText(other, 3, "e"));
    EXPECT_EQ(3, other.CurrentBlockNumber());
    EXPECT_EQ(2048, other.Block(3)->capacity);
    EXPECT_EQ(Repeat('a', 1990), other.Text(0));
    EXPECT_EQ(Repeat('c', 40), other.Text(1));
}

TEST(StringPoolTest, BlockIsReleasedWhenItsLastTextLeaves) {
    StringPool pool(kBlockSize);
    ASSERT_EQ(1, PutText(pool, 0, Repeat('z', 2030)));  // fills block 0
    ASSERT_EQ(1, AppendText(pool, Repeat('a', 600)));   // entries 1 to 3 in block 1
    ASSERT_EQ(1, AppendText(pool, Repeat('b', 600)));
    ASSERT_EQ(1, AppendText(pool, Repeat('c', 600)));
    ASSERT_EQ(1, AppendText(pool, Repeat('f', 300)));  // opens block 2
    ASSERT_EQ(2, pool.CurrentBlockNumber());
    EXPECT_EQ(1, pool.Entry(3)->blockNumber);
    EXPECT_EQ(3, pool.Block(1)->liveCount);

    ASSERT_EQ(1, PutText(pool, 1, Repeat('A', 700)));
    ASSERT_EQ(1, PutText(pool, 2, Repeat('B', 700)));
    EXPECT_EQ(2, pool.Entry(1)->blockNumber);
    EXPECT_EQ(1, pool.Block(1)->liveCount);
    EXPECT_NE(nullptr, pool.Block(1)->memory) << "entry 3 still lies there";

    pool.Remove(3);
    EXPECT_EQ(nullptr, pool.Block(1)->memory);
    EXPECT_EQ(0, pool.Block(1)->capacity);
    EXPECT_EQ(1830, pool.Block(1)->used);
    EXPECT_EQ(0, pool.Block(1)->liveCount);

    // Everything else is untouched, and new text still goes to the current block.
    EXPECT_EQ(Repeat('z', 2030), pool.Text(0));
    EXPECT_EQ(Repeat('A', 700), pool.Text(1));
    EXPECT_EQ(Repeat('B', 700), pool.Text(2));
    EXPECT_EQ(Repeat('f', 300), pool.Text(3));
    ASSERT_EQ(1, AppendText(pool, "g"));
    EXPECT_EQ(2, pool.Entry(4)->blockNumber);
}

TEST(StringPoolTest, FirstAndCurrentBlocksAreNeverReleased) {
    StringPool pool(kBlockSize);
    ASSERT_EQ(1, AppendText(pool, "first"));
    ASSERT_EQ(1, AppendText(pool, Repeat('x', 2040)));  // block 1, now current
    ASSERT_EQ(1, pool.CurrentBlockNumber());
    pool.Remove(0);
    EXPECT_EQ(0, pool.Block(0)->liveCount);
    EXPECT_NE(nullptr, pool.Block(0)->memory);
    pool.Remove(0);
    EXPECT_EQ(0, pool.Block(1)->liveCount);
    EXPECT_NE(nullptr, pool.Block(1)->memory);
    EXPECT_EQ(0, pool.Count);
    ASSERT_EQ(1, AppendText(pool, "again"));
    EXPECT_STREQ("again", pool.Text(0));
}

TEST(StringPoolTest, TextStoredAgainInTheCurrentBlockCountsTwice) {
    StringPool pool(kBlockSize);
    ASSERT_EQ(1, PutText(pool, 0, "short"));
    ASSERT_EQ(1, PutText(pool, 0, Repeat('l', 40)));
    EXPECT_EQ(0, pool.Entry(0)->blockNumber);
    EXPECT_EQ(2, pool.Block(0)->liveCount) << "no count taken away inside the current block";

    // So a block that stops being current with such a count outlives its texts until a reset.
    ASSERT_EQ(1, PutText(pool, 1, Repeat('f', 1980)));  // opens block 1
    ASSERT_EQ(1, PutText(pool, 2, Repeat('m', 2)));
    ASSERT_EQ(1, PutText(pool, 2, Repeat('m', 12)));  // moves within block 1
    EXPECT_EQ(1, pool.Entry(2)->blockNumber);
    EXPECT_EQ(3, pool.Block(1)->liveCount);
    ASSERT_EQ(1, PutText(pool, 3, Repeat('g', 2040)));  // opens block 2
    pool.Remove(2);
    pool.Remove(1);
    EXPECT_EQ(1, pool.Block(1)->liveCount);
    EXPECT_NE(nullptr, pool.Block(1)->memory);
}

TEST(StringPoolTest, TablesStartWithTenRowsAndDouble) {
    StringPool pool(kBlockSize);
    EXPECT_EQ(0, pool.IndexCapacity());
    for (int i = 0; i < 9; ++i)
        ASSERT_EQ(1, AppendText(pool, "x"));
    EXPECT_EQ(10, pool.IndexCapacity());
    ASSERT_EQ(1, AppendText(pool, "x"));  // the tenth
    EXPECT_EQ(20, pool.IndexCapacity());
    for (int i = 0; i < 9; ++i)
        ASSERT_EQ(1, AppendText(pool, "x"));
    EXPECT_EQ(20, pool.IndexCapacity());
    ASSERT_EQ(1, AppendText(pool, "x"));  // the twentieth
    EXPECT_EQ(40, pool.IndexCapacity());
    for (int i = 0; i < 19; ++i)
        ASSERT_EQ(1, AppendText(pool, "x"));
    EXPECT_EQ(40, pool.IndexCapacity());
    ASSERT_EQ(1, AppendText(pool, "x"));  // the fortieth
    EXPECT_EQ(80, pool.IndexCapacity());

    // A far index takes the rows it needs, with one to spare, in one step.
    StringPool farPool(kBlockSize);
    ASSERT_EQ(1, PutText(farPool, 29, "y"));
    EXPECT_EQ(30, farPool.Count);
    EXPECT_EQ(40, farPool.IndexCapacity());
    ASSERT_EQ(1, PutText(farPool, 38, "z"));
    EXPECT_EQ(40, farPool.IndexCapacity());
    EXPECT_EQ(nullptr, farPool.Data(37));

    // Eleven full blocks outgrow the block table of ten rows.
    StringPool blocks(kBlockSize);
    EXPECT_EQ(10, blocks.BlockTableCapacity());
    for (int i = 0; i < 11; ++i)
        ASSERT_EQ(1, AppendText(blocks, Repeat(static_cast<char>('a' + i), 2038)));
    EXPECT_EQ(10, blocks.CurrentBlockNumber());
    EXPECT_EQ(20, blocks.BlockTableCapacity());
    EXPECT_EQ(1, blocks.Block(10)->liveCount) << "added rows start at zero";
    EXPECT_EQ(0, blocks.Block(11)->capacity);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(Repeat(static_cast<char>('a' + i), 2038), blocks.Text(i)) << i;
}

TEST(StringPoolTest, RemoveShiftsLaterEntriesDown) {
    StringPool pool(kBlockSize);
    for (const char* text : {"a", "b", "c", "d"})
        ASSERT_EQ(1, AppendText(pool, text));
    pool.Remove(0);
    ASSERT_EQ(3, pool.Count);
    EXPECT_STREQ("b", pool.Text(0));
    EXPECT_STREQ("c", pool.Text(1));
    EXPECT_STREQ("d", pool.Text(2));
    EXPECT_EQ(nullptr, pool.Entry(3));

    pool.Remove(2);
    ASSERT_EQ(2, pool.Count);
    EXPECT_STREQ("b", pool.Text(0));
    EXPECT_STREQ("c", pool.Text(1));

    pool.Remove(2);
    pool.Remove(100);
    EXPECT_EQ(2, pool.Count);
    EXPECT_STREQ("c", pool.Text(1));

    // The row freed at the end holds no text when it is used again.
    ASSERT_EQ(1, PutText(pool, 3, "e"));
    EXPECT_EQ(nullptr, pool.Data(2));
    EXPECT_EQ(0, pool.Entry(2)->reserved);
    EXPECT_STREQ("e", pool.Text(3));

    // Removing an entry without text works as well.
    pool.Remove(2);
    EXPECT_EQ(3, pool.Count);
    EXPECT_STREQ("e", pool.Text(2));
}

TEST(StringPoolTest, PutLineStopsAtTheFirstControlByteButTab) {
    StringPool pool(kBlockSize);
    ASSERT_EQ(1, pool.PutLine(0, "名前\tあ表\x7F~\r\nnext"));
    EXPECT_STREQ("名前\tあ表\x7F~", pool.Text(0));
    ASSERT_EQ(1, pool.PutLine(1, "a\nb"));
    EXPECT_STREQ("a", pool.Text(1));
    ASSERT_EQ(1, pool.PutLine(2, "x\x1Fy"));
    EXPECT_STREQ("x", pool.Text(2));
    ASSERT_EQ(1, pool.PutLine(3, "whole"));
    EXPECT_STREQ("whole", pool.Text(3));
    ASSERT_EQ(1, pool.PutLine(4, "\r\n"));
    EXPECT_NE(nullptr, pool.Data(4)) << "an empty line is an empty text";
    EXPECT_EQ(0, pool.Entry(4)->length);
}

TEST(StringPoolTest, BlocksGrowWithThePoolSoThatBigListsTakeFewOfThem) {
    // Each block is a handle of the global heap, of which a process has a limited number: a
    // million records in blocks of 2048 bytes would run out of them.
    StringPool pool(kBlockSize);
    for (int i = 0; i < 20000; ++i)
        ASSERT_EQ(1, AppendText(pool, Repeat(static_cast<char>('a' + i % 26), 100))) << i;
    EXPECT_LT(pool.CurrentBlockNumber(), 100) << "2.2 MB of texts";
    int64_t held = 0;
    for (int32_t b = 0; b <= pool.CurrentBlockNumber(); ++b)
        held += pool.Block(b)->capacity;
    EXPECT_LT(held, 2200000 * 5 / 4) << "no more than a quarter more than the texts take";
    for (int i = 0; i < 20000; i += 997)
        EXPECT_EQ(Repeat(static_cast<char>('a' + i % 26), 100), pool.Text(i)) << i;
}

TEST(StringPoolTest, ResetEmptiesThePoolAndKeepsItUsable) {
    StringPool pool(kBlockSize);
    for (int i = 0; i < 15; ++i)
        ASSERT_EQ(1, AppendText(pool, Repeat('r', 1500)));
    ASSERT_GE(pool.CurrentBlockNumber(), 10);
    pool.Reset();
    EXPECT_EQ(0, pool.Count);
    EXPECT_EQ(0, pool.IndexCapacity());
    EXPECT_EQ(0, pool.CurrentBlockNumber());
    EXPECT_EQ(10, pool.BlockTableCapacity());
    EXPECT_EQ(2048, pool.Block(0)->capacity);
    EXPECT_EQ(0, pool.Block(0)->used);
    EXPECT_EQ(nullptr, pool.Block(1)->memory);
    EXPECT_EQ(nullptr, pool.Data(0));
    ASSERT_EQ(1, AppendText(pool, "after"));
    EXPECT_STREQ("after", pool.Text(0));
    EXPECT_EQ(0, pool.Entry(0)->blockNumber);
}

TEST(StringPoolTest, IndexThatCannotBeHadWarnsAndStoresNothing) {
    StringPool pool(kBlockSize);
    ASSERT_EQ(1, AppendText(pool, "kept"));
    {
        MessageBoxScript boxes;
        boxes.Answer(IDOK).Answer(IDOK);
        // Count, a 32-bit number, cannot count rows this farPool.
        EXPECT_EQ(0, PutText(pool, INT32_MAX, "lost"));
        EXPECT_EQ(0, PutText(pool, INT32_MAX - 5, "lost"));
        ASSERT_EQ(2u, boxes.Count());
        ExpectWarningBox(boxes[0], "メモリが足りません。");
        ExpectWarningBox(boxes[1], "メモリが足りません。");
    }
    EXPECT_EQ(1, pool.Count);
    EXPECT_EQ(10, pool.IndexCapacity());
    EXPECT_STREQ("kept", pool.Text(0));
    ASSERT_EQ(1, AppendText(pool, "more"));
    EXPECT_STREQ("more", pool.Text(1));

    // Negative indexes and lengths are refused without a word.
    EXPECT_EQ(0, PutText(pool, -1, "x"));
    EXPECT_EQ(0, pool.Put(0, "x", -1));
    EXPECT_EQ(2, pool.Count);
}
