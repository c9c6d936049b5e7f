#include "install/FileVersion.h"

#include <windows.h>

#include "util/FileHandle.h"

// The fixed file information is the image stored in the file's version resource.
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "the fixed file information is stored as 52 bytes");

uint32_t PackedFileVersion(const char* path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return 0;
    HANDLE heap = GetProcessHeap();
    void* block = HeapAlloc(heap, HEAP_ZERO_MEMORY, size + 5);
    if (block == NULL) return 0;
    uint32_t code = 0;
    VS_FIXEDFILEINFO* info = NULL;
    UINT infoLength = 0;
    // A resource without fixed file information, or with a short one, counts as no version.
    if (GetFileVersionInfoA(path, 0, size, block) &&
        VerQueryValueA(block, "\\", reinterpret_cast<void**>(&info), &infoLength) && info != NULL &&
        infoLength >= sizeof *info) {
        code = (HIWORD(info->dwFileVersionMS) & 0xFF) << 24 | (LOWORD(info->dwFileVersionMS) & 0xFF) << 16 |
               (HIWORD(info->dwFileVersionLS) & 0xFF) << 8 | (LOWORD(info->dwFileVersionLS) & 0xFF);
    }
    HeapFree(heap, 0, block);
    return code;
}

static uint64_t LastWriteTimeOrZero(const char* path) {
    FileHandle file(CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    FILETIME written;
    if (!file.IsOpen() || !GetFileTime(file.Get(), NULL, NULL, &written)) return 0;
    return static_cast<uint64_t>(written.dwHighDateTime) << 32 | written.dwLowDateTime;
}

int CompareFileTimes(const char* firstPath, const char* secondPath) {
    uint64_t first = LastWriteTimeOrZero(firstPath);
    uint64_t second = LastWriteTimeOrZero(secondPath);
    if (first > second) return -1;
    if (first < second) return 1;
    return 0;
}
