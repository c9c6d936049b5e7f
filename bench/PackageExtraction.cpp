// Extraction speed and memory of the package reader.
//   kx_bench_PackageExtraction            runs itself for a 16 MiB and a 256 MiB package
//   kx_bench_PackageExtraction MIB        one package of about MIB mebibytes in 500 members
// For each package: the time of the whole extract-then-copy pass (UnPackCopy into an empty
// folder), the time of a plain CopyFileA of the same bytes, and the process's peak working set.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ByteBuffer.h"
#include "PackageWriter.h"
#include "install/PackageReader.h"

static double Seconds(LARGE_INTEGER start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

static bool Write(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL) && written == bytes.size();
}

// The archive is written member by member through one buffer, so that the bench itself does
// not hold the package in memory.
static bool WriteArchive(const std::string& path, int members, uint32_t memberSize) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string head = "PC";
    kx::AppendU32(head, static_cast<uint32_t>(members));
    for (int i = 0; i < members; ++i)
        kx::AppendU32(head, memberSize);
    bool ok = Write(file, head);
    std::string chunk(1 << 16, 'k');
    for (int i = 0; ok && i < members; ++i) {
        kx::PackageMember member;
        member.subfolder = i % 2 ? "data" : "";
        member.name = "member" + std::to_string(i) + ".bin";
        member.fileTime = 0x01D5A1B2C3D4E5F6ULL;
        ok = Write(file, kx::EntryHeader(member));
        for (uint32_t left = memberSize; ok && left > 0;) {
            uint32_t part = left < chunk.size() ? left : static_cast<uint32_t>(chunk.size());
            ok = Write(file, chunk.substr(0, part));
            left -= part;
        }
    }
    CloseHandle(file);
    return ok;
}

static std::string TempPath(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name;
}

static void RemoveFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(folder + "\\" + name);
            else
                DeleteFileA((folder + "\\" + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

static int RunOne(int mebibytes) {
    const int members = 500;
    uint32_t memberSize = static_cast<uint32_t>((static_cast<uint64_t>(mebibytes) << 20) / members);
    std::string archive = TempPath("kx_bench.pa_");
    std::string copy = TempPath("kx_bench_copy.pa_");
    std::string target = TempPath("kx_bench_target");
    RemoveFolder(target);
    CreateDirectoryA(target.c_str(), NULL);
    if (!WriteArchive(archive, members, memberSize)) {
        std::fprintf(stderr, "cannot write %s\n", archive.c_str());
        return 1;
    }
    PROCESS_MEMORY_COUNTERS before;
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    PackageReader* reader = new PackageReader();
    int result = reader->UnPackCopy(archive.c_str(), target.c_str());
    delete reader;
    double extraction = Seconds(start);

    PROCESS_MEMORY_COUNTERS after;
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);

    QueryPerformanceCounter(&start);
    BOOL copied = CopyFileA(archive.c_str(), copy.c_str(), FALSE);
    double plainCopy = Seconds(start);

    double total = static_cast<double>(memberSize) * members / (1 << 20);
    std::printf(
        "%4d MiB in %d members (%u bytes each): UnPackCopy %s in %.2f s (%.0f MiB/s); "
        "CopyFileA %s in %.2f s (%.0f MiB/s); peak working set %.1f MiB before, %.1f MiB after\n",
        mebibytes, members, memberSize, result == 0 ? "ok" : "FAILED", extraction, total / extraction,
        copied ? "ok" : "FAILED", plainCopy, total / plainCopy, before.PeakWorkingSetSize / 1048576.0,
        after.PeakWorkingSetSize / 1048576.0);
    DeleteFileA(archive.c_str());
    DeleteFileA(copy.c_str());
    RemoveFolder(target);
    return result == 0 && copied ? 0 : 1;
}

// Each size in its own process: a peak working set never goes down.
static int RunChild(const char* self, int mebibytes) {
    std::string command = "\"" + std::string(self) + "\" " + std::to_string(mebibytes);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) return 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

int main(int argc, char** argv) {
    if (argc > 1) return RunOne(std::atoi(argv[1]));
    std::fflush(stdout);
    int failures = RunChild(argv[0], 16);
    failures += RunChild(argv[0], 256);
    return failures;
}
