#include "pages/Pages.h"

#include "resources/resource.h"
#include "shell/PageFrame.h"

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitPageFrame(page, "■各種設定", "ショートカット、保存先などの設定を行います。");
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
