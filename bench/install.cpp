// The installation run without the wizard: the choices of the settings page preset (data apart
// from the program, no shortcuts), "kx.pac" beside this program, one RunInstallation into the
// folder given. Prints "result=R run_ms=T peak_kib=P": the run's own time and the process's
// peak working set. Any message box means the run did not go as the benchmark expects (a
// question or a failure): its text is printed and the program ends with 4 instead of waiting.
//   kx_bench_install INSTALL_FOLDER
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "install/Installation.h"
#include "install/PackageReader.h"
#include "shell/SetupInfo.h"
#include "shell/WizardState.h"
#include "util/PathUtil.h"

namespace {

const int kMessageBoxShown = 4;

LRESULT CALLBACK RefuseMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[16];
        if (GetClassNameA(window, className, sizeof className) > 0 && lstrcmpA(className, "#32770") == 0) {
            char text[1024];
            if (GetDlgItemTextA(window, 0xFFFF, text, sizeof text) == 0) text[0] = '\0';
            std::fprintf(stderr, "kx_bench_install: a message box was shown: %s\n", text);
            ExitProcess(kMessageBoxShown);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

void PresetWizardChoices() {
    dataBesideProgram = 0;
    desktopShortcut = 0;
    startMenuShortcut = 0;
    ZeroMemory(&previousInstallDate, sizeof previousInstallDate);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !CopyBounded(installFolder, sizeof installFolder, argv[1])) {
        std::fputs("usage: kx_bench_install INSTALL_FOLDER\n", stderr);
        return 2;
    }
    PresetWizardChoices();
    setupInfo = new SetupInfo();
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseMessageBoxes, NULL, GetCurrentThreadId());

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PackageReader* reader = new PackageReader();
    int result = RunInstallation(reader);
    delete reader;
    QueryPerformanceCounter(&end);

    PROCESS_MEMORY_COUNTERS counters;
    ZeroMemory(&counters, sizeof counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    double runMs =
        1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("result=%d run_ms=%.1f peak_kib=%llu\n", result, runMs,
                static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024));
    std::fflush(stdout);
    if (hook != NULL) UnhookWindowsHookEx(hook);
    delete setupInfo;
    setupInfo = NULL;
    return result == 0 ? 0 : 1;
}
