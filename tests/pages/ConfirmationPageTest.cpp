// The confirmation page on its real template: the summary it shows and the way back.
#include <gtest/gtest.h>

#include "MessageBoxObserver.h"
#include "PageBench.h"
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

}  // namespace
