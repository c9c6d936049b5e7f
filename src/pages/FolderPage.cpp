#include "pages/Pages.h"

#include "resources/resource.h"
#include "shell/PageFrame.h"

INT_PTR CALLBACK FolderPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitPageFrame(page, "■インストール先の設定", "インストール先、バージョンアップ元のフォルダを選択します。");
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
