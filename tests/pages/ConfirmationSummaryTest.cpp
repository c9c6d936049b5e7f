// The confirmation summary, to the byte.
#include <gtest/gtest.h>

#include "pages/ConfirmationSummary.h"
#include "shell/WizardState.h"

namespace {

TEST(ConfirmationSummaryTest, NamesTheKindTheFolderAndBothShortcuts) {
    char summary[kTextBufferBytes];
    versionUp = 0;
    lstrcpyA(installFolder, "C:\\Program Files\\Korvanto");
    desktopShortcut = 1;
    startMenuShortcut = 1;
    BuildInstallSummary(summary);
    EXPECT_STREQ(
        "インストール方法　：　「新　規」\r\n\r\n"
        "インストール先　：　C:\\Program Files\\Korvanto\r\n\r\n"
        "デスクトップへショートカットの作成　：　「する」\r\n"
        "スタートメニューへショートカットの作成　：　「する」\r\n",
        summary);

    versionUp = 1;
    lstrcpyA(installFolder, "D:\\表\\");  // shown as it is held, trailing backslash and all
    desktopShortcut = 0;
    startMenuShortcut = 1;
    BuildInstallSummary(summary);
    EXPECT_STREQ(
        "インストール方法　：　「バージョンアップ」\r\n\r\n"
        "インストール先　：　D:\\表\\\r\n\r\n"
        "デスクトップへショートカットの作成　：　「しない」\r\n"
        "スタートメニューへショートカットの作成　：　「する」\r\n",
        summary);

    desktopShortcut = 1;
    startMenuShortcut = 0;
    BuildInstallSummary(summary);
    EXPECT_NE(nullptr, strstr(summary,
                              "デスクトップへショートカットの作成　：　「する」\r\nスタートメニューへショートカットの作"
                              "成　：　「しない」\r\n"));
}

}  // namespace
