#include "pages/Pages.h"

#include "resources/resource.h"
#include "shell/PageFrame.h"

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        InitPageFrame(page, "■各種設定", "ショートカット、保存先などの設定を行います。");
        return TRUE;
    }
    if (message == WM_COMMAND && wParam == IDC_NEXT) {
        GoToNextPage(page);
        return TRUE;
    }
    return HandleFrameMessage(page, message, wParam);
}
