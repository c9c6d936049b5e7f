// Runs one program and reports its wall time and peak working set, so that every contender of
// the benchmark is measured the same way from outside:
//   kx_bench_launch TIMEOUT_SECONDS PROGRAM [ARGUMENTS...]
// prints "wall_ms=W peak_kib=P exit=E" on one line. The peak is a high-water mark that the system
// keeps only while the process lives, so it is read while waiting and the last reading stands.
// A program still running after the timeout (a question nobody answers) is ended: exit 3.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const DWORD kPollMilliseconds = 5;

// An argument with a space is quoted; others pass as they are, which keeps an installer's
// "/D=C:\folder" (read to the end of the line, quotes included) intact.
std::string JoinCommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) line += ' ';
        bool quote = std::strchr(argv[i], ' ') != NULL;
        if (quote) line += '"';
        line += argv[i];
        if (quote) line += '"';
    }
    return line;
}

SIZE_T PeakWorkingSet(HANDLE process, SIZE_T known) {
    PROCESS_MEMORY_COUNTERS counters;
    if (GetProcessMemoryInfo(process, &counters, sizeof counters) && counters.PeakWorkingSetSize > known) {
        return counters.PeakWorkingSetSize;
    }
    return known;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: kx_bench_launch TIMEOUT_SECONDS PROGRAM [ARGUMENTS...]\n", stderr);
        return 2;
    }
    DWORD timeoutMs = static_cast<DWORD>(std::strtoul(argv[1], NULL, 10)) * 1000;
    std::string commandLine = JoinCommandLine(argc - 2, argv + 2);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &child)) {
        std::fprintf(stderr, "kx_bench_launch: cannot start %s (error %lu)\n", argv[2], GetLastError());
        return 2;
    }
    SIZE_T peak = 0;
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (WaitForSingleObject(child.hProcess, kPollMilliseconds) == WAIT_TIMEOUT) {
        peak = PeakWorkingSet(child.hProcess, peak);
        if (timeoutMs > 0 && GetTickCount64() > deadline) {
            TerminateProcess(child.hProcess, 3);
            WaitForSingleObject(child.hProcess, INFINITE);
            std::fprintf(stderr, "kx_bench_launch: %s timed out\n", argv[2]);
            break;
        }
    }
    QueryPerformanceCounter(&end);
    DWORD exitCode = 0;
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    double wallMs =
        1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("wall_ms=%.1f peak_kib=%llu exit=%lu\n", wallMs, static_cast<unsigned long long>(peak / 1024),
                static_cast<unsigned long>(exitCode));
    return 0;
}
