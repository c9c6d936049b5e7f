// The install folder checks on real folders, with every warning and question answered as a
// user would.
#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "ImportPatch.h"
#include "pages/FolderCheck.h"
#include "shell/WizardState.h"

namespace {

const char kSelectFolder[] = "フォルダを選択して下さい。";
const char kPathFromDrive[] = "ドライブからのパスでフォルダを選択して下さい。";
const char kRootQuestion[] = "ルートディレクトリが選択されました。よろしいですか？";
const char kFilesQuestion[] =
    "指定したフォルダには既にファイルが存在します。\nインストール先に指定してよろしいですか？";

class FolderCheckTest : public TempFolderTest {
protected:
    int Validate(const std::string& folder) {
        lstrcpyA(installFolder, folder.c_str());
        versionUp = 7;
        return ValidateInstallFolder();
    }
    void ExpectQuestion(const ObservedBox& box, const char* text) {
        EXPECT_EQ(text, box.text);
        EXPECT_EQ("確認", box.caption);
        EXPECT_EQ(MB_ICONQUESTION, box.icon);
        EXPECT_EQ(std::vector<int>({IDYES, IDNO}), box.buttons);
        EXPECT_TRUE(box.taskModal);
        EXPECT_FALSE(box.hasOwner);
    }
    std::string MakeFolder(const std::string& name) {
        std::string path = Path(name);
        EXPECT_TRUE(CreateDirectoryA(path.c_str(), NULL));
        return path;
    }
};

TEST_F(FolderCheckTest, RefusesEmptyAndNonDrivePaths) {
    {
        MessageBoxScript boxes;
        boxes.Answer(IDOK).Answer(IDOK);
        EXPECT_EQ(-1, Validate(""));
        EXPECT_EQ(-1, Validate("\\")) << "one backslash, stripped, leaves nothing";
        ASSERT_EQ(2u, boxes.Count());
        ExpectWarningBox(boxes[0], kSelectFolder);
        ExpectWarningBox(boxes[1], kSelectFolder);
    }
    const char* notFromDrive[] = {"C", "\\\\server\\share", "Korvanto", "\\Program Files\\Korvanto", "D:Korvanto"};
    for (const char* folder : notFromDrive) {
        MessageBoxScript boxes;
        boxes.Answer(IDOK);
        EXPECT_EQ(-1, Validate(folder)) << folder;
        ASSERT_EQ(1u, boxes.Count()) << folder;
        ExpectWarningBox(boxes[0], kPathFromDrive);
        EXPECT_EQ(7, versionUp) << "format errors leave versionUp alone";
    }
}

TEST_F(FolderCheckTest, ADriveRootIsAskedAbout) {
    for (const char* root : {"C:", "C:\\"}) {
        MessageBoxScript boxes;
        boxes.Answer(IDNO);
        EXPECT_EQ(-1, Validate(root)) << root;
        ASSERT_EQ(1u, boxes.Count());
        ExpectQuestion(boxes[0], kRootQuestion);
    }
    // Yes goes on to the usual checks: the root holds files, so the second question follows.
    MessageBoxScript boxes;
    boxes.Answer(IDYES).Answer(IDYES);
    EXPECT_EQ(0, Validate("C:\\"));
    ASSERT_EQ(2u, boxes.Count());
    ExpectQuestion(boxes[0], kRootQuestion);
    ExpectQuestion(boxes[1], kFilesQuestion);
    EXPECT_EQ(0, versionUp);
}

TEST_F(FolderCheckTest, AcceptsNewEmptyAndInstalledFoldersWithoutAQuestion) {
    MessageBoxScript boxes;  // no box expected
    EXPECT_EQ(0, Validate(Path("new\\deeper")));
    EXPECT_EQ(0, versionUp);
    EXPECT_FALSE(PathExists(Path("new"))) << "the folder is made by the installation, not here";

    std::string empty = MakeFolder("empty");
    EXPECT_EQ(0, Validate(empty));
    EXPECT_EQ(0, versionUp);
    EXPECT_EQ(0, Validate(empty + "\\"));
    EXPECT_EQ(0, versionUp);

    // An earlier installation: updated without a question, whatever else lies beside it.
    std::string installed = MakeFolder("表");  // 0x95 0x5C: the trail byte is no separator
    ASSERT_TRUE(WriteBytes(installed + "\\korvex.exe", "MZ"));
    ASSERT_TRUE(WriteBytes(installed + "\\Korvex.ndb", "data"));
    EXPECT_EQ(0, Validate(installed));
    EXPECT_EQ(1, versionUp);
    EXPECT_EQ(0, Validate(installed + "\\"));
    EXPECT_EQ(1, versionUp);

    // A file where the folder should be passes here; the installation refuses it later.
    ASSERT_TRUE(WriteBytes(Path("plain.txt"), "x"));
    EXPECT_EQ(0, Validate(Path("plain.txt")));
    EXPECT_EQ(0, versionUp);
    EXPECT_EQ(0u, boxes.Count());
}

TEST_F(FolderCheckTest, AFolderHoldingOtherFilesIsAskedAbout) {
    std::string folder = MakeFolder("data");
    ASSERT_TRUE(CreateDirectoryA((folder + "\\sub").c_str(), NULL));
    MessageBoxScript boxes;
    boxes.Answer(IDNO).Answer(IDYES);
    EXPECT_EQ(-1, Validate(folder));
    EXPECT_EQ(0, Validate(folder + "\\"));
    EXPECT_EQ(0, versionUp);
    ASSERT_EQ(2u, boxes.Count());
    ExpectQuestion(boxes[0], kFilesQuestion);
    ExpectQuestion(boxes[1], kFilesQuestion);
}

TEST_F(FolderCheckTest, FolderHasEntriesSeesFilesAndFoldersButNotDots) {
    std::string folder = MakeFolder("f");
    EXPECT_EQ(0, FolderHasEntries(folder.c_str()));
    EXPECT_EQ(0, FolderHasEntries(Path("missing").c_str()));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\inner").c_str(), NULL));
    EXPECT_EQ(1, FolderHasEntries(folder.c_str()));
    EXPECT_EQ(1, FolderHasEntries((folder + "\\").c_str()));
    EXPECT_EQ(0, FolderHasEntries((folder + "\\inner").c_str()));
    ASSERT_TRUE(WriteBytes(folder + "\\inner\\a.txt", ""));
    EXPECT_EQ(1, FolderHasEntries((folder + "\\inner\\").c_str()));
}

TEST_F(FolderCheckTest, BrowsingToAFolderWithOtherFilesSuggestsASubfolder) {
    std::string data = MakeFolder("Data");
    ASSERT_TRUE(WriteBytes(data + "\\memo.txt", "x"));
    char text[260] = {0};

    lstrcpyA(text, data.c_str());
    EXPECT_EQ(1, SuggestInstallSubfolder(text, sizeof text));
    EXPECT_EQ(data + "\\Korvanto", text);
    lstrcpyA(text, (data + "\\").c_str());
    EXPECT_EQ(1, SuggestInstallSubfolder(text, sizeof text));
    EXPECT_EQ(data + "\\Korvanto", text);

    std::string installed = MakeFolder("installed");
    ASSERT_TRUE(WriteBytes(installed + "\\korvex.exe", "MZ"));
    std::string empty = MakeFolder("empty");
    for (const std::string& kept : {installed + "\\", empty, Path("missing")}) {
        lstrcpyA(text, kept.c_str());
        EXPECT_EQ(0, SuggestInstallSubfolder(text, sizeof text)) << kept;
        EXPECT_EQ(kept, text);
    }

    // No room for the subfolder: the text stays as it is rather than being cut.
    lstrcpyA(text, data.c_str());
    EXPECT_EQ(0, SuggestInstallSubfolder(text, data.size() + 9));
    EXPECT_EQ(data, text);
    EXPECT_EQ(1, SuggestInstallSubfolder(text, data.size() + 10));
}

}  // namespace

namespace {

// A drive whose medium is missing: every look at it fails with ERROR_NOT_READY.
DWORD WINAPI AttributesOfDriveWithoutMedium(const char*) {
    SetLastError(ERROR_NOT_READY);
    return INVALID_FILE_ATTRIBUTES;
}

HANDLE WINAPI SearchOnDriveWithoutMedium(const char*, WIN32_FIND_DATAA*) {
    SetLastError(ERROR_NOT_READY);
    return INVALID_HANDLE_VALUE;
}

TEST_F(FolderCheckTest, ADriveWithoutMediumIsReported) {
    const char kNotReady[] = "デバイスの準備が出来ていません。";
    {
        ImportPatch patch("kernel32.dll", "GetFileAttributesA",
                          reinterpret_cast<void*>(AttributesOfDriveWithoutMedium));
        ASSERT_TRUE(patch.Applied());
        MessageBoxScript boxes;
        boxes.Answer(IDOK);
        EXPECT_EQ(-1, Validate("E:\\Korvanto"));
        ASSERT_EQ(1u, boxes.Count());
        ExpectWarningBox(boxes[0], kNotReady);
    }
    // The folder is seen but cannot be searched.
    std::string folder = MakeFolder("seen");
    ImportPatch patch("kernel32.dll", "FindFirstFileA", reinterpret_cast<void*>(SearchOnDriveWithoutMedium));
    ASSERT_TRUE(patch.Applied());
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(-1, Validate(folder));
    ASSERT_EQ(1u, boxes.Count());
    ExpectWarningBox(boxes[0], kNotReady);
}

}  // namespace
