// Page 3: the summary of the choices, and Install, which runs the whole installation on this
// thread under the hourglass.
#include "pages/Pages.h"

#include "install/Installation.h"
#include "install/PackageReader.h"
#include "pages/ConfirmationSummary.h"
#include "resources/resource.h"
#include "shell/CursorSet.h"
#include "shell/PageFrame.h"
#include "shell/WizardState.h"

static INT_PTR OnConfirmationInit(HWND page) {
    InitPageFrame(page, "■インストール確認", "設定した内容の確認を行い、インストールを実行します。");
    BuildInstallSummary(textBuffer);
    SetDlgItemTextA(currentPageWindow, IDC_SUMMARY, textBuffer);
    return TRUE;
}

// Clicks and keys that arrived while the run held the thread were aimed at a page that was
// busy installing: once the run returns they must not press Install a second time.
static void DropQueuedInput() {
    MSG message;
    while (PeekMessageA(&message, NULL, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageA(&message, NULL, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}

// Each attempt gets a fresh reader; a failed run has shown its own message and the user may
// press Install again, go back or cancel.
static void OnInstall(HWND page) {
    PackageReader* reader = new PackageReader();
    cursorSet->Select(CursorSet::kHourglass);
    int result = RunInstallation(reader);
    DropQueuedInput();
    cursorSet->Select(CursorSet::kArrow);
    delete reader;
    if (result == 0) GoToNextPage(page);
}

INT_PTR CALLBACK ConfirmationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return OnConfirmationInit(page);
    if (message == WM_COMMAND && wParam == IDC_NEXT) {
        OnInstall(page);
        return TRUE;
    }
    return HandleFrameMessage(page, message, wParam);
}
