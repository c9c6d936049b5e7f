#include "pages/Pages.h"

#include "resources/resource.h"
#include "shell/PageFrame.h"

INT_PTR CALLBACK ConfirmationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitPageFrame(page, "■インストール確認", "設定した内容の確認を行い、インストールを実行します。");
            return TRUE;
        case WM_COMMAND:
            if (wParam == IDC_NEXT) {
                GoToNextPage(page);
            } else {
                HandleFrameCommand(page, wParam);
            }
            return TRUE;
        case WM_CLOSE:
            ConfirmCancel();
            return TRUE;
    }
    return FALSE;
}
