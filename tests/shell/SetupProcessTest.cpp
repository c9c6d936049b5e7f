// The real kx_setup.exe as a process of its own, watched and answered from outside as a user
// would: its windows are found by caption, their texts read and their buttons pressed.
#include <windows.h>

#include <gtest/gtest.h>

#include "PageScript.h"
#include "TempFolder.h"
#include "resources/resource.h"
#include "shell/Wizard.h"
#include "shell/WizardState.h"

namespace {

const DWORD kPatienceMs = 30000;

// Waits without letting the other process block on us: messages sent to this thread by other
// threads are handled, posted ones stay queued for their own loop.
void Pause() {
    MSG msg;
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    Sleep(20);
}

std::string ClassNameOf(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct WindowSearch {
    DWORD processId;
    std::string caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window) || ClassNameOf(window) != "#32770") return TRUE;
    if (WindowTextOf(window) != search->caption) return TRUE;
    search->found = window;
    return FALSE;
}

// The text of a message box: its static control that is not the icon.
std::string BoxText(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassNameOf(child) != "Static") continue;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        std::string text = WindowTextOf(child);
        if (!text.empty()) return text;
    }
    return "";
}

std::string SetupProgramPath() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string folder(path, length);
    folder = folder.substr(0, folder.rfind('\\'));  // build\win64\tests
    return folder.substr(0, folder.rfind('\\') + 1) + "kx_setup.exe";
}

class SetupProcess {
public:
    explicit SetupProcess(const std::string& program = SetupProgramPath()) {
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + program + "\"";
        started_ = CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                  &process_) != FALSE;
        EXPECT_TRUE(started_) << program;
    }
    ~SetupProcess() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    HWND WaitForWindow(const std::string& caption) {
        DWORD start = GetTickCount();
        while (started_ && GetTickCount() - start < kPatienceMs) {
            WindowSearch search = {process_.dwProcessId, caption, NULL};
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            if (search.found != NULL) return search.found;
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) break;
            Pause();
        }
        ADD_FAILURE() << "no window \"" << caption.size() << " bytes\" from kx_setup.exe";
        return NULL;
    }

    DWORD WaitForExit() {
        DWORD start = GetTickCount();
        while (started_ && GetTickCount() - start < kPatienceMs) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) {
                DWORD code = 0;
                GetExitCodeProcess(process_.hProcess, &code);
                return code;
            }
            Pause();
        }
        ADD_FAILURE() << "kx_setup.exe did not end";
        return 0xDEADu;
    }

    // Starts the wizard, checks its first page holds the mutex, cancels it with Yes.
    void CancelOnTheFirstPage() {
        HWND page = WaitForWindow("Korvantoセットアップ(1/4)");
        ASSERT_TRUE(page != NULL);
        EXPECT_TRUE(MutexExists("Quilmora"));
        PostClick(page, IDC_CANCEL_WIZARD);
        HWND box = WaitForWindow("確認");
        ASSERT_TRUE(box != NULL);
        EXPECT_EQ("処理を中止します。よろしいですか？", BoxText(box));
        PostClick(box, IDYES);
        EXPECT_EQ(1u, WaitForExit());
    }

private:
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
};

void PressOkOnBox(SetupProcess& setup, const char* caption, const char* text) {
    HWND box = setup.WaitForWindow(caption);
    ASSERT_TRUE(box != NULL);
    EXPECT_EQ(text, BoxText(box));
    EXPECT_TRUE(GetDlgItem(box, IDOK) != NULL);
    EXPECT_TRUE(GetDlgItem(box, IDYES) == NULL);
    EXPECT_TRUE(GetWindow(box, GW_OWNER) == NULL);
    PostClick(box, IDOK);
}

}  // namespace

TEST(SetupProcessTest, StartsOnTheWelcomePageAndEndsByCancel) {
    SetupProcess setup;
    setup.CancelOnTheFirstPage();
    EXPECT_FALSE(MutexExists("Quilmora"));
}

// The application holds the same mutex while it runs; here the test plays the application.
TEST(SetupProcessTest, SecondCopyIsRefusedWhileTheMutexIsHeld) {
    HANDLE application = CreateMutexA(NULL, TRUE, "Quilmora");
    ASSERT_TRUE(application != NULL);
    {
        SetupProcess setup;
        PressOkOnBox(setup, "Korvantoセットアップ", "「Korvanto」または「セットアップ」が既に起動されています。");
        EXPECT_EQ(1u, setup.WaitForExit());
    }
    ReleaseMutex(application);
    CloseHandle(application);
}

// A copy of the program under a name of its own, for which Wine is told to refuse the library.
TEST(SetupProcessTest, MissingRichEditLibraryIsReported) {
    TempFolder temp;
    std::string copy = temp.Path("kx_norich.exe");
    ASSERT_TRUE(CopyFileA(SetupProgramPath().c_str(), copy.c_str(), FALSE));
    const char kOverrides[] = "Software\\Wine\\AppDefaults\\kx_norich.exe\\DllOverrides";
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, kOverrides, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    RegSetValueExA(key, "riched32", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
    {
        SetupProcess setup(copy);
        PressOkOnBox(setup, "エラー", "RICHED32.DLLが見つかりませんでした。");
        EXPECT_EQ(1u, setup.WaitForExit());
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kOverrides);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\kx_norich.exe");
    EXPECT_FALSE(MutexExists("Quilmora"));
}

// While this process shows its completion page, the mutex is already gone: a second setup
// program starts and runs its own wizard.
TEST(SetupProcessTest, SecondCopyRunsWhileTheFirstShowsTheCompletionPage) {
    PageScript pages;
    pages.Then(PageScript::EndWith(4)).Then([](HWND page) {
        EXPECT_FALSE(MutexExists("Quilmora"));
        SetupProcess second;
        second.CancelOnTheFirstPage();
        PostClick(page, IDC_NEXT);
    });
    EXPECT_EQ(1, RunSetupProgram(GetModuleHandleA(NULL)));
    EXPECT_EQ(2u, pages.Count());
}
