#include "pages/Pages.h"

#include "resources/resource.h"
#include "shell/PageFrame.h"

INT_PTR CALLBACK ConfirmationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        InitPageFrame(page, "■インストール確認", "設定した内容の確認を行い、インストールを実行します。");
        return TRUE;
    }
    if (message == WM_COMMAND && wParam == IDC_NEXT) {
        GoToNextPage(page);
        return TRUE;
    }
    return HandleFrameMessage(page, message, wParam);
}
