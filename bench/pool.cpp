// How the string pool's costs grow with its size: appending N entries, storing every entry again
// with a longer text (so each moves to new space), and reading them back; short texts as in the
// lists, and records of about 1 KiB as in the address files. A cost per entry that grows with N
// is work that grows faster than the data.
//   kx_bench_pool [MAX_ENTRIES]      prints one table row per size and entry length
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>

#include "util/StringPool.h"

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

char record[2048];

struct PhaseTimes {
    double append, storeAgain, read;  // milliseconds
};

PhaseTimes RunPool(int32_t count, int entryBytes) {
    char text[64];
    StringPool* pool = new StringPool(2048);
    PhaseTimes times;
    double start = NowMs();
    for (int32_t i = 0; i < count; ++i) {
        int length = wsprintfA(text, "entry %d of the pool", i);
        pool->Append(entryBytes > length ? record : text, entryBytes > length ? entryBytes : length);
    }
    double appended = NowMs();
    for (int32_t i = 0; i < count; ++i) {
        int length = wsprintfA(text, "entry %d of the pool, stored again longer", i);
        pool->Put(i, entryBytes > length ? record : text, entryBytes > length ? entryBytes + 20 : length);
    }
    double restored = NowMs();
    size_t bytes = 0;
    for (int32_t i = 0; i < count; ++i)
        bytes += static_cast<size_t>(lstrlenA(pool->Text(i)));
    double read = NowMs();
    delete pool;
    if (bytes == 0) std::puts("(no text read back)");
    times.append = appended - start;
    times.storeAgain = restored - appended;
    times.read = read - restored;
    return times;
}

// Nanoseconds per entry of each phase, the best of three runs: other work on the machine only
// ever adds time.
void MeasurePool(int32_t count, int entryBytes) {
    PhaseTimes best = RunPool(count, entryBytes);
    for (int run = 1; run < 3; ++run) {
        PhaseTimes times = RunPool(count, entryBytes);
        if (times.append < best.append) best.append = times.append;
        if (times.storeAgain < best.storeAgain) best.storeAgain = times.storeAgain;
        if (times.read < best.read) best.read = times.read;
    }
    PROCESS_MEMORY_COUNTERS counters;
    ZeroMemory(&counters, sizeof counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    double perEntry = 1e6 / count;
    std::printf("| %d | %d | %.0f | %.0f | %.0f | %.1f |\n", count, entryBytes, best.append * perEntry,
                best.storeAgain * perEntry, best.read * perEntry,
                static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0);
}

}  // namespace

int main(int argc, char** argv) {
    long maxEntries = argc > 1 ? std::strtol(argv[1], NULL, 10) : 1000000;
    FillMemory(record, sizeof record, 'x');
    std::puts(
        "| entries | bytes each | append ns/entry | store again ns/entry | read ns/entry | peak working set MiB so far "
        "|");
    std::puts("| ---: | ---: | ---: | ---: | ---: | ---: |");
    for (long count = 1000; count <= maxEntries; count *= 10)
        MeasurePool(static_cast<int32_t>(count), 0);
    for (long count = 1000; count <= maxEntries && count <= 100000; count *= 10)
        MeasurePool(static_cast<int32_t>(count), 1000);
    return 0;
}
