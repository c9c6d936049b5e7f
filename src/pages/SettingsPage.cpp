// Page 2: keep the data beside the program, and the Desktop and Start-menu shortcuts. The page
// only records the choices; the installation acts on them.
#include "pages/Pages.h"

#include "pages/SettingsChoice.h"
#include "resources/resource.h"
#include "shell/PageFrame.h"
#include "shell/ShellFolders.h"
#include "shell/WizardState.h"
#include "util/PathUtil.h"

static void ReadProgramFilesPrefix(char* prefix, size_t prefixSize) {
    ShellFolder* programFiles = new ShellFolder();
    if (!CopyBounded(prefix, prefixSize, programFiles->Locate(5, ""))) prefix[0] = '\0';
    delete programFiles;
}

static INT_PTR OnSettingsInit(HWND page) {
    InitPageFrame(page, "■各種設定", "ショートカット、保存先などの設定を行います。");
    char prefix[kMaxPathBytes];
    ReadProgramFilesPrefix(prefix, sizeof prefix);
    if (LockedDataChoice(installFolder, prefix, &dataBesideProgram)) {
        EnableWindow(GetDlgItem(page, IDC_SETTINGS_DATA), FALSE);
        EnableWindow(GetDlgItem(page, IDC_SETTINGS_DATA_NOTE), FALSE);
    }
    CheckDlgButton(page, IDC_SETTINGS_DATA, dataBesideProgram ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_SETTINGS_DESKTOP, desktopShortcut ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_SETTINGS_START_MENU, startMenuShortcut ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

// A disabled box still reports its state, so a forced choice is stored as forced.
static INT_PTR OnSettingsDestroy(HWND page) {
    dataBesideProgram = IsDlgButtonChecked(page, IDC_SETTINGS_DATA) == BST_CHECKED ? 1 : 0;
    desktopShortcut = IsDlgButtonChecked(page, IDC_SETTINGS_DESKTOP) == BST_CHECKED ? 1 : 0;
    startMenuShortcut = IsDlgButtonChecked(page, IDC_SETTINGS_START_MENU) == BST_CHECKED ? 1 : 0;
    return TRUE;
}

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return OnSettingsInit(page);
    if (message == WM_DESTROY) return OnSettingsDestroy(page);
    if (message == WM_COMMAND && wParam == IDC_NEXT) {
        GoToNextPage(page);
        return TRUE;
    }
    return HandleFrameMessage(page, message, wParam);
}
