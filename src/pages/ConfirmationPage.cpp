// Page 3: the summary of the choices, and Install, which runs the whole installation on this
// thread under the hourglass.
#include "pages/Pages.h"

#include "pages/ConfirmationSummary.h"
#include "resources/resource.h"
#include "shell/PageFrame.h"
#include "shell/WizardState.h"

static INT_PTR OnConfirmationInit(HWND page) {
    InitPageFrame(page, "■インストール確認", "設定した内容の確認を行い、インストールを実行します。");
    BuildInstallSummary(textBuffer);
    SetDlgItemTextA(currentPageWindow, IDC_SUMMARY, textBuffer);
    return TRUE;
}

INT_PTR CALLBACK ConfirmationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return OnConfirmationInit(page);
    if (message == WM_COMMAND && wParam == IDC_NEXT) {
        GoToNextPage(page);
        return TRUE;
    }
    return HandleFrameMessage(page, message, wParam);
}
