// The installation run as the setup program makes it after its pages, in a process that the
// crash test stops dead at one of its file-changing calls: the call numbered KILL_AT (from 1)
// is cut short (a write or copy does half of its bytes) and the process is terminated at once,
// with no clean-up, as a power cut or a forced shutdown would stop it. KILL_AT 0 runs to the
// end. The seam lives here, in the test program's own import table; the product is untouched.
//   kx_killable_install KILL_AT REPORT_PATH TEMP_FOLDER
// It sits beside "kx.pac", reads the install record as the welcome page does, answers every
// question No, and writes "calls=N result=R" to REPORT_PATH. Exit codes: 0 installed, 1 the
// run failed, 4 a box other than a question, kKilled terminated at the kill point.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "ImportPatch.h"
#include "install/Installation.h"
#include "install/PackageReader.h"
#include "pages/WelcomeLogic.h"
#include "shell/SetupInfo.h"
#include "shell/WizardState.h"

namespace {

const UINT kKilled = 99;
const UINT kUnexpectedBox = 4;
long killAt = 0;
long fileCalls = 0;

template <typename Call>
Call Real(const char* name) {
    return SystemFunction<Call>("kernel32.dll", name);
}

// Counts one file-changing call; true when it is the one to be cut.
bool IsKillPoint() {
    return ++fileCalls == killAt;
}

void Die() {
    TerminateProcess(GetCurrentProcess(), kKilled);
}

HANDLE WINAPI KillableCreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE model) {
    bool changes = disposition != OPEN_EXISTING || (access & (GENERIC_WRITE | FILE_WRITE_DATA)) != 0;
    if (changes && IsKillPoint()) Die();
    return Real<decltype(&CreateFileA)>("CreateFileA")(path, access, share, security, disposition, flags, model);
}

BOOL WINAPI KillableWriteFile(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    auto write = Real<decltype(&WriteFile)>("WriteFile");
    if (IsKillPoint()) {
        write(file, bytes, count / 2, written, overlapped);
        Die();
    }
    return write(file, bytes, count, written, overlapped);
}

// A copy cut short: the target holds the first half of the source.
BOOL WINAPI KillableCopyFileA(LPCSTR source, LPCSTR target, BOOL failIfExists) {
    if (IsKillPoint()) {
        HANDLE from = Real<decltype(&CreateFileA)>("CreateFileA")(source, GENERIC_READ, FILE_SHARE_READ, NULL,
                                                                  OPEN_EXISTING, 0, NULL);
        HANDLE to = Real<decltype(&CreateFileA)>("CreateFileA")(target, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        static char half[1 << 20];
        DWORD size = GetFileSize(from, NULL) / 2, got = 0, put = 0;
        while (size > 0 && ReadFile(from, half, size < sizeof half ? size : sizeof half, &got, NULL) && got > 0) {
            Real<decltype(&WriteFile)>("WriteFile")(to, half, got, &put, NULL);
            size -= got;
        }
        Die();
    }
    return Real<decltype(&CopyFileA)>("CopyFileA")(source, target, failIfExists);
}

BOOL WINAPI KillableMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    if (IsKillPoint()) Die();
    return Real<decltype(&MoveFileExA)>("MoveFileExA")(from, to, flags);
}

BOOL WINAPI KillableMoveFileA(LPCSTR from, LPCSTR to) {
    if (IsKillPoint()) Die();
    return Real<decltype(&MoveFileA)>("MoveFileA")(from, to);
}

BOOL WINAPI KillableDeleteFileA(LPCSTR path) {
    if (IsKillPoint()) Die();
    return Real<decltype(&DeleteFileA)>("DeleteFileA")(path);
}

BOOL WINAPI KillableFlushFileBuffers(HANDLE file) {
    if (IsKillPoint()) Die();
    return Real<decltype(&FlushFileBuffers)>("FlushFileBuffers")(file);
}

BOOL WINAPI KillableSetFileAttributesA(LPCSTR path, DWORD attributes) {
    if (IsKillPoint()) Die();
    return Real<decltype(&SetFileAttributesA)>("SetFileAttributesA")(path, attributes);
}

BOOL WINAPI KillableSetFileTime(HANDLE file, const FILETIME* created, const FILETIME* accessed,
                                const FILETIME* written) {
    if (IsKillPoint()) Die();
    return Real<decltype(&SetFileTime)>("SetFileTime")(file, created, accessed, written);
}

// A rename or a deletion through a handle.
BOOL WINAPI KillableSetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information,
                                               DWORD size) {
    if (IsKillPoint()) Die();
    return Real<decltype(&SetFileInformationByHandle)>("SetFileInformationByHandle")(file, kind, information, size);
}

BOOL WINAPI KillableCreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
    if (IsKillPoint()) Die();
    return Real<decltype(&CreateDirectoryA)>("CreateDirectoryA")(path, security);
}

// A box other than a question means the run went wrong: what it says, and the error behind it,
// go to the test's output before the box is shown.
int WINAPI ReportedMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    DWORD error = GetLastError();
    if ((type & MB_TYPEMASK) != MB_YESNO)
        std::fprintf(stderr, "kx_killable_install: box \"%s\": \"%s\" (last error %lu, %ld file calls)\n", caption,
                     text, error, fileCalls);
    SetLastError(error);
    return SystemFunction<decltype(&MessageBoxA)>("user32.dll", "MessageBoxA")(owner, text, caption, type);
}

// Questions are answered No, as their text advises; any other box means the run went wrong. Wine
// may also call the hook for the activation of another process's window: a box of a test that
// runs beside this one is none of this run's business.
bool IsOwnWindow(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && IsOwnWindow(reinterpret_cast<HWND>(wParam))) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char className[16];
        if (GetClassNameA(box, className, sizeof className) > 0 && lstrcmpA(className, "#32770") == 0) {
            if (GetDlgItem(box, IDNO) != NULL) {
                PostMessageA(box, WM_COMMAND, IDNO, 0);
            } else {
                char caption[256], text[1024];
                if (GetWindowTextA(box, caption, sizeof caption) == 0) caption[0] = '\0';
                if (GetDlgItemTextA(box, 0xFFFF, text, sizeof text) == 0) text[0] = '\0';
                std::fprintf(stderr, "kx_killable_install: a message box was shown: caption \"%s\", text \"%s\"\n",
                             caption, text);
                ExitProcess(kUnexpectedBox);
            }
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

struct Patch {
    const char* name;
    void* replacement;
};

const Patch kPatches[] = {
    {"CreateFileA", reinterpret_cast<void*>(KillableCreateFileA)},
    {"WriteFile", reinterpret_cast<void*>(KillableWriteFile)},
    {"CopyFileA", reinterpret_cast<void*>(KillableCopyFileA)},
    {"MoveFileExA", reinterpret_cast<void*>(KillableMoveFileExA)},
    {"MoveFileA", reinterpret_cast<void*>(KillableMoveFileA)},
    {"DeleteFileA", reinterpret_cast<void*>(KillableDeleteFileA)},
    {"FlushFileBuffers", reinterpret_cast<void*>(KillableFlushFileBuffers)},
    {"SetFileAttributesA", reinterpret_cast<void*>(KillableSetFileAttributesA)},
    {"SetFileTime", reinterpret_cast<void*>(KillableSetFileTime)},
    {"CreateDirectoryA", reinterpret_cast<void*>(KillableCreateDirectoryA)},
    {"SetFileInformationByHandle", reinterpret_cast<void*>(KillableSetFileInformationByHandle)},
};

// The test tells a launch that never reached this program's code from one that did: the event
// named in KX_STARTED_EVENT is set first thing.
void SayStarted() {
    char name[128];
    DWORD length = GetEnvironmentVariableA("KX_STARTED_EVENT", name, sizeof name);
    if (length == 0 || length >= sizeof name) return;
    HANDLE started = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    if (started == NULL) return;
    SetEvent(started);
    CloseHandle(started);
}

int RunCounted() {
    ImportPatch* patches[sizeof kPatches / sizeof kPatches[0]];
    for (size_t i = 0; i < sizeof kPatches / sizeof kPatches[0]; ++i)
        patches[i] = new ImportPatch("kernel32.dll", kPatches[i].name, kPatches[i].replacement);
    ImportPatch boxes("user32.dll", "MessageBoxA", reinterpret_cast<void*>(ReportedMessageBoxA));
    PackageReader* reader = new PackageReader();
    int result = RunInstallation(reader);
    delete reader;
    for (ImportPatch* patch : patches)
        delete patch;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    SayStarted();
    if (argc != 4) {
        std::fputs("usage: kx_killable_install KILL_AT REPORT_PATH TEMP_FOLDER\n", stderr);
        return 2;
    }
    killAt = std::atol(argv[1]);
    SetEnvironmentVariableA("TMP", argv[3]);
    SetEnvironmentVariableA("TEMP", argv[3]);
    setupInfo = new SetupInfo();
    ReadPreviousInstallation();
    dataBesideProgram = 0;
    desktopShortcut = 0;
    startMenuShortcut = 0;
    HHOOK hook = SetWindowsHookExA(WH_CBT, AnswerBoxes, NULL, GetCurrentThreadId());
    int result = RunCounted();
    if (hook != NULL) UnhookWindowsHookEx(hook);
    if (FILE* report = std::fopen(argv[2], "w")) {
        std::fprintf(report, "calls=%ld result=%d\n", fileCalls, result);
        std::fclose(report);
    }
    delete setupInfo;
    return result == 0 ? 0 : 1;
}
