#include "pages/Pages.h"

#include "resources/resource.h"
#include "shell/PageFrame.h"

INT_PTR CALLBACK FolderPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        InitPageFrame(page, "■インストール先の設定", "インストール先、バージョンアップ元のフォルダを選択します。");
        return TRUE;
    }
    if (message == WM_COMMAND && wParam == IDC_NEXT) {
        GoToNextPage(page);
        return TRUE;
    }
    return HandleFrameMessage(page, message, wParam);
}
