// What a file held by another program costs the run: a rename over the file while a second
// thread holds it as a scanner does (reading, sharing reading and writing but not deletion) for
// a given time, and while it never lets go. Also the cost of the waiting calls when nothing is
// held, beside the system's own calls.
//   kx_bench_held_file FOLDER
// prints one line per measurement. Asserts nothing.
#include <windows.h>

#include <cstdio>
#include <string>

#include "util/HeldFile.h"

namespace {

struct Hold {
    std::string path;
    DWORD holdMs;
    HANDLE opened;
};

DWORD WINAPI HoldFile(void* argument) {
    Hold* hold = static_cast<Hold*>(argument);
    HANDLE file =
        CreateFileA(hold->path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    SetEvent(hold->opened);
    Sleep(hold->holdMs);
    CloseHandle(file);
    return 0;
}

double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void WriteFileBytes(const std::string& path, const char* text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written = 0;
    WriteFile(file, text, lstrlenA(text), &written, NULL);
    CloseHandle(file);
}

// A rename over target, held from just before it for holdMs: the time until the rename is done
// or has failed.
void MeasureHeldRename(const std::string& folder, DWORD holdMs) {
    std::string source = folder + "\\new.bin", target = folder + "\\held.bin";
    WriteFileBytes(source, "new");
    WriteFileBytes(target, "old");
    Hold hold = {target, holdMs, CreateEventA(NULL, TRUE, FALSE, NULL)};
    HANDLE holder = CreateThread(NULL, 0, HoldFile, &hold, 0, NULL);
    WaitForSingleObject(hold.opened, INFINITE);
    double start = NowMs();
    BOOL moved = MoveFilePatiently(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
    double took = NowMs() - start;
    DWORD error = moved ? 0 : GetLastError();
    if (holdMs == INFINITE) TerminateThread(holder, 0);  // the bench ends here; the handle goes with it
    WaitForSingleObject(holder, holdMs == INFINITE ? 0 : INFINITE);
    CloseHandle(holder);
    CloseHandle(hold.opened);
    if (holdMs == INFINITE)
        std::printf("held_ms=never rename=%s error=%lu after_ms=%.1f\n", moved ? "done" : "failed", error, took);
    else
        std::printf("held_ms=%lu rename=%s after_ms=%.1f late_ms=%.1f\n", holdMs, moved ? "done" : "failed", took,
                    took - holdMs);
}

// Renames a file back and forth count times: the time per rename, with the system's call or with
// the waiting one.
double RenameMicroseconds(const std::string& a, const std::string& b, int count, bool waiting) {
    double start = NowMs();
    for (int i = 0; i < count; ++i) {
        if (waiting) {
            MoveFilePatiently(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING);
            MoveFilePatiently(b.c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING);
        } else {
            MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING);
            MoveFileExA(b.c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    return 500.0 * (NowMs() - start) / count;
}

// Rounds alternate between the two calls, so that a slow phase of the machine touches both; the
// fastest round of each stands.
void MeasureFreeRenames(const std::string& folder, int count, int rounds) {
    std::string a = folder + "\\a.bin", b = folder + "\\b.bin";
    WriteFileBytes(a, "a");
    double system = 1e9, waiting = 1e9;
    for (int round = 0; round < rounds; ++round) {
        double once = RenameMicroseconds(a, b, count, false);
        if (once < system) system = once;
        once = RenameMicroseconds(a, b, count, true);
        if (once < waiting) waiting = once;
    }
    std::printf("free renames=%d system_us=%.2f waiting_us=%.2f (per rename, fastest of %d rounds)\n", 2 * count,
                system, waiting, rounds);
    DeleteFileA(a.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: kx_bench_held_file FOLDER\n", stderr);
        return 2;
    }
    std::string folder = argv[1];
    CreateDirectoryA(folder.c_str(), NULL);
    MeasureFreeRenames(folder, 1000, 7);
    for (DWORD holdMs : {10u, 50u, 100u, 300u, 1000u, 2000u})
        MeasureHeldRename(folder, holdMs);
    MeasureHeldRename(folder, INFINITE);
    DeleteFileA((folder + "\\new.bin").c_str());
    return 0;
}
