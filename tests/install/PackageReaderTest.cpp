// The package reader on real archives and real folders under Wine.
#include <gtest/gtest.h>

#include "ImportPatch.h"
#include "MessageBoxObserver.h"
#include "PackageFixture.h"
#include "install/PackageReader.h"
#include "util/FreshFile.h"
#include "util/WholeFile.h"

namespace {

struct FileTimes {
    uint64_t creation = 0, access = 0, write = 0;
};

FileTimes TimesOf(const std::string& path) {
    FileTimes times;
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
    FILETIME c, a, w;
    if (file != INVALID_HANDLE_VALUE && GetFileTime(file, &c, &a, &w)) {
        times.creation = static_cast<uint64_t>(c.dwHighDateTime) << 32 | c.dwLowDateTime;
        times.access = static_cast<uint64_t>(a.dwHighDateTime) << 32 | a.dwLowDateTime;
        times.write = static_cast<uint64_t>(w.dwHighDateTime) << 32 | w.dwLowDateTime;
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return times;
}

void ExpectWarning(const MessageBoxScript& boxes, size_t i, const char* text) {
    ASSERT_LT(i, boxes.Count());
    EXPECT_EQ(text, boxes[i].text) << ToUtf8(boxes[i].text);
    EXPECT_EQ("注意", boxes[i].caption);
    EXPECT_EQ(MB_ICONWARNING, boxes[i].icon);
    EXPECT_EQ(std::vector<int>({IDOK}), boxes[i].buttons);
    EXPECT_TRUE(boxes[i].taskModal);
    EXPECT_FALSE(boxes[i].hasOwner);
}

// The archive is closed when another open without sharing succeeds.
bool IsClosed(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// WriteFile as Wine behaves on a full disk: success, with half the bytes written and no error.
BOOL WINAPI WriteFileHalfway(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    static auto realWriteFile = SystemFunction<decltype(&WriteFile)>("kernel32.dll", "WriteFile");
    BOOL result = realWriteFile(file, bytes, count / 2, written, overlapped);
    SetLastError(ERROR_SUCCESS);
    return result;
}

}  // namespace

using ReaderTest = PackageTest;

TEST_F(ReaderTest, AWriteCutShortWithoutAnErrorIsReportedAsAFullDisk) {
    ASSERT_NE(SystemErrorText(ERROR_SUCCESS), SystemErrorText(ERROR_DISK_FULL));
    HANDLE file = CreateFileA(Path("w.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ASSERT_TRUE(WriteBytes(Path("kept.txt"), "old"));
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    {
        ImportPatch patch("kernel32.dll", "WriteFile", reinterpret_cast<void*>(WriteFileHalfway));
        ASSERT_TRUE(patch.Applied());
        EXPECT_EQ(0u, PackageReader::WriteBlock(file, "abcd", 4, 1));
        WholeFileWriter replacement(Path("kept.txt").c_str());
        EXPECT_FALSE(replacement.Write("new bytes", 9));
        EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError()) << "the whole-file writer";
    }
    CloseHandle(file);
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("インストール処理", boxes[0].caption);
    EXPECT_EQ(SystemErrorText(ERROR_DISK_FULL), boxes[0].text) << ToUtf8(boxes[0].text);
    EXPECT_EQ("old", ReadBytes(Path("kept.txt")));
}

TEST_F(ReaderTest, ExtractsEveryMemberWithItsOptionsAndStoredTimes) {
    kx::PackageMember signedOptions = Member("sub", "b.txt", "bee", 0xFE, 0x80);
    signedOptions.optionByte1 = 0xFF;
    WriteMembers({Member("", "a.dll", "alpha", 1), signedOptions, Member("", "empty.dat", "")});
    PackageReader reader;
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str()));
    EXPECT_EQ(3, reader.memberCount);
    EXPECT_EQ(1, reader.UnPackRead(1));
    EXPECT_STREQ("", reader.currentSubfolder) << "a member of the folder itself changes no subfolder";
    EXPECT_EQ(1, reader.UnPackRead(1));
    EXPECT_STREQ("sub", reader.currentSubfolder);
    EXPECT_EQ(1, reader.UnPackRead(1));
    EXPECT_STREQ("sub", reader.currentSubfolder);
    EXPECT_EQ(0, reader.UnPackRead(1));
    EXPECT_EQ(0, reader.UnPackRead(1)) << "an exhausted reader stays exhausted";

    // Before the contents are read, which moves the access time.
    for (const char* name : {"_a.dll", "sub\\_b.txt", "_empty.dat"}) {
        FileTimes times = TimesOf(InTarget(name));
        EXPECT_EQ(kStoredTime, times.creation) << name;
        EXPECT_EQ(kStoredTime, times.access) << name;
        EXPECT_EQ(kStoredTime, times.write) << name;
    }
    EXPECT_EQ("alpha", ReadBytes(InTarget("_a.dll")));
    EXPECT_EQ("bee", ReadBytes(InTarget("sub\\_b.txt")));
    EXPECT_TRUE(PathExists(InTarget("_empty.dat")));
    EXPECT_EQ("", ReadBytes(InTarget("_empty.dat")));

    ASSERT_EQ(3, reader.RecordCount());
    MemberRecord record;
    ASSERT_EQ(1, reader.RecordAt(1, &record));
    EXPECT_EQ(3, record.optionLength);
    EXPECT_EQ(-2, record.copyMode);
    EXPECT_EQ(-1, record.optionByte1);
    EXPECT_EQ(-128, record.groupFlag);
    EXPECT_STREQ("sub", record.subfolder);
    EXPECT_STREQ("b.txt", record.fileName);
    EXPECT_EQ(0, reader.RecordAt(3, &record));

    reader.UnPackClose();
    EXPECT_EQ(std::vector<std::string>({"sub"}), TreeOfTarget()) << "no \"_\" file is left";
    EXPECT_EQ(0, reader.RecordCount());
    EXPECT_STREQ("", reader.baseFolder);
    EXPECT_TRUE(IsClosed(archive));
}

TEST_F(ReaderTest, StreamsMembersAroundTheChunkSize) {
    std::string chunk = Repeat('c', PackageReader::kChunkSize);
    std::string pattern;
    for (uint32_t i = 0; i < PackageReader::kChunkSize + 1; ++i)
        pattern.push_back(static_cast<char>(i * 7));
    WriteMembers({Member("", "one.bin", chunk), Member("", "two.bin", pattern), Member("", "x.bin", "x")});
    PackageReader reader;
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str()));
    while (reader.UnPackRead(1) == 1) {
    }
    EXPECT_EQ(chunk, ReadBytes(InTarget("_one.bin")));
    EXPECT_EQ(pattern, ReadBytes(InTarget("_two.bin")));
    EXPECT_EQ("x", ReadBytes(InTarget("_x.bin"))) << "the next entry starts right after the data";
}

TEST_F(ReaderTest, WritesTheTemporaryPrefixOnlyForFlagOne) {
    WriteMembers({Member("sub", "a.dll", "1"), Member("sub", "b.dll", "2"), Member("", "c.dll", "3")});
    PackageReader reader;
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str()));
    EXPECT_EQ(1, reader.UnPackRead(1));
    EXPECT_EQ(1, reader.UnPackRead(0));
    EXPECT_EQ(1, reader.UnPackRead(2));
    EXPECT_EQ(std::vector<std::string>({"c.dll", "sub", "sub\\_a.dll", "sub\\b.dll"}), TreeOfTarget());
    reader.UnPackClose();
    EXPECT_EQ(std::vector<std::string>({"c.dll", "sub", "sub\\b.dll"}), TreeOfTarget())
        << "only \"_\" files are removed";
}

TEST_F(ReaderTest, CreatesASubfolderOnceForNamesDifferingInCase) {
    WriteMembers({Member("Data", "a.txt", "a"), Member("DATA", "b.txt", "b")});
    PackageReader reader;
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str()));
    ASSERT_EQ(1, reader.UnPackRead(1));
    // Were the folder made again for "DATA", the second file would land in it. The reader holds
    // the first file: it goes through the reader's handle.
    ASSERT_TRUE(DeleteThroughHandle(reader.temporaryFiles[0]));
    CloseHandle(reader.temporaryFiles[0]);
    reader.temporaryFiles[0] = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(RemoveDirectoryA(InTarget("Data").c_str()));
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(-1, reader.UnPackRead(1));
    ExpectWarning(boxes, 0, "ファイルの書込に失敗しました。");
    EXPECT_STREQ("Data", reader.currentSubfolder);
}

TEST_F(ReaderTest, AcceptsCountsUpToFiveHundred) {
    std::vector<kx::PackageMember> members;
    for (int i = 0; i < 500; ++i)
        members.push_back(Member("", "f" + std::to_string(i), ""));
    WriteMembers(members);
    PackageReader reader;
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str()));
    int extracted = 0;
    while (reader.UnPackRead(1) == 1)
        ++extracted;
    EXPECT_EQ(500, extracted);
    EXPECT_EQ(500u, TreeOfTarget().size());
    reader.UnPackClose();
    EXPECT_TRUE(TreeOfTarget().empty());

    members.push_back(Member("", "f500", ""));
    WriteMembers(members);
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(-1, reader.UnPackOpen(archive.c_str(), target.c_str()));
    ExpectWarning(boxes, 0, "ファイル数がオーバーしました。");
    EXPECT_TRUE(IsClosed(archive));
    EXPECT_EQ(-1, reader.UnPackRead(1)) << "nothing is open after a refusal";
}

TEST_F(ReaderTest, OpensEmptyAndNegativeCountsWithNothingToExtract) {
    for (int32_t count : {0, -1, INT32_MIN}) {
        WriteArchive(RawArchive(count, {}, ""));
        PackageReader reader;
        ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str())) << count;
        EXPECT_EQ(0, reader.UnPackRead(1)) << count;
        reader.UnPackClose();
        EXPECT_TRUE(TreeOfTarget().empty()) << count;
    }
}

TEST_F(ReaderTest, EndsTheBaseFolderInOneBackslash) {
    WriteArchive(RawArchive(0, {}, ""));
    PackageReader reader;
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str()));
    EXPECT_EQ(target + "\\", reader.baseFolder);
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), (target + "\\").c_str()));
    EXPECT_EQ(target + "\\", reader.baseFolder);
    // 表 ends in the byte 0x5C, which is no backslash here.
    std::string kanji = Path("表");
    ASSERT_EQ('\\', kanji.back());
    CreateDirectoryA(kanji.c_str(), NULL);
    reader.UnPackClose();
    WriteMembers({Member("", "a.txt", "a")});
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), kanji.c_str()));
    EXPECT_EQ(kanji + "\\", reader.baseFolder);
    EXPECT_EQ(1, reader.UnPackRead(1));
    EXPECT_EQ("a", ReadBytes(kanji + "\\_a.txt"));
}

TEST_F(ReaderTest, KeepsDoubleByteNamesWhoseTrailByteLooksLikeABackslash) {
    // ソ is 0x83 0x5C and 表 0x95 0x5C: neither holds a separator.
    WriteMembers({Member("ソフト", "表.txt", "x"), Member("ソフト\\表", "能.txt", "y")});
    PackageReader reader;
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str()));
    EXPECT_EQ(1, reader.UnPackRead(1));
    CreateDirectoryA(InTarget("ソフト\\表").c_str(), NULL);
    EXPECT_EQ(1, reader.UnPackRead(1)) << "a subfolder may nest below one that exists";
    EXPECT_EQ("x", ReadBytes(InTarget("ソフト\\_表.txt")));
    EXPECT_EQ("y", ReadBytes(InTarget("ソフト\\表\\_能.txt")));
    reader.UnPackClose();
    EXPECT_FALSE(PathExists(InTarget("ソフト\\_表.txt")));
    EXPECT_FALSE(PathExists(InTarget("ソフト\\表\\_能.txt")));
}

TEST_F(ReaderTest, RefusesArchivesThatCannotBeOpenedOrAreNotArchives) {
    PackageReader reader;
    {
        MessageBoxScript boxes;
        boxes.Answer(IDOK).Answer(IDOK);
        EXPECT_EQ(-1, reader.UnPackOpen(Path("missing.pa_").c_str(), target.c_str()));
        ASSERT_EQ(2u, boxes.Count());
        EXPECT_EQ("UpPackOpen", boxes[0].caption);
        EXPECT_EQ(MB_ICONERROR, boxes[0].icon);
        EXPECT_FALSE(boxes[0].text.empty()) << "the system's own error text";
        ExpectWarning(boxes, 1, "ファイルの読込に失敗しました。");
    }
    struct Case {
        std::string bytes;
        const char* message;
    };
    std::string count3 = RawArchive(3, {}, "");
    const Case cases[] = {
        {"P", "不正なファイルを読込ました。"},
        {"SZ\x08\0\0\0", "形式の異なるファイルを読み込みました。"},
        {"pc\0\0\0\0", "形式の異なるファイルを読み込みました。"},
        {"PC\x01\0\0", "不正なファイルを読込ました。"},
        {count3 + std::string(11, '\0'), "不正なファイルを読込ました。"},  // size table one byte short
    };
    for (const Case& c : cases) {
        WriteArchive(c.bytes);
        MessageBoxScript boxes;
        boxes.Answer(IDOK);
        EXPECT_EQ(-1, reader.UnPackOpen(archive.c_str(), target.c_str())) << ToUtf8(c.message);
        ExpectWarning(boxes, 0, c.message);
        EXPECT_TRUE(IsClosed(archive));
    }
    EXPECT_EQ(-1, reader.UnPackRead(1));
}

TEST_F(ReaderTest, RefusesNamesTooLongForTheTargetFolder) {
    size_t baseLength = target.size() + 1;
    size_t fits = 259 - baseLength;  // with its terminator; "_" and the name then fill 259 bytes
    WriteMembers({Member("", std::string(fits - 1, 'n'), "a"), Member("", std::string(fits, 'm'), "b")});
    PackageReader reader;
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str()));
    EXPECT_EQ(1, reader.UnPackRead(1));
    MessageBoxScript boxes;
    boxes.Answer(IDOK).Answer(IDOK);
    EXPECT_EQ(-1, reader.UnPackRead(1));
    ExpectWarning(boxes, 0, "ファイル名が長すぎます。");
    EXPECT_EQ(1, reader.RecordCount()) << "no record for the refused member";

    // A length near 2^32 must not wrap around the bound.
    std::string entry = RawEntryStart(3, 1, std::string(1, '\0'));
    kx::AppendU32(entry, 0xFFFFFFFFu);
    reader.UnPackClose();
    WriteArchive(RawArchive(1, {0}, entry + "x"));
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str()));
    EXPECT_EQ(-1, reader.UnPackRead(1));
    ExpectWarning(boxes, 1, "ファイル名が長すぎます。");
}

TEST_F(ReaderTest, RemovesEveryTemporaryFileAfterAShortMember) {
    std::string bytes = kx::BuildArchive({Member("sub", "a.txt", "aaaa"), Member("sub", "b.txt", "bbbb")});
    WriteArchive(bytes.substr(0, bytes.size() - 2));
    PackageReader reader;
    ASSERT_EQ(0, reader.UnPackOpen(archive.c_str(), target.c_str()));
    EXPECT_EQ(1, reader.UnPackRead(1));
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(-1, reader.UnPackRead(1));
    ExpectWarning(boxes, 0, "読込に失敗しました。");
    EXPECT_EQ(1, reader.nextIndex) << "a failed read does not advance";
    EXPECT_TRUE(PathExists(InTarget("sub\\_b.txt"))) << "the partial file stays until the close";
    reader.UnPackClose();
    EXPECT_EQ(std::vector<std::string>({"sub"}), TreeOfTarget());
}

TEST_F(ReaderTest, WritesTheTraceOnlyWhenAPathIsSet) {
    WriteMembers({Member("sub", "a.txt", "a")});
    PackageReader reader;
    ASSERT_EQ(0, reader.UnPackCopy(archive.c_str(), target.c_str()));
    EXPECT_EQ(std::vector<std::string>({"sub", "sub\\a.txt"}), TreeOfTarget());

    lstrcpyA(reader.tracePath, Path("trace.txt").c_str());
    ASSERT_EQ(0, reader.UnPackCopy(archive.c_str(), target.c_str()));
    std::string expected = archive + "\r\n" + target + "\r\n" + target + "\\sub\\_a.txt\r\n" +
                           "書き込み完了\r\nバージョンを確認しながらコピー\r\n残骸処理\r\n";
    EXPECT_EQ(expected, ReadBytes(Path("trace.txt")));
}

TEST_F(ReaderTest, BlockWritesReportTheirFailureOnlyWhenAsked) {
    ASSERT_TRUE(WriteBytes(Path("r.bin"), "abc"));
    HANDLE readOnly = CreateFileA(Path("r.bin").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, readOnly);
    char buffer[8];
    EXPECT_EQ(3u, PackageReader::ReadBlock(readOnly, buffer, sizeof buffer));
    EXPECT_EQ(0u, PackageReader::WriteBlock(readOnly, "x", 1, 0)) << "no box without the report flag";
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(0u, PackageReader::WriteBlock(readOnly, "x", 1, 1));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("インストール処理", boxes[0].caption);
    EXPECT_EQ(MB_ICONERROR, boxes[0].icon);
    CloseHandle(readOnly);
    EXPECT_EQ(0u, PackageReader::ReadBlock(INVALID_HANDLE_VALUE, buffer, 1));
}

TEST_F(ReaderTest, RefusesATargetFolderTooLongForAnyMember) {
    WriteArchive(RawArchive(0, {}, ""));
    PackageReader reader;
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(-1, reader.UnPackOpen(archive.c_str(), ("C:\\" + std::string(300, 'f')).c_str()));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("ファイル名が長すぎます。", boxes[0].text);
    EXPECT_STREQ("", reader.baseFolder);
}
