// Text files of CR LF lines read into and written from a string pool, on real files.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImportPatch.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "util/StringPool.h"

namespace {

std::vector<std::string> Entries(StringPool& pool) {
    std::vector<std::string> entries;
    for (int32_t i = 0; i < pool.Count; ++i) {
        StringEntry* entry = pool.Entry(i);
        entries.push_back(entry->data != NULL ? std::string(entry->data, static_cast<size_t>(entry->length)) : "");
    }
    return entries;
}

typedef std::vector<std::string> Lines;

class TextFileTest : public TempFolderTest {
protected:
    // Writes the bytes to a file and loads it; the result of LoadTextFile.
    int Load(const std::string& bytes) {
        EXPECT_TRUE(WriteBytes(Path("in.txt"), bytes));
        return pool.LoadTextFile(Path("in.txt").c_str());
    }
    StringPool pool{2048};
};

}  // namespace

TEST_F(TextFileTest, LinesEndAtCarriageReturns) {
    EXPECT_EQ(2, Load("a\r\nb\r\n"));
    EXPECT_EQ(Lines({"a", "b"}), Entries(pool));

    // The last line without its CR LF is kept but not counted.
    EXPECT_EQ(1, Load("a\r\nb"));
    EXPECT_EQ(Lines({"a", "b"}), Entries(pool));
    EXPECT_EQ(0, Load("only"));
    EXPECT_EQ(Lines({"only"}), Entries(pool));

    EXPECT_EQ(3, Load("a\r\n\r\nb\r\n"));
    EXPECT_EQ(Lines({"a", "", "b"}), Entries(pool));
    EXPECT_NE(nullptr, pool.Data(1)) << "an empty line is an empty text";

    // A CR alone ends a line; an LF alone never does.
    EXPECT_EQ(2, Load("a\rb\r"));
    EXPECT_EQ(Lines({"a", "b"}), Entries(pool));
    EXPECT_EQ(0, Load("a\nb\nc\n"));
    EXPECT_EQ(Lines({"abc"}), Entries(pool));
    EXPECT_EQ(3, Load("a\n\rb\r\r\n"));
    EXPECT_EQ(Lines({"a", "b", ""}), Entries(pool));

    EXPECT_EQ(0, Load(""));
    EXPECT_EQ(0, pool.Count);
}

TEST_F(TextFileTest, ZeroBytesAndShiftJisStayInTheirLine) {
    EXPECT_EQ(2, Load(std::string("a\0b\r\n表示\0\r\n", 12)));
    EXPECT_EQ(Lines({std::string("a\0b", 3), std::string("表示\0", 5)}), Entries(pool));
}

TEST_F(TextFileTest, LongLinesAreCutEvery1024Bytes) {
    std::string exact = Repeat('x', 1024);
    EXPECT_EQ(2, Load(exact + "\r\n"));
    EXPECT_EQ(Lines({exact, ""}), Entries(pool));

    std::string longLine = Repeat('a', 1024) + Repeat('b', 1024) + Repeat('c', 452);
    EXPECT_EQ(3, Load(longLine + "\r\n"));
    EXPECT_EQ(Lines({Repeat('a', 1024), Repeat('b', 1024), Repeat('c', 452)}), Entries(pool));

    EXPECT_EQ(2, Load(longLine));
    EXPECT_EQ(3, pool.Count);

    // The cut counts bytes: a double-byte character may be split.
    std::string split = Repeat('y', 1023) + "表";
    EXPECT_EQ(2, Load(split + "\r\n"));
    EXPECT_EQ(Lines({Repeat('y', 1023) + "\x95", "\\"}), Entries(pool));
}

TEST_F(TextFileTest, LinesRunAcrossReadChunks) {
    // The first CR is the last byte of the first 1024-byte chunk and its LF the first of the
    // next; then lines of 9 bytes end everywhere in the chunks that follow.
    std::string bytes = Repeat('h', 1023) + "\r\n";
    Lines expected = {Repeat('h', 1023)};
    for (int i = 0; i < 600; ++i) {
        char line[16];
        wsprintfA(line, "line%05d", i);
        bytes += std::string(line) + "\r\n";
        expected.push_back(line);
    }
    EXPECT_EQ(601, Load(bytes));
    EXPECT_EQ(expected, Entries(pool));

    // A file of exactly one chunk, its CR last and LF nowhere.
    EXPECT_EQ(1, Load(Repeat('q', 1023) + "\r"));
    EXPECT_EQ(Lines({Repeat('q', 1023)}), Entries(pool));
}

TEST_F(TextFileTest, MissingFileLeavesThePoolEmpty) {
    pool.Append("old", 3);
    EXPECT_EQ(-1, pool.LoadTextFile(Path("missing.txt").c_str()));
    EXPECT_EQ(0, pool.Count);
    EXPECT_EQ(-1, pool.LoadTextFile(Temp().WindowsPath().c_str())) << "a folder is no text file";

    // What was loaded before is replaced, not added to.
    EXPECT_EQ(1, Load("one\r\n"));
    EXPECT_EQ(1, Load("two\r\n"));
    EXPECT_EQ(Lines({"two"}), Entries(pool));
}

TEST_F(TextFileTest, LongPathsAreReadAndWritten) {
    std::string folder = Path(Repeat('f', 100));
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    std::string path = folder + "\\" + Repeat('n', 30) + ".dat";
    ASSERT_GT(path.size(), 128u);
    ASSERT_LT(path.size(), 260u);
    pool.Append("2026", 4);
    EXPECT_EQ(1, pool.SaveTextFile(path.c_str()));
    EXPECT_EQ(1, pool.LoadTextFile(path.c_str()));
    EXPECT_EQ(Lines({"2026"}), Entries(pool));
}

TEST_F(TextFileTest, SaveWritesEveryEntryFollowedByCrLf) {
    pool.Append("x", 1);
    pool.Append("", 0);
    pool.Append("y", 1);
    EXPECT_EQ(3, pool.SaveTextFile(Path("out.txt").c_str()));
    EXPECT_EQ("x\r\n\r\ny\r\n", ReadBytes(Path("out.txt")));

    // Entries without text and raw bytes are written as they are.
    pool.Reset();
    pool.Put(2, "a\0b", 3);
    pool.Append("表", 2);
    EXPECT_EQ(4, pool.SaveTextFile(Path("out.txt").c_str()));
    EXPECT_EQ(std::string("\r\n\r\na\0b\r\n表\r\n", 13), ReadBytes(Path("out.txt")));

    // An empty pool cuts an existing file to nothing.
    pool.Reset();
    EXPECT_EQ(0, pool.SaveTextFile(Path("out.txt").c_str()));
    EXPECT_TRUE(PathExists(Path("out.txt")));
    EXPECT_EQ("", ReadBytes(Path("out.txt")));
}

TEST_F(TextFileTest, SaveAndLoadGiveTheSameLines) {
    Lines lines = {"2026", "12", "7", "", "C:\\Program Files\\表示\\", Repeat('w', 1000)};
    for (const std::string& line : lines)
        pool.Append(line.data(), static_cast<int32_t>(line.size()));
    ASSERT_EQ(6, pool.SaveTextFile(Path("record.dat").c_str()));
    StringPool loaded(2048);
    EXPECT_EQ(6, loaded.LoadTextFile(Path("record.dat").c_str()));
    EXPECT_EQ(lines, Entries(loaded));
}

TEST_F(TextFileTest, SaveRefusesAPlaceItCannotWrite) {
    pool.Append("x", 1);
    EXPECT_EQ(-1, pool.SaveTextFile(Path("no such folder\\out.txt").c_str()));
    EXPECT_EQ(-1, pool.SaveTextFile(Temp().WindowsPath().c_str()));

    // A file held open without sharing cannot be created over.
    ASSERT_TRUE(WriteBytes(Path("held.txt"), "old"));
    HANDLE held = CreateFileA(Path("held.txt").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(-1, pool.SaveTextFile(Path("held.txt").c_str()));
    CloseHandle(held);
    EXPECT_EQ("old", ReadBytes(Path("held.txt")));
    EXPECT_FALSE(PathExists(Path("~kx.tmp")));
}

namespace {

// WriteFile that fails once the given number of writes went through, as on a full disk.
int writesBeforeFailure = 0;
BOOL WINAPI WriteFileUntilDiskFull(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    static auto realWriteFile = SystemFunction<decltype(&WriteFile)>("kernel32.dll", "WriteFile");
    if (writesBeforeFailure-- > 0) return realWriteFile(file, bytes, count, written, overlapped);
    *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

}  // namespace

TEST_F(TextFileTest, WriteThatFailsIsNoSaveAndKeepsTheOldFileWhole) {
    ASSERT_TRUE(WriteBytes(Path("list.txt"), "old\r\n"));
    for (int i = 0; i < 200; ++i)
        pool.Append(Repeat('p', 1000).data(), 1000);
    for (int failAt : {0, 1, 150}) {
        writesBeforeFailure = failAt;
        ImportPatch patch("kernel32.dll", "WriteFile", reinterpret_cast<void*>(WriteFileUntilDiskFull));
        ASSERT_TRUE(patch.Applied());
        EXPECT_EQ(-1, pool.SaveTextFile(Path("list.txt").c_str())) << failAt;
        EXPECT_EQ("old\r\n", ReadBytes(Path("list.txt"))) << failAt;
        EXPECT_FALSE(PathExists(Path("~kx.tmp"))) << failAt << ": the temporary file is taken away";
    }
    EXPECT_EQ(200, pool.SaveTextFile(Path("list.txt").c_str()));
    EXPECT_EQ(200u * 1002u, ReadBytes(Path("list.txt")).size());
    EXPECT_FALSE(PathExists(Path("~kx.tmp")));
}
