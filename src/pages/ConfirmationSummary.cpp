#include "pages/ConfirmationSummary.h"

#include <windows.h>

#include "shell/WizardState.h"

static const char* YesNoWord(int choice) {
    return choice != 0 ? "「する」" : "「しない」";
}

static const char* InstallKindWord(int isVersionUp) {
    return isVersionUp != 0 ? "「バージョンアップ」" : "「新　規」";
}

// installFolder holds at most 263 bytes, so the whole summary stays far below 1024.
void BuildInstallSummary(char* out) {
    wsprintfA(out,
              "インストール方法　：　%s\r\n\r\n"
              "インストール先　：　%s\r\n\r\n"
              "デスクトップへショートカットの作成　：　%s\r\n"
              "スタートメニューへショートカットの作成　：　%s\r\n",
              InstallKindWord(versionUp), installFolder, YesNoWord(desktopShortcut), YesNoWord(startMenuShortcut));
}
