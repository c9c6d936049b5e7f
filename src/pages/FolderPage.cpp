// Page 1: the user types or browses for the install folder; Next checks it, and a folder that
// holds the application makes the run a version-up.
#include "pages/Pages.h"

#include <shlobj.h>

#include "pages/FolderCheck.h"
#include "resources/resource.h"
#include "shell/PageFrame.h"
#include "shell/WizardState.h"
#include "util/Message.h"
#include "util/PathUtil.h"

namespace {
const int kFolderFieldLimit = 190;
}

// The field's text into textBuffer. false when it is no path at all (260 bytes or more): Wine
// limits the field in characters, so a Japanese name may hold more bytes than the limit says.
static bool ReadFolderField(HWND page) {
    GetDlgItemTextA(page, IDC_FOLDER_EDIT, textBuffer, kTextBufferBytes);
    return lstrlenA(textBuffer) < static_cast<int>(kMaxPathBytes);
}

static bool StoreFolderField(HWND page) {
    return ReadFolderField(page) && CopyBounded(installFolder, sizeof installFolder, textBuffer);
}

// The shell's folder browser, starting at the Desktop; only file-system folders can be chosen.
static int BrowseForFolder() {
    char path[MAX_PATH] = "";
    BROWSEINFOA browse;
    ZeroMemory(&browse, sizeof browse);
    browse.hwndOwner = currentPageWindow;
    browse.pszDisplayName = path;
    browse.lpszTitle = "フォルダの選択";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST items = SHBrowseForFolderA(&browse);
    if (items == NULL) return 0;
    if (SHGetPathFromIDListA(items, path)) SetDlgItemTextA(currentPageWindow, IDC_FOLDER_EDIT, path);
    CoTaskMemFree(items);
    return 1;
}

static INT_PTR OnFolderInit(HWND page) {
    InitPageFrame(page, "■インストール先の設定", "インストール先、バージョンアップ元のフォルダを選択します。");
    SendDlgItemMessageA(page, IDC_FOLDER_EDIT, EM_LIMITTEXT, kFolderFieldLimit, 0);
    SetDlgItemTextA(page, IDC_FOLDER_EDIT, installFolder);
    return TRUE;
}

static void OnFolderNext(HWND page) {
    if (!StoreFolderField(page)) {
        ShowWarning("フォルダ名が長すぎます。");
        return;
    }
    if (ValidateInstallFolder() != 0) return;
    // Every way forward starts the settings page from its defaults.
    dataBesideProgram = 0;
    desktopShortcut = 1;
    startMenuShortcut = 1;
    GoToNextPage(page);
}

// Also runs when the browser was cancelled, on whatever the field holds.
static void OnBrowse(HWND page) {
    BrowseForFolder();
    if (!ReadFolderField(page)) return;
    if (SuggestInstallSubfolder(textBuffer, kMaxPathBytes)) SetDlgItemTextA(page, IDC_FOLDER_EDIT, textBuffer);
}

// The typed folder is kept whichever way the page was left, Back and Cancel included.
static INT_PTR OnFolderDestroy(HWND page) {
    StoreFolderField(page);
    return TRUE;
}

INT_PTR CALLBACK FolderPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return OnFolderInit(page);
    if (message == WM_DESTROY) return OnFolderDestroy(page);
    if (message == WM_COMMAND && wParam == IDC_NEXT) {
        OnFolderNext(page);
        return TRUE;
    }
    if (message == WM_COMMAND && wParam == IDC_FOLDER_BROWSE) {
        OnBrowse(page);
        return TRUE;
    }
    return HandleFrameMessage(page, message, wParam);
}
