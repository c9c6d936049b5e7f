// Page 0: greets the user with the package's version and quietly chooses the install folder
// that the folder page offers, from the previous installation when there was one.
#include "pages/Pages.h"

#include "pages/WelcomeLogic.h"
#include "resources/resource.h"
#include "shell/PageFrame.h"
#include "shell/SetupInfo.h"
#include "shell/ShellFolders.h"
#include "shell/WizardState.h"
#include "util/Message.h"
#include "util/PathUtil.h"

// A setup program started from an installed application's folder updates that folder,
// whatever the record says; with neither, the folder goes under Program Files.
static void ChooseDefaultFolder() {
    if (FileExists(setupInfo->PathBesideSetup("korvex.exe"))) {
        if (!CopyBounded(installFolder, sizeof installFolder, setupInfo->PathBesideSetup(""))) installFolder[0] = '\0';
        return;
    }
    if (installFolder[0] != '\0') return;
    ShellFolder* programFiles = new ShellFolder();
    if (!CopyBounded(installFolder, sizeof installFolder, programFiles->Locate(5, "Korvanto"))) installFolder[0] = '\0';
    delete programFiles;
}

static INT_PTR OnWelcomeInit(HWND page) {
    ReadPreviousInstallation();
    ChooseDefaultFolder();
    ReadPackageVersion();
    BuildWelcomeSubtitle(packageVersionText, textBuffer);
    InitPageFrame(page, "■『Korvantoセットアッププログラム』へようこそ！", textBuffer);
    return TRUE;
}

static void OnWelcomeNext(HWND page) {
    if (FileExists(setupInfo->PathBesideSetup("kx.pac"))) {
        GoToNextPage(page);
        return;
    }
    ShowWarning("kx.pacのファイルがありません。");
}

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return OnWelcomeInit(page);
    if (message == WM_COMMAND && wParam == IDC_NEXT) {
        OnWelcomeNext(page);
        return TRUE;
    }
    return HandleFrameMessage(page, message, wParam);
}
