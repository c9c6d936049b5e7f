// The conversion run on real data folders: backups, messages, user folders, ".ndp" copies and
// the rep list.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AddressFileBytes.h"
#include "ImportPatch.h"
#include "MessageBoxObserver.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "convert/ConversionRun.h"

namespace {
const char kBackupMessage[] = "コンバート処理でファイルのバックアップに失敗しました。";
const char kConversionMessage[] = "データコンバートに失敗しました。";
const char kMemoryMessage[] = "メモリが足りません。";

std::string Eighty(const char* last) {
    std::string text;
    for (int i = 0; i < 39; ++i)
        text += "住";
    return text + last;
}

// An earlier layout: two current names (one written in another case), one the current layout
// no longer has, and the 80-byte address line 2.
std::vector<StoredField> OldDefinitions() {
    return TextFields({"名前", "住所２", "旧分類", "hフラグ１"}, 100);
}

std::string OldFile() {
    return AddressFileBytes(OldDefinitions(), {RecordImage({"山田 太郎", Eighty("町"), "友人", "1"}),
                                               RecordImage({"消えた人", "", "", ""}, 0x80),
                                               RecordImage({"佐藤 花子", Eighty("町x"), "仕事", ""})});
}

std::vector<std::string> CurrentTexts(const std::string& name, const std::string& address2, const std::string& flag) {
    std::vector<std::string> texts(60, "");
    texts[2] = name;
    texts[8] = address2;
    texts[30] = flag;
    return texts;
}

// OldFile converted: the deleted record gone, the 81-byte address dropped, 旧分類 lost.
std::string ConvertedOldFile() {
    return AddressFileBytes(CurrentLayoutDefinitions(), {RecordImage(CurrentTexts("山田 太郎", Eighty("町"), "1")),
                                                         RecordImage(CurrentTexts("佐藤 花子", "", ""))});
}

std::string CurrentFile(const std::string& name) {
    return AddressFileBytes(CurrentLayoutDefinitions(), {RecordImage(CurrentTexts(name, "", ""))});
}

void ExpectWarning(const ObservedBox& box, const char* text) {
    EXPECT_EQ(text, box.text) << ToUtf8(box.text);
    EXPECT_EQ("注意", box.caption);
    EXPECT_EQ(MB_ICONWARNING, box.icon);
    EXPECT_EQ(std::vector<int>({IDOK}), box.buttons);
    EXPECT_TRUE(box.taskModal);
    EXPECT_FALSE(box.hasOwner);
}

// The global heap as a process whose address space runs out: once the bytes asked for since
// the start pass the budget, every further request fails. Counting requests, not live blocks,
// keeps the point of failure the same on every run and on both pointer sizes.
SIZE_T memoryAskedFor = 0;
SIZE_T memoryBudget = ~static_cast<SIZE_T>(0);

bool WithinBudget(SIZE_T bytes) {
    memoryAskedFor += bytes;
    if (memoryAskedFor <= memoryBudget) return true;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
}

HGLOBAL WINAPI BudgetedGlobalAlloc(UINT flags, SIZE_T bytes) {
    static auto real = SystemFunction<decltype(&GlobalAlloc)>("kernel32.dll", "GlobalAlloc");
    return WithinBudget(bytes) ? real(flags, bytes) : NULL;
}

HGLOBAL WINAPI BudgetedGlobalReAlloc(HGLOBAL handle, SIZE_T bytes, UINT flags) {
    static auto real = SystemFunction<decltype(&GlobalReAlloc)>("kernel32.dll", "GlobalReAlloc");
    return WithinBudget(bytes) ? real(handle, bytes, flags) : NULL;
}

class ConversionRunTest : public TempFolderTest {
protected:
    // A data folder (created) with its trailing backslash.
    std::string DataFolder(const std::string& name) {
        CreateDirectoryA(Path(name).c_str(), NULL);
        return Path(name) + "\\";
    }
};
}  // namespace

TEST_F(ConversionRunTest, ConvertsByNameFromTheBackupItMakes) {
    std::string folder = DataFolder("data");
    ASSERT_TRUE(WriteBytes(folder + "Korvex.ndb", OldFile()));
    EXPECT_EQ(1, ConvertAddressFile(folder.c_str(), 1));
    EXPECT_SAME_BYTES(ConvertedOldFile(), ReadBytes(folder + "Korvex.ndb"));
    EXPECT_SAME_BYTES(OldFile(), ReadBytes(folder + "Korvex_Conv.bak"));

    // The converted file is current: a later run refreshes the backup and changes nothing else.
    EXPECT_EQ(1, ConvertAddressFile(folder.c_str(), 1));
    EXPECT_SAME_BYTES(ConvertedOldFile(), ReadBytes(folder + "Korvex.ndb"));
    EXPECT_SAME_BYTES(ConvertedOldFile(), ReadBytes(folder + "Korvex_Conv.bak"));

    std::string empty = DataFolder("empty");
    EXPECT_EQ(1, ConvertAddressFile(empty.c_str(), 1));
    EXPECT_FALSE(PathExists(empty + "Korvex_Conv.bak"));
}

TEST_F(ConversionRunTest, SameDayRunNeverConvertsTheOldBackupOverACurrentFile) {
    std::string folder = DataFolder("data");
    ASSERT_TRUE(WriteBytes(folder + "Korvex.ndb", OldFile()));
    ASSERT_EQ(1, ConvertAddressFile(folder.c_str(), 1));
    // The user works with the converted book; the installer runs again the same day.
    ASSERT_TRUE(WriteBytes(folder + "Korvex.ndb", CurrentFile("新しい友人")));
    EXPECT_EQ(1, ConvertAddressFile(folder.c_str(), 0));
    EXPECT_SAME_BYTES(CurrentFile("新しい友人"), ReadBytes(folder + "Korvex.ndb"));
    EXPECT_SAME_BYTES(OldFile(), ReadBytes(folder + "Korvex_Conv.bak"));

    // An address file still in the old layout is converted from the backup kept today.
    ASSERT_TRUE(WriteBytes(folder + "Korvex.ndb", OldFile()));
    EXPECT_EQ(1, ConvertAddressFile(folder.c_str(), 0));
    EXPECT_SAME_BYTES(ConvertedOldFile(), ReadBytes(folder + "Korvex.ndb"));

    // Without a backup, a current file is only copied.
    std::string other = DataFolder("other");
    ASSERT_TRUE(WriteBytes(other + "Korvex.ndb", CurrentFile("山田")));
    EXPECT_EQ(1, ConvertAddressFile(other.c_str(), 0));
    EXPECT_SAME_BYTES(CurrentFile("山田"), ReadBytes(other + "Korvex.ndb"));
    EXPECT_SAME_BYTES(CurrentFile("山田"), ReadBytes(other + "Korvex_Conv.bak"));
}

TEST_F(ConversionRunTest, FailuresLeaveTheAddressFileAsItWasWithTheirMessage) {
    MessageBoxScript boxes;
    boxes.Answer(IDOK).Answer(IDOK).Answer(IDOK);

    // The backup cannot be written: nothing changes.
    std::string blocked = DataFolder("blocked");
    ASSERT_TRUE(WriteBytes(blocked + "Korvex.ndb", OldFile()));
    CreateDirectoryA((blocked + "Korvex_Conv.bak").c_str(), NULL);
    EXPECT_EQ(0, ConvertAddressFile(blocked.c_str(), 1));
    EXPECT_SAME_BYTES(OldFile(), ReadBytes(blocked + "Korvex.ndb"));

    // A damaged address file never replaces the good backup: both stay as they were.
    std::string damaged = DataFolder("damaged");
    std::string cut = OldFile().substr(0, OldFile().size() - 10);
    ASSERT_TRUE(WriteBytes(damaged + "Korvex.ndb", cut));
    ASSERT_TRUE(WriteBytes(damaged + "Korvex_Conv.bak", OldFile()));
    EXPECT_EQ(0, ConvertAddressFile(damaged.c_str(), 1));
    EXPECT_SAME_BYTES(cut, ReadBytes(damaged + "Korvex.ndb"));
    EXPECT_SAME_BYTES(OldFile(), ReadBytes(damaged + "Korvex_Conv.bak"));

    // A damaged backup from earlier today is never copied over the address file.
    std::string staleBackup = DataFolder("stale");
    ASSERT_TRUE(WriteBytes(staleBackup + "Korvex.ndb", OldFile()));
    ASSERT_TRUE(WriteBytes(staleBackup + "Korvex_Conv.bak", cut));
    EXPECT_EQ(0, ConvertAddressFile(staleBackup.c_str(), 0));
    EXPECT_SAME_BYTES(OldFile(), ReadBytes(staleBackup + "Korvex.ndb"));

    ASSERT_EQ(3u, boxes.Count());
    ExpectWarning(boxes[0], kBackupMessage);
    ExpectWarning(boxes[1], kConversionMessage);
    ExpectWarning(boxes[2], kConversionMessage);
}

TEST_F(ConversionRunTest, AFailedSaveIsReportedAndKeepsTheAddressFile) {
    std::string folder = DataFolder("data");
    ASSERT_TRUE(WriteBytes(folder + "Korvex.ndb", OldFile()));
    // Another program reads the address book and lets nobody write it.
    HANDLE reader = CreateFileA((folder + "Korvex.ndb").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(0, ConvertAddressFile(folder.c_str(), 1));
    CloseHandle(reader);
    ASSERT_EQ(1u, boxes.Count());
    ExpectWarning(boxes[0], kConversionMessage);
    EXPECT_SAME_BYTES(OldFile(), ReadBytes(folder + "Korvex.ndb"));
    EXPECT_SAME_BYTES(OldFile(), ReadBytes(folder + "Korvex_Conv.bak"));
}

TEST_F(ConversionRunTest, ABookTooLargeForTheMemoryFailsWithItsMessageAndStaysWhole) {
    std::vector<std::string> records;
    for (int i = 0; i < 3000; ++i)
        records.push_back(RecordImage({"山田 太郎" + std::to_string(i), Eighty("町"), "友人", "1"}));
    std::string book = AddressFileBytes(OldDefinitions(), records);
    std::string folder = DataFolder("data");
    ImportPatch alloc("kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(BudgetedGlobalAlloc));
    ImportPatch realloc("kernel32.dll", "GlobalReAlloc", reinterpret_cast<void*>(BudgetedGlobalReAlloc));
    ASSERT_TRUE(alloc.Applied() && realloc.Applied());

    // What a conversion of this book asks for when memory is plentiful.
    ASSERT_TRUE(WriteBytes(folder + "Korvex.ndb", book));
    memoryAskedFor = 0;
    ASSERT_EQ(1, ConvertAddressFile(folder.c_str(), 1));
    SIZE_T needed = memoryAskedFor;
    ASSERT_GT(needed, book.size());

    // With less, at every stage the shortage can meet: loading, converting, saving.
    for (int eighths = 1; eighths < 8; ++eighths) {
        ASSERT_TRUE(WriteBytes(folder + "Korvex.ndb", book));
        DeleteFileA((folder + "Korvex_Conv.bak").c_str());
        MessageBoxScript boxes;
        boxes.Answer(IDOK).DismissTheRest();
        memoryAskedFor = 0;
        memoryBudget = needed / 8 * eighths;
        int result = ConvertAddressFile(folder.c_str(), 1);
        memoryBudget = ~static_cast<SIZE_T>(0);
        EXPECT_EQ(0, result) << eighths << "/8 of the memory needed";
        // A string index that cannot grow says so first; a block that cannot be had does not.
        ASSERT_GE(boxes.Count(), 1u) << eighths << "/8";
        ASSERT_LE(boxes.Count(), 2u) << eighths << "/8";
        if (boxes.Count() == 2) ExpectWarning(boxes[0], kMemoryMessage);
        ExpectWarning(boxes[boxes.Count() - 1], kConversionMessage);
        EXPECT_SAME_BYTES(book, ReadBytes(folder + "Korvex.ndb")) << eighths << "/8";
        std::string backup = ReadBytes(folder + "Korvex_Conv.bak");
        if (!backup.empty()) {
            EXPECT_SAME_BYTES(book, backup) << eighths << "/8";
        }
        EXPECT_FALSE(PathExists(folder + "~kx.tmp")) << eighths << "/8";
    }
}

TEST_F(ConversionRunTest, FollowsTheUserListAndStopsAtTheFirstFolderThatFails) {
    std::string install = DataFolder("inst");
    std::string first = DataFolder("inst\\user1");
    std::string second = DataFolder("inst\\user2");
    std::string third = DataFolder("inst\\ユーザー表");
    for (const std::string& folder : {install, first, second, third}) {
        ASSERT_TRUE(WriteBytes(folder + "Korvex.ndb", OldFile()));
        ASSERT_TRUE(WriteBytes(folder + "a.ndp", "ndp"));
        ASSERT_TRUE(WriteBytes(folder + "KorvexRepList.dat", "x*\r\n"));
    }
    CreateDirectoryA((second + "Korvex_Conv.bak").c_str(), NULL);
    // An empty line names no folder; a folder that does not exist changes nothing.
    ASSERT_TRUE(WriteBytes(install + "KorvexUserList.dat", "user1\r\n\r\nnobody\r\nuser2\r\nユーザー表\r\n"));

    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(0, ConvertUserData(Path("inst").c_str(), 1));
    ASSERT_EQ(1u, boxes.Count());
    ExpectWarning(boxes[0], kBackupMessage);

    for (const std::string& done : {install, first}) {
        EXPECT_SAME_BYTES(ConvertedOldFile(), ReadBytes(done + "Korvex.ndb")) << done;
        EXPECT_SAME_BYTES(OldFile(), ReadBytes(done + "Korvex_Conv.bak")) << done;
        EXPECT_EQ("ndp", ReadBytes(done + "a.np2")) << done;
        EXPECT_EQ("", ReadBytes(done + "KorvexRepList.dat")) << done;
    }
    for (const std::string& untouched : {second, third}) {
        EXPECT_SAME_BYTES(OldFile(), ReadBytes(untouched + "Korvex.ndb")) << untouched;
        EXPECT_FALSE(PathExists(untouched + "a.np2")) << untouched;
        EXPECT_EQ("x*\r\n", ReadBytes(untouched + "KorvexRepList.dat")) << untouched;
    }
    EXPECT_FALSE(PathExists(third + "Korvex_Conv.bak"));
    EXPECT_FALSE(PathExists(install + "nobody"));

    // Once the second folder can be backed up, a later run finishes: the third is converted too.
    RemoveDirectoryA((second + "Korvex_Conv.bak").c_str());
    EXPECT_EQ(1, ConvertUserData(Path("inst").c_str(), 1));
    EXPECT_SAME_BYTES(ConvertedOldFile(), ReadBytes(third + "Korvex.ndb"));
    EXPECT_SAME_BYTES(OldFile(), ReadBytes(third + "Korvex_Conv.bak"));
    EXPECT_SAME_BYTES(ConvertedOldFile(), ReadBytes(install + "Korvex_Conv.bak"))
        << "the install folder's backup is refreshed once, from its current file";
}

TEST_F(ConversionRunTest, FolderWithoutAddressFileStillGetsItsOtherSteps) {
    std::string install = DataFolder("inst");
    std::string user = DataFolder("inst\\u");
    ASSERT_TRUE(WriteBytes(install + "x.ndp", "first"));
    ASSERT_TRUE(WriteBytes(install + "KorvexRepList.dat", "a\r\n*b\r\n"));
    ASSERT_TRUE(WriteBytes(install + "KorvexUserList.dat", "u\r\n"));
    ASSERT_TRUE(WriteBytes(user + "Korvex.ndb", OldFile()));
    EXPECT_EQ(1, ConvertUserData(Path("inst").c_str(), 0));
    EXPECT_EQ("first", ReadBytes(install + "x.np2"));
    EXPECT_EQ("a\r\n", ReadBytes(install + "KorvexRepList.dat"));
    EXPECT_SAME_BYTES(ConvertedOldFile(), ReadBytes(user + "Korvex.ndb"));
    EXPECT_FALSE(PathExists(install + "Korvex_Conv.bak"));
}

TEST_F(ConversionRunTest, CopiesEachNdpFileOnceOnly) {
    std::string folder = DataFolder("data");
    ASSERT_TRUE(WriteBytes(folder + "x.ndp", "x1"));
    ASSERT_TRUE(WriteBytes(folder + "表.NDP", "hyo"));
    ASSERT_TRUE(WriteBytes(folder + "y.ndp", "y-new"));
    ASSERT_TRUE(WriteBytes(folder + "y.np2", "y-old"));
    ASSERT_TRUE(WriteBytes(folder + "z.ndpx", "z"));
    CreateDirectoryA((folder + "dir.ndp").c_str(), NULL);
    EXPECT_EQ(1, BackupNdpFiles(folder.c_str()));
    EXPECT_EQ("x1", ReadBytes(folder + "x.np2"));
    EXPECT_EQ("hyo", ReadBytes(folder + "表.np2"));
    EXPECT_EQ("y-old", ReadBytes(folder + "y.np2"));
    EXPECT_FALSE(PathExists(folder + "z.ndpx.np2"));
    EXPECT_FALSE(PathExists(folder + "z.nnp2"));
    EXPECT_FALSE(PathExists(folder + "dir.np2"));

    ASSERT_TRUE(WriteBytes(folder + "x.ndp", "x2"));
    EXPECT_EQ(1, BackupNdpFiles(folder.c_str()));
    EXPECT_EQ("x1", ReadBytes(folder + "x.np2")) << "the first copy is kept";
    EXPECT_EQ(1, BackupNdpFiles(DataFolder("none").c_str()));
}

TEST_F(ConversionRunTest, RemovesOnlyTheFirstLineWithASingleByteAsterisk) {
    std::string folder = DataFolder("data");
    std::string list = folder + "KorvexRepList.dat";
    ASSERT_TRUE(WriteBytes(list, "one\r\ntwo*\r\nthree*\r\n"));
    EXPECT_EQ(1, CleanRepList(folder.c_str()));
    EXPECT_EQ("one\r\nthree*\r\n", ReadBytes(list));

    // The full-width asterisk, and a lead byte followed by 0x2A, are double-byte characters.
    std::string doubleByte = "＊全角\r\n\x81*\r\nend\x81";
    ASSERT_TRUE(WriteBytes(list, doubleByte));
    EXPECT_EQ(1, CleanRepList(folder.c_str()));
    EXPECT_EQ(doubleByte, ReadBytes(list)) << "not rewritten";

    ASSERT_TRUE(WriteBytes(list, "表*\r\nlast"));
    EXPECT_EQ(1, CleanRepList(folder.c_str()));
    EXPECT_EQ("last\r\n", ReadBytes(list));

    // Lines that the rewrite could not give back as they were: the file is left alone.
    const std::string unsafe[] = {"a\nb*\nc\n", "keep*\nlost line\n", "a*\rb\r\n", "a*\r\nb\n\r\n",
                                  std::string(1500, 'a') + "\r\n*\r\n"};
    for (const std::string& bytes : unsafe) {
        ASSERT_TRUE(WriteBytes(list, bytes));
        EXPECT_EQ(1, CleanRepList(folder.c_str()));
        EXPECT_EQ(bytes, ReadBytes(list));
    }
    EXPECT_EQ(1, CleanRepList(DataFolder("none").c_str()));
    EXPECT_FALSE(PathExists(Path("none\\KorvexRepList.dat")));
}

TEST_F(ConversionRunTest, EachDataFolderIsConvertedOncePerRun) {
    std::string install = DataFolder("inst");
    std::string user = DataFolder("inst\\User1");
    for (const std::string& folder : {install, user}) {
        ASSERT_TRUE(WriteBytes(folder + "Korvex.ndb", OldFile()));
        ASSERT_TRUE(WriteBytes(folder + "KorvexRepList.dat", "a*\r\nb*\r\nc*\r\n"));
        // What a killed run may have left beside the files it was replacing.
        ASSERT_TRUE(WriteBytes(folder + "~kx.tmp", "cut short"));
    }
    ASSERT_TRUE(WriteBytes(install + "KorvexUserList.dat", ".\r\n.\\\r\n\r\nUser1\r\nuser1\\\r\nUSER1\r\n"));
    EXPECT_EQ(1, ConvertUserData(Path("inst").c_str(), 1));
    for (const std::string& folder : {install, user}) {
        EXPECT_SAME_BYTES(ConvertedOldFile(), ReadBytes(folder + "Korvex.ndb")) << folder;
        EXPECT_SAME_BYTES(OldFile(), ReadBytes(folder + "Korvex_Conv.bak")) << folder << ": refreshed once, before";
        EXPECT_EQ("b*\r\nc*\r\n", ReadBytes(folder + "KorvexRepList.dat")) << folder << ": one line per run";
        EXPECT_FALSE(PathExists(folder + "~kx.tmp")) << folder;
    }
}
