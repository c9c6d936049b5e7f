#include "shell/Wizard.h"

#include "pages/Pages.h"
#include "resources/resource.h"
#include "shell/CursorSet.h"
#include "shell/PageFrame.h"
#include "shell/SetupInfo.h"
#include "shell/WizardState.h"
#include "util/SystemLibrary.h"

struct WizardPage {
    const char* templateName;
    DLGPROC procedure;
};

// The only place where page numbers meet templates: nextPage indexes it.
static const WizardPage kPages[] = {
    {"IDD_HAZIME", WelcomePageProc},    {"IDD_FOLDER", FolderPageProc},   {"IDD_SETUP", SettingsPageProc},
    {"IDD_SURE", ConfirmationPageProc}, {"IDD_LAST", CompletionPageProc},
};
static const int kPageCount = sizeof kPages / sizeof kPages[0];
static const int kCompletionPage = 4;

// The installed application holds the same name while it runs.
static const char kMutexName[] = "Quilmora";

static bool AnotherCopyRuns() {
    HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName);
    if (existing == NULL) return false;
    CloseHandle(existing);
    return true;
}

// Once released, another setup program or the application may start. The handle is closed too,
// so that the name disappears with it.
static void ReleaseInstanceMutex() {
    if (instanceMutex == NULL) return;
    ReleaseMutex(instanceMutex);
    CloseHandle(instanceMutex);
    instanceMutex = NULL;
}

// At the sizes the system gives for its DPI (16 and 32 pixels at 96 DPI), which the icon carries
// up to 200 %: the program is DPI-aware, so nothing stretches a smaller one for it.
static HICON LoadSetupIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), 0));
}

// Shows pages until one sets nextPage to a number that names none. A dialog that cannot be
// created would leave nextPage as it was and come back for ever: it ends the wizard instead.
static int ShowPages() {
    INT_PTR lastResult = 1;
    while (nextPage != -1) {
        if (nextPage < 0 || nextPage >= kPageCount) {
            nextPage = -1;
            break;
        }
        if (nextPage == kCompletionPage) ReleaseInstanceMutex();
        const WizardPage& page = kPages[nextPage];
        lastResult = DialogBoxParamA(appInstance, page.templateName, NULL, page.procedure, 0);
        if (lastResult == -1) {
            nextPage = -1;
            break;
        }
    }
    return static_cast<short>(lastResult);
}

static void ResetChoices() {
    nextPage = 0;
    installFolder[0] = '\0';
    desktopShortcut = 0;
    startMenuShortcut = 0;
}

static void TearDown() {
    delete cursorSet;
    cursorSet = NULL;
    delete setupInfo;
    setupInfo = NULL;
    FreeLibrary(richEditLibrary);
    richEditLibrary = NULL;
    ReleaseInstanceMutex();
}

int RunSetupProgram(HINSTANCE instance) {
    appInstance = instance;
    if (AnotherCopyRuns()) {
        MessageBoxA(NULL, "「Korvanto」または「セットアップ」が既に起動されています。", "Korvantoセットアップ",
                    MB_OK | MB_ICONWARNING);
        return 1;
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    instanceMutex = CreateMutexA(&inheritable, TRUE, kMutexName);
    // Every page's header is a rich-edit control, whose class this library registers.
    richEditLibrary = LoadSystemLibrary("RICHED32.DLL");
    if (richEditLibrary == NULL) {
        ReleaseInstanceMutex();
        MessageBoxA(NULL, "RICHED32.DLLが見つかりませんでした。", "エラー", MB_OK | MB_ICONWARNING);
        return 1;
    }
    setupInfo = new SetupInfo();
    cursorSet = new CursorSet();
    smallIcon = LoadSetupIcon(instance, SM_CXSMICON, SM_CYSMICON);
    largeIcon = LoadSetupIcon(instance, SM_CXICON, SM_CYICON);
    ResetChoices();
    int result = ShowPages();
    TearDown();
    return result;
}
