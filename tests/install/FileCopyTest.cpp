// The versioned copy: real files with real version resources and times, real questions
// answered as a user would.
#include <gtest/gtest.h>

#include "ImageFixtures.h"
#include "MessageBoxObserver.h"
#include "PackageFixture.h"
#include "install/FileVersion.h"
#include "install/PackageReader.h"

namespace {

std::string FixtureBytes(const char* name) {
    std::string bytes = ReadBytes(FixturePath(name));
    EXPECT_FALSE(bytes.empty()) << "missing fixture " << name;
    return bytes;
}

const char kVersionText[] =
    "『a.dll』は既に最新版がインストールされています。\n上書きしてよろしいですか？\n"
    "（通常は「いいえ」とし、上書きしないようにして下さい。）";
const char kDateText[] =
    "『a.txt』は既に最新の日付のファイルがインストールされています。\n上書きしてよろしいですか？\n"
    "（通常は「いいえ」とし、上書きしないようにして下さい。）";
const char kPlainText[] = "既に同じファイルが存在します。上書きしてよろしいですか？";

void ExpectQuestion(const ObservedBox& box, const char* text, const char* caption) {
    EXPECT_EQ(text, box.text) << ToUtf8(box.text);
    EXPECT_EQ(caption, box.caption) << ToUtf8(box.caption);
    EXPECT_EQ(std::vector<int>({IDYES, IDNO}), box.buttons);
    EXPECT_EQ(IDNO, box.focusedButton) << "No is the default";
    EXPECT_EQ(MB_ICONWARNING, box.icon);
    EXPECT_TRUE(box.taskModal);
    EXPECT_FALSE(box.hasOwner);
}

bool HasTemporaryFile(const std::vector<std::string>& tree) {
    for (const std::string& name : tree) {
        size_t slash = name.rfind('\\');
        if (name[slash == std::string::npos ? 0 : slash + 1] == '_') return true;
    }
    return false;
}

}  // namespace

TEST(FileVersionTest, PacksTheLowByteOfEachFileVersionPart) {
    EXPECT_EQ(0x02010003u, PackedFileVersion(FixturePath("version_2_1_0_3.dll").c_str()))
        << "not the product version 9.9.9.9";
    EXPECT_EQ(0x01000000u, PackedFileVersion(FixturePath("version_1_0_256_0.dll").c_str()));
    EXPECT_EQ(0x2C040506u, PackedFileVersion(FixturePath("version_300_4_5_6.dll").c_str()));
    EXPECT_EQ(0u, PackedFileVersion(FixturePath("version_none.dll").c_str()));
    EXPECT_EQ(0u, PackedFileVersion(FixturePath("no_such_file.dll").c_str()));
}

class CopyTest : public PackageTest {
protected:
    // Writes the archive and runs the whole pass.
    int Install(const std::vector<kx::PackageMember>& members) {
        WriteMembers(members);
        PackageReader reader;
        int result = reader.UnPackCopy(archive.c_str(), target.c_str());
        EXPECT_FALSE(HasTemporaryFile(TreeOfTarget())) << "a \"_\" file is left";
        EXPECT_EQ(INVALID_HANDLE_VALUE, reader.packageFile);
        return result;
    }
    void Installed(const std::string& relative, const std::string& bytes) {
        ASSERT_TRUE(WriteBytes(InTarget(relative), bytes));
    }
};

TEST_F(CopyTest, ComparesLastWriteTimes) {
    Installed("old.txt", "o");
    Installed("new.txt", "n");
    Installed("same.txt", "s");
    ASSERT_TRUE(SetLastWriteTime(InTarget("old.txt"), kStoredTime));
    ASSERT_TRUE(SetLastWriteTime(InTarget("new.txt"), kStoredTime + 1));
    ASSERT_TRUE(SetLastWriteTime(InTarget("same.txt"), kStoredTime));
    EXPECT_EQ(1, CompareFileTimes(InTarget("old.txt").c_str(), InTarget("new.txt").c_str()));
    EXPECT_EQ(-1, CompareFileTimes(InTarget("new.txt").c_str(), InTarget("old.txt").c_str()));
    EXPECT_EQ(0, CompareFileTimes(InTarget("old.txt").c_str(), InTarget("same.txt").c_str()));
    EXPECT_EQ(1, CompareFileTimes(InTarget("missing").c_str(), InTarget("old.txt").c_str()));
    HANDLE held = CreateFileA(InTarget("new.txt").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(-1, CompareFileTimes(InTarget("old.txt").c_str(), InTarget("new.txt").c_str()))
        << "a file held without sharing counts as time 0";
    CloseHandle(held);
}

TEST_F(CopyTest, InstallsNewFilesOfEveryModeWithoutAQuestion) {
    std::vector<kx::PackageMember> members;
    for (uint8_t mode = 0; mode <= 5; ++mode)
        members.push_back(
            Member(mode % 2 ? "bin" : "", "f" + std::to_string(mode) + ".txt", "data" + std::to_string(mode), mode));
    EXPECT_EQ(0, Install(members));
    for (const kx::PackageMember& m : members) {
        std::string path = InTarget(m.subfolder.empty() ? m.name : m.subfolder + "\\" + m.name);
        EXPECT_EQ(m.data, ReadBytes(path)) << path;
        EXPECT_EQ(kStoredTime, LastWriteTime(path)) << "the copy keeps the stored time";
    }
    EXPECT_EQ(
        std::vector<std::string>({"bin", "bin\\f1.txt", "bin\\f3.txt", "bin\\f5.txt", "f0.txt", "f2.txt", "f4.txt"}),
        TreeOfTarget());
}

TEST_F(CopyTest, VersionCheckAsksOnlyWhenTheInstalledVersionIsHigher) {
    std::string v1 = FixtureBytes("version_1_0_0_0.dll");
    std::string v1b = FixtureBytes("version_1_0_256_0.dll");
    std::string v2 = FixtureBytes("version_2_1_0_3.dll");
    std::string none = FixtureBytes("version_none.dll");
    struct Case {
        std::string installed, packaged;
        int answer;  // 0: no question expected
        bool replaced;
    };
    const Case cases[] = {
        {v2, v1, IDNO, false},   {v2, v1, IDYES, true}, {v1, v2, 0, true},   {v1, v1b, 0, true},
        {v1, none, IDNO, false}, {none, v2, 0, true},   {none, v1, 0, true},
    };
    CreateDirectoryA(InTarget("bin").c_str(), NULL);
    for (const Case& c : cases) {
        Installed("bin\\a.dll", c.installed);
        MessageBoxScript boxes;
        if (c.answer != 0) boxes.Answer(c.answer);
        EXPECT_EQ(0, Install({Member("bin", "a.dll", c.packaged, 1)}));
        EXPECT_TRUE((c.replaced ? c.packaged : c.installed) == ReadBytes(InTarget("bin\\a.dll")))
            << (c.replaced ? "not replaced" : "replaced");
        ASSERT_EQ(c.answer != 0 ? 1u : 0u, boxes.Count());
        if (c.answer != 0) ExpectQuestion(boxes[0], kVersionText, "上書きしてよろしいですか？");
    }
}

TEST_F(CopyTest, DateCheckAsksOnlyWhenTheInstalledFileIsLater) {
    struct Case {
        uint64_t installedTime;
        int answer;
        bool replaced;
    };
    const Case cases[] = {
        {kStoredTime + 1, IDNO, false},
        {kStoredTime + 10000000, IDYES, true},
        {kStoredTime, 0, true},
        {kStoredTime - 1, 0, true},
    };
    for (const Case& c : cases) {
        Installed("a.txt", "installed");
        ASSERT_TRUE(SetLastWriteTime(InTarget("a.txt"), c.installedTime));
        MessageBoxScript boxes;
        if (c.answer != 0) boxes.Answer(c.answer);
        EXPECT_EQ(0, Install({Member("", "a.txt", "packaged", 2)}));
        EXPECT_EQ(c.replaced ? "packaged" : "installed", ReadBytes(InTarget("a.txt")));
        ASSERT_EQ(c.answer != 0 ? 1u : 0u, boxes.Count());
        if (c.answer != 0) ExpectQuestion(boxes[0], kDateText, "上書きしてよろしいですか？");
    }
}

TEST_F(CopyTest, AskModeAsksForEveryInstalledFile) {
    for (int answer : {IDNO, IDYES}) {
        Installed("a.txt", "installed");
        MessageBoxScript boxes;
        boxes.Answer(answer);
        EXPECT_EQ(0, Install({Member("", "a.txt", "packaged", 4)}));
        EXPECT_EQ(answer == IDYES ? "packaged" : "installed", ReadBytes(InTarget("a.txt")));
        ASSERT_EQ(1u, boxes.Count());
        ExpectQuestion(boxes[0], kPlainText, "確認");
    }
}

TEST_F(CopyTest, FollowModeRepeatsTheLastDecisionOfGroupFlagZero) {
    const char* names[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i"};
    for (const char* name : names)
        Installed(name, "old");
    MessageBoxScript boxes;
    boxes.Answer(IDNO).Answer(IDYES).Answer(IDYES).Answer(IDNO);
    EXPECT_EQ(0, Install({
                     Member("", "a", "new", 3),     // first: follows the starting decision, copy
                     Member("", "b", "new", 4, 0),  // declined: the previous decision becomes keep
                     Member("", "c", "new", 3),     // keep, without a question
                     Member("", "d", "new", 4, 1),  // accepted, but its group flag leaves keep
                     Member("", "e", "new", 3, 1),  // keep
                     Member("", "f", "new", 4, 0),  // accepted: copy
                     Member("", "g", "new", 3),     // copy
                     Member("", "h", "new", 4, 0),  // declined: keep
                     Member("", "new.txt", "new"),  // not installed yet: copied, previous becomes copy
                     Member("", "i", "new", 3),     // copy
                 }));
    EXPECT_EQ(4u, boxes.Count());
    const char* expected[] = {"new", "old", "old", "new", "old", "new", "new", "old", "new"};
    for (size_t i = 0; i < 9; ++i)
        EXPECT_EQ(expected[i], ReadBytes(InTarget(names[i]))) << names[i];
    EXPECT_EQ("new", ReadBytes(InTarget("new.txt")));
}

TEST_F(CopyTest, ClearsReadOnlyAndHiddenAlsoWhenTheUserKeepsTheFile) {
    Installed("r.txt", "kept");
    Installed("h.txt", "kept");
    Installed("rh.txt", "old");
    ASSERT_TRUE(SetFileAttributesA(InTarget("r.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA(InTarget("h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA(InTarget("rh.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    MessageBoxScript boxes;
    boxes.Answer(IDNO).Answer(IDNO);
    EXPECT_EQ(0, Install({Member("", "r.txt", "new", 4), Member("", "h.txt", "new", 4), Member("", "rh.txt", "new")}));
    EXPECT_EQ("kept", ReadBytes(InTarget("r.txt")));
    EXPECT_EQ("kept", ReadBytes(InTarget("h.txt")));
    EXPECT_EQ("new", ReadBytes(InTarget("rh.txt"))) << "a read-only file is replaced, not refused";
    for (const char* name : {"r.txt", "h.txt", "rh.txt"}) {
        DWORD attributes = GetFileAttributesA(InTarget(name).c_str());
        EXPECT_EQ(0u, attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) << name;
    }
}

TEST_F(CopyTest, TheFirstFailedCopyEndsThePass) {
    Installed("c.txt", "old");
    ASSERT_TRUE(CreateDirectoryA(InTarget("b.txt").c_str(), NULL));  // no file can be copied over a folder
    MessageBoxScript boxes;
    boxes.Answer(IDOK).Answer(IDOK);
    EXPECT_EQ(-1, Install({Member("", "a.txt", "new"), Member("", "b.txt", "new"), Member("", "c.txt", "new", 4)}));
    ASSERT_EQ(2u, boxes.Count()) << "c.txt is not asked about";
    EXPECT_EQ("インストール処理", boxes[0].caption);
    EXPECT_EQ(MB_ICONERROR, boxes[0].icon);
    EXPECT_EQ("インストールに失敗しました。", boxes[1].text);
    EXPECT_EQ("注意", boxes[1].caption);
    EXPECT_EQ(MB_ICONWARNING, boxes[1].icon);
    EXPECT_TRUE(boxes[1].taskModal);
    EXPECT_EQ("new", ReadBytes(InTarget("a.txt")));
    EXPECT_EQ("old", ReadBytes(InTarget("c.txt")));
}

TEST_F(CopyTest, AnInstalledFileHeldOpenIsNotAskedAboutAndFailsTheCopy) {
    Installed("a.txt", "installed");
    ASSERT_TRUE(SetLastWriteTime(InTarget("a.txt"), kStoredTime + 1));
    HANDLE held = CreateFileA(InTarget("a.txt").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    MessageBoxScript boxes;
    boxes.Answer(IDOK).Answer(IDOK);
    EXPECT_EQ(-1, Install({Member("", "a.txt", "packaged", 2)}));
    CloseHandle(held);
    ASSERT_EQ(2u, boxes.Count());
    EXPECT_EQ("インストール処理", boxes[0].caption);
    EXPECT_EQ("インストールに失敗しました。", boxes[1].text);
    EXPECT_EQ("installed", ReadBytes(InTarget("a.txt")));
}

TEST_F(CopyTest, AFailedExtractionCopiesNothing) {
    Installed("a.txt", "old");
    std::string bytes = kx::BuildArchive({Member("", "a.txt", "new"), Member("", "b.txt", "bbbb")});
    WriteArchive(bytes.substr(0, bytes.size() - 1));
    PackageReader reader;
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(-1, reader.UnPackCopy(archive.c_str(), target.c_str()));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("読込に失敗しました。", boxes[0].text);
    EXPECT_EQ("old", ReadBytes(InTarget("a.txt")));
    EXPECT_EQ(std::vector<std::string>({"a.txt"}), TreeOfTarget());
}
