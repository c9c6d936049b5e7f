// Every member is put in place by renaming its extracted "_" file rather than copying it, also
// over an installed file. What stays must be what a copy leaves: these tests hold the pass to
// that, also for a member that the package lists twice.
#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "PackageFixture.h"
#include "install/PackageReader.h"

namespace {

uint64_t Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
}

uint64_t LastAccessTime(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    FILETIME access = {0, 0};
    if (file != INVALID_HANDLE_VALUE) {
        GetFileTime(file, NULL, &access, NULL);
        CloseHandle(file);
    }
    return static_cast<uint64_t>(access.dwHighDateTime) << 32 | access.dwLowDateTime;
}

class PlacementTest : public PackageTest {
protected:
    int Install(const std::vector<kx::PackageMember>& members) {
        WriteMembers(members);
        PackageReader reader;
        return reader.UnPackCopy(archive.c_str(), target.c_str());
    }
};

}  // namespace

TEST_F(PlacementTest, ANewFileCarriesWhatACopyWouldCarry) {
    uint64_t before = Now() - 20000000;  // two seconds of slack for coarse file system clocks
    ASSERT_EQ(
        0, Install({Member("", "a.dll", "alpha", 1), Member("bin", "b.txt", "bee", 2), Member("bin", "c.dat", "", 0)}));
    EXPECT_EQ(std::vector<std::string>({"a.dll", "bin", "bin\\b.txt", "bin\\c.dat"}), TreeOfTarget())
        << "no \"_\" file stays and nothing else appears";
    const std::pair<const char*, const char*> files[] = {{"a.dll", "alpha"}, {"bin\\b.txt", "bee"}, {"bin\\c.dat", ""}};
    for (const auto& file : files) {
        std::string path = InTarget(file.first);
        EXPECT_EQ(file.second, ReadBytes(path)) << path;
        EXPECT_EQ(kStoredTime, LastWriteTime(path)) << path << ": the stored time, as a copy keeps it";
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA(path.c_str())) << path;
        EXPECT_GE(LastAccessTime(path), before) << path << ": accessed when placed, as a copy on Windows is";
    }
}

TEST_F(PlacementTest, AnInstalledFileIsReplacedWithWhatACopyOverItWouldCarry) {
    // Wine keeps no creation time of its own, so the one that a copy over a file keeps on
    // Windows (the installed file's) cannot be checked here.
    ASSERT_TRUE(WriteBytes(InTarget("a.dll"), "the installed bytes, longer than the new ones"));
    ASSERT_TRUE(SetFileAttributesA(InTarget("a.dll").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    uint64_t before = Now() - 20000000;

    ASSERT_EQ(0, Install({Member("", "a.dll", "new", 0)}));
    std::string path = InTarget("a.dll");
    EXPECT_EQ("new", ReadBytes(path));
    EXPECT_EQ(kStoredTime, LastWriteTime(path));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA(path.c_str()));
    EXPECT_GE(LastAccessTime(path), before);
    EXPECT_EQ(std::vector<std::string>({"a.dll"}), TreeOfTarget());
}

TEST_F(PlacementTest, AMemberListedTwiceEndsWithTheLastCopyAndNoQuestion) {
    // Both names of a pair lead to one file: the later member finds the earlier one installed
    // and its own data in the shared "_" file, equal in version and date.
    ASSERT_EQ(0, Install({Member("", "same.txt", "first", 2), Member("", "same.txt", "second", 2),
                          Member("", "Case.dll", "upper", 1), Member("", "case.dll", "lower", 1)}));
    EXPECT_EQ("second", ReadBytes(InTarget("same.txt")));
    EXPECT_EQ("lower", ReadBytes(InTarget("case.dll")));
    EXPECT_EQ(kStoredTime, LastWriteTime(InTarget("same.txt")));
    EXPECT_EQ(std::vector<std::string>({"Case.dll", "same.txt"}), TreeOfTarget());
}

TEST_F(PlacementTest, AMemberListedTwiceInAskModeAsksForTheSecondOnly) {
    for (int answer : {IDNO, IDYES}) {
        ASSERT_TRUE(DeleteFileA(InTarget("a.txt").c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
        MessageBoxScript boxes;
        boxes.Answer(answer);
        ASSERT_EQ(0, Install({Member("", "a.txt", "first", 4), Member("", "a.txt", "second", 4)}));
        ASSERT_EQ(1u, boxes.Count());
        EXPECT_EQ("既に同じファイルが存在します。上書きしてよろしいですか？", boxes[0].text);
        EXPECT_EQ("second", ReadBytes(InTarget("a.txt"))) << "the shared \"_\" file held the second's data";
        EXPECT_EQ(std::vector<std::string>({"a.txt"}), TreeOfTarget());
    }
}
