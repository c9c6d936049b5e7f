// The confirmation page on its real template: the summary it shows and the way back.
#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "PackageWriter.h"
#include "PageBench.h"
#include "TestFiles.h"
#include "pages/Pages.h"
#include "resources/resource.h"
#include "shell/WizardState.h"

namespace {

class ConfirmationPageTest : public PageTest {
protected:
    INT_PTR Run(PageAction action) { return RunPage("IDD_SURE", ConfirmationPageProc, 3, action); }
};

TEST_F(ConfirmationPageTest, ShowsTheSummaryAndGoesBackToTheSettings) {
    versionUp = 1;
    lstrcpyA(installFolder, "D:\\Apps\\Korvanto\\");
    desktopShortcut = 0;
    startMenuShortcut = 1;
    std::string summary;
    EXPECT_EQ(1, Run([&](HWND page) {
                  EXPECT_EQ("Korvantoセットアップ(4/4)", WindowTextOf(page));
                  summary = ItemText(page, IDC_SUMMARY);
                  EXPECT_NE(std::string::npos, ItemText(page, IDC_HEADER).find("■インストール確認"));
                  Click(page, IDC_BACK);
              }));
    EXPECT_EQ(2, nextPage);
    EXPECT_EQ(
        "インストール方法　：　「バージョンアップ」\r\n\r\n"
        "インストール先　：　D:\\Apps\\Korvanto\\\r\n\r\n"
        "デスクトップへショートカットの作成　：　「しない」\r\n"
        "スタートメニューへショートカットの作成　：　「する」\r\n",
        summary);
}

TEST_F(ConfirmationPageTest, CancelAsksFirst) {
    MessageBoxScript boxes;
    boxes.Answer(IDNO).Answer(IDYES);
    EXPECT_EQ(1, Run([&](HWND page) {
                  Click(page, IDC_CANCEL_WIZARD);
                  EXPECT_EQ(3, nextPage);
                  Click(page, IDC_CANCEL_WIZARD);
              }));
    EXPECT_EQ(-1, nextPage);
    EXPECT_EQ(2u, boxes.Count());
}

TEST_F(ConfirmationPageTest, AFailedInstallationStaysAndTheNextPressInstalls) {
    kx::PackageMember program;
    program.name = "korvex.exe";
    program.fileTime = 133485408000000000ULL;
    program.data = "MZ program";
    ASSERT_TRUE(WriteBytes(SetupFolder() + "kx.pac", kx::BuildEnvelope(0x01020304, kx::BuildArchive({program}))));
    std::string target = Path("Korvanto");
    ASSERT_TRUE(WriteBytes(target, "a file where the folder should be"));
    lstrcpyA(installFolder, target.c_str());
    versionUp = 0;
    desktopShortcut = 1;
    startMenuShortcut = 0;
    dataBesideProgram = 1;
    MessageBoxScript boxes;
    boxes.Answer(IDOK);
    EXPECT_EQ(1, Run([&](HWND page) {
                  Click(page, IDC_NEXT);
                  EXPECT_EQ(3, nextPage) << "the page stays after a failed run";
                  EXPECT_EQ(LoadCursorA(NULL, reinterpret_cast<LPCSTR>(IDC_ARROW)), GetCursor());
                  EXPECT_FALSE(ItemText(page, IDC_SUMMARY).empty());
                  ASSERT_TRUE(DeleteFileA(target.c_str()));
                  Click(page, IDC_NEXT);
              }));
    EXPECT_EQ(4, nextPage);
    ASSERT_EQ(1u, boxes.Count());
    ExpectWarningBox(boxes[0], "指示先に既にファイルが存在します。");
    EXPECT_EQ("MZ program", ReadBytes(target + "\\korvex.exe"));
    EXPECT_TRUE(PathExists(target + "\\korvex.ini"));
    EXPECT_TRUE(PathExists(Path("desktop\\Korvanto.lnk")));
    EXPECT_FALSE(PathExists(Path("programs\\Korvanto")));
    std::string record = ReadBytes(RecordPath());
    EXPECT_NE(std::string::npos, record.find("\r\n" + target + "\r\n")) << record;
}

}  // namespace
