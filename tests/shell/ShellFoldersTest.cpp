// Shell folders against the Wine prefix's real folders, asked independently of the code.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "TestFiles.h"
#include "shell/ShellFolders.h"

namespace {

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(NULL, csidl, NULL, SHGFP_TYPE_CURRENT, path))) return "";
    return path;
}

std::string Locate(unsigned int kind, const char* suffix) {
    ShellFolder folder;
    return folder.Locate(kind, suffix);
}

std::string LocateAppData(const std::string& maker, const char* sub, int create) {
    AppDataFolder folder;
    return folder.Locate(maker.c_str(), sub, create);
}

// A maker folder of its own per test program run, removed afterwards.
class AppDataFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        maker_ = "kxtest-" + std::to_string(GetCurrentProcessId());
        root_ = KnownFolder(CSIDL_APPDATA) + "\\" + maker_;
        RemoveTree(root_);
    }
    void TearDown() override { RemoveTree(root_); }
    std::string maker_;
    std::string root_;
};

}  // namespace

TEST(ShellFolderTest, KindsNameTheShellFoldersEndingInABackslash) {
    std::string desktop = KnownFolder(CSIDL_DESKTOPDIRECTORY);
    ASSERT_GT(desktop.size(), 3u);
    EXPECT_EQ(desktop + "\\Korvanto", Locate(0, "Korvanto"));
    EXPECT_EQ(KnownFolder(CSIDL_STARTUP) + "\\", Locate(1, ""));
    EXPECT_EQ(KnownFolder(CSIDL_SENDTO) + "\\", Locate(2, NULL));
    EXPECT_EQ(KnownFolder(CSIDL_PROGRAMS) + "\\Korvanto", Locate(3, "Korvanto"));
    EXPECT_EQ(KnownFolder(CSIDL_PERSONAL) + "\\", Locate(4, ""));
    // The Program Files folder on the Desktop's drive, whatever the system calls it.
    EXPECT_EQ(desktop.substr(0, 2) + "\\Program Files\\", Locate(5, ""));
    EXPECT_EQ(desktop.substr(0, 2) + "\\Program Files\\Korvanto", Locate(5, "Korvanto"));
    EXPECT_EQ(desktop.substr(0, 2) + "\\Program Files\\", Locate(5, NULL));
    EXPECT_EQ("", Locate(6, "Korvanto"));
    EXPECT_EQ("", Locate(0xFFFFFFFFu, "Korvanto"));
}

TEST(ShellFolderTest, RefusesASuffixThatWouldNotFit) {
    std::string folder = KnownFolder(CSIDL_DESKTOPDIRECTORY) + "\\";
    std::string fits(259 - folder.size(), 'a');
    EXPECT_EQ(folder + fits, Locate(0, fits.c_str()));
    std::string tooLong = fits + "b";
    EXPECT_EQ("", Locate(0, tooLong.c_str()));
    // A double-byte suffix whose last byte would land past the end is refused whole.
    std::string doubleByte = std::string(258 - folder.size(), 'a') + "表";
    EXPECT_EQ("", Locate(0, doubleByte.c_str()));
}

TEST_F(AppDataFolderTest, ComposesWithoutCreatingUnlessAsked) {
    std::string expected = root_ + "\\inst";
    EXPECT_EQ(expected, LocateAppData(maker_, "inst", 0));
    EXPECT_EQ(expected, LocateAppData(maker_, "inst", 2));
    EXPECT_FALSE(PathExists(root_));

    EXPECT_EQ(expected, LocateAppData(maker_, "inst", 1));
    EXPECT_TRUE(IsFolder(expected));
    EXPECT_TRUE(PathExists(expected + "\\make.chk"));
    // The marker is made empty again each time the folder is proved writable.
    ASSERT_TRUE(WriteBytes(expected + "\\make.chk", "old"));
    EXPECT_EQ(expected, LocateAppData(maker_, "inst", 1));
    EXPECT_EQ("", ReadBytes(expected + "\\make.chk"));
    EXPECT_TRUE(PathExists(expected + "\\make.chk"));
}

TEST_F(AppDataFolderTest, UnwritableOrOverlongFolderGivesTheEmptyText) {
    // "inst" is a file, so no marker can be made inside it.
    CreateDirectoryA(root_.c_str(), NULL);
    ASSERT_TRUE(WriteBytes(root_ + "\\inst", "x"));
    EXPECT_EQ("", LocateAppData(maker_, "inst", 1));
    EXPECT_EQ(root_ + "\\inst", LocateAppData(maker_, "inst", 0));

    std::string appData = KnownFolder(CSIDL_APPDATA);
    std::string sub(299 - appData.size() - 2 - maker_.size(), 's');
    EXPECT_EQ(root_ + "\\" + sub, LocateAppData(maker_, sub.c_str(), 0));
    std::string tooLong = sub + "s";
    EXPECT_EQ("", LocateAppData(maker_, tooLong.c_str(), 1));
    EXPECT_FALSE(PathExists(root_ + "\\" + tooLong.substr(0, 200))) << "nothing is created for a refused path";
}
