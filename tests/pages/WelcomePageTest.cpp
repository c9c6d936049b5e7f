// The welcome page on its real template: the default folder it chooses, the version in its
// subtitle, and Next only when the package is there.
#include <shlobj.h>

#include <gtest/gtest.h>

#include "ByteBuffer.h"
#include "MessageBoxObserver.h"
#include "PageBench.h"
#include "TestFiles.h"
#include "pages/Pages.h"
#include "resources/resource.h"
#include "shell/WizardState.h"

namespace {

const char kPlainSubtitle[] = "ここでは『Korvanto』のインストールまたはバージョンアップを行います。";

std::string Package(uint32_t version) {
    std::string bytes = "PA";
    kx::AppendU32(bytes, 8);
    bytes += "hdr!";
    kx::AppendU32(bytes, version);
    return bytes + "PC";
}

class WelcomePageTest : public PageTest {
protected:
    void WriteRecord(const std::string& lines) {
        ASSERT_TRUE(CreateDirectoryA(Path("appdata\\morvel").c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA(Path("appdata\\morvel\\inst").c_str(), NULL));
        ASSERT_TRUE(WriteBytes(RecordPath(), lines));
    }
    // Opens the page, notes what it shows, and leaves it with Next (or Cancel when Next fails).
    INT_PTR OpenAndGoOn() {
        return RunPage("IDD_HAZIME", WelcomePageProc, 0, [&](HWND page) {
            header_ = ItemText(page, IDC_HEADER);
            caption_ = WindowTextOf(page);
            Click(page, IDC_NEXT);
        });
    }
    std::string header_;
    std::string caption_;
};

TEST_F(WelcomePageTest, AFirstInstallationOffersProgramFilesAndNamesTheVersion) {
    ASSERT_TRUE(WriteBytes(SetupFolder() + "kx.pac", Package(0x01020304)));
    lstrcpyA(installFolder, "left over");
    previousInstallDate.wYear = 1999;
    EXPECT_EQ(1, OpenAndGoOn());
    EXPECT_EQ(1, nextPage);
    EXPECT_EQ("Korvantoセットアップ(1/4)", caption_);
    EXPECT_NE(std::string::npos,
              header_.find("ここでは『Korvanto 1.2.3.4』のインストールまたはバージョンアップを行います。"))
        << ToUtf8(header_);
    EXPECT_NE(std::string::npos, header_.find("■『Korvantoセットアッププログラム』へようこそ！"));
    EXPECT_STREQ("1.2.3.4", packageVersionText);
    EXPECT_EQ(ProgramFilesPrefix() + "Korvanto", installFolder);
    EXPECT_EQ(0, previousInstallDate.wYear);
    EXPECT_EQ(0, previousInstallDate.wMonth);
    EXPECT_EQ(0, previousInstallDate.wDay);
    EXPECT_FALSE(PathExists(Path("appdata\\morvel"))) << "reading the record creates nothing";
}

TEST_F(WelcomePageTest, TheRecordGivesTheFolderAndDateUnlessTheApplicationLiesBesideTheSetup) {
    ASSERT_TRUE(WriteBytes(SetupFolder() + "kx.pac", Package(0x01020304)));
    WriteRecord("2024\r\n3\r\n9\r\n30000000\r\n1234\r\nD:\\Apps\\Korvanto\r\n");
    EXPECT_EQ(1, OpenAndGoOn());
    EXPECT_STREQ("D:\\Apps\\Korvanto", installFolder);
    EXPECT_EQ(2024, previousInstallDate.wYear);
    EXPECT_EQ(3, previousInstallDate.wMonth);
    EXPECT_EQ(9, previousInstallDate.wDay);

    // Started from inside an installed application's folder: that folder, with its backslash.
    ASSERT_TRUE(WriteBytes(SetupFolder() + "korvex.exe", "MZ"));
    EXPECT_EQ(1, OpenAndGoOn());
    EXPECT_EQ(SetupFolder(), installFolder);
    EXPECT_EQ(2024, previousInstallDate.wYear) << "the date still comes from the record";
}

TEST_F(WelcomePageTest, ARecordWithoutAUsableFolderFallsBackToProgramFiles) {
    ASSERT_TRUE(WriteBytes(SetupFolder() + "kx.pac", Package(0x01020304)));
    WriteRecord("2023\r\n11\r\n");
    EXPECT_EQ(1, OpenAndGoOn());
    EXPECT_EQ(ProgramFilesPrefix() + "Korvanto", installFolder);
    EXPECT_EQ(2023, previousInstallDate.wYear);
    EXPECT_EQ(11, previousInstallDate.wMonth);
    EXPECT_EQ(0, previousInstallDate.wDay);

    ASSERT_TRUE(WriteBytes(RecordPath(), "2023\r\n11\r\n1\r\n\r\n\r\nC:\\" + Repeat('x', 270) + "\r\n"));
    EXPECT_EQ(1, OpenAndGoOn());
    EXPECT_EQ(ProgramFilesPrefix() + "Korvanto", installFolder) << "a folder too long is not cut";
}

TEST_F(WelcomePageTest, APackageWithoutHeaderShowsThePlainSubtitleAndStillLeadsOn) {
    ASSERT_TRUE(WriteBytes(SetupFolder() + "kx.pac", "SZ" + Package(0x01020304).substr(2)));
    EXPECT_EQ(1, OpenAndGoOn());
    EXPECT_EQ(1, nextPage);
    EXPECT_NE(std::string::npos, header_.find(kPlainSubtitle)) << ToUtf8(header_);
    EXPECT_STREQ("", packageVersionText);
}

TEST_F(WelcomePageTest, WithoutThePackageNextWarnsAndOnlyCancelLeaves) {
    MessageBoxScript boxes;
    boxes.Answer(IDOK).Answer(IDNO).Answer(IDYES);
    INT_PTR result = RunPage("IDD_HAZIME", WelcomePageProc, 0, [&](HWND page) {
        EXPECT_NE(std::string::npos, ItemText(page, IDC_HEADER).find(kPlainSubtitle));
        Click(page, IDC_NEXT);
        EXPECT_EQ(0, nextPage) << "the page stays";
        Click(page, IDC_CANCEL_WIZARD);
        EXPECT_EQ(0, nextPage) << "No keeps the page";
        SendMessageA(page, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ(-1, nextPage);
    ASSERT_EQ(3u, boxes.Count());
    ExpectWarningBox(boxes[0], "kx.pacのファイルがありません。");
    EXPECT_EQ("処理を中止します。よろしいですか？", boxes[1].text);
    EXPECT_EQ("確認", boxes[1].caption);
    EXPECT_EQ("処理を中止します。よろしいですか？", boxes[2].text);
}

TEST_F(WelcomePageTest, AnUnknownProgramFilesFolderLeavesTheFolderEmpty) {
    ShellFolders().Set(CSIDL_DESKTOPDIRECTORY, "");
    ASSERT_TRUE(WriteBytes(SetupFolder() + "kx.pac", Package(0)));
    EXPECT_EQ(1, OpenAndGoOn());
    EXPECT_STREQ("", installFolder);
    EXPECT_STREQ("0.0.0.0", packageVersionText);
}

TEST_F(WelcomePageTest, WithoutAnApplicationDataFolderNoRecordIsRead) {
    // "\korvex_inst.dat" alone would name a file at the root of the current drive: put one there.
    ShellFolders().Set(CSIDL_APPDATA, "");
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(Temp().WindowsPath().c_str()));
    std::string rootRecord = Temp().WindowsPath().substr(0, 2) + "\\korvex_inst.dat";
    ASSERT_FALSE(PathExists(rootRecord));
    ASSERT_TRUE(WriteBytes(rootRecord, "2024\r\n1\r\n2\r\n\r\n\r\nD:\\Elsewhere\r\n"));
    ASSERT_TRUE(WriteBytes(SetupFolder() + "kx.pac", Package(0x01020304)));
    EXPECT_EQ(1, OpenAndGoOn());
    DeleteFileA(rootRecord.c_str());
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(ProgramFilesPrefix() + "Korvanto", installFolder);
    EXPECT_EQ(0, previousInstallDate.wYear);
}

}  // namespace
