#include "install/FileVersion.h"

#include <windows.h>

#include "install/CopyDecision.h"
#include "install/ImageVersion.h"
#include "util/FileHandle.h"

// The fixed file information is the image stored in the file's version resource.
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "the fixed file information is stored as 52 bytes");

// Every file that can carry a version resource (PE, NE and LE programs and libraries) begins
// with "MZ". Two bytes read spare the version service, which is slow to refuse other files.
static bool HasExecutableHeader(const char* path) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    char magic[2];
    DWORD got = 0;
    // A file that cannot be read here is left to the version service, as before.
    if (!file.IsOpen() || !ReadFile(file.Get(), magic, sizeof magic, &got, NULL)) return true;
    return got == sizeof magic && magic[0] == 'M' && magic[1] == 'Z';
}

uint32_t PackedFileVersion(const char* path) {
    if (!HasExecutableHeader(path)) return 0;
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
        code = PackVersionCode(info->dwFileVersionMS, info->dwFileVersionLS);
    }
    HeapFree(heap, 0, block);
    return code;
}

uint32_t PackedFileVersionOf(HANDLE file) {
    LARGE_INTEGER size;
    // An empty file cannot be mapped, and has no version.
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 2 || static_cast<uint64_t>(size.QuadPart) > SIZE_MAX) return 0;
    HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL);
    if (mapping == NULL) return 0;
    const unsigned char* image = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    uint32_t code = image != NULL ? ImageFileVersion(image, static_cast<size_t>(size.QuadPart)) : 0;
    if (image != NULL) UnmapViewOfFile(image);
    CloseHandle(mapping);
    return code;
}

uint64_t LastWriteTimeOf(HANDLE file) {
    FILETIME written;
    if (!GetFileTime(file, NULL, NULL, &written)) return 0;
    return static_cast<uint64_t>(written.dwHighDateTime) << 32 | written.dwLowDateTime;
}

uint64_t UnsharedLastWriteTime(const char* path) {
    FileHandle file(CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    return file.IsOpen() ? LastWriteTimeOf(file.Get()) : 0;
}

int CompareFileTimes(const char* firstPath, const char* secondPath) {
    uint64_t first = UnsharedLastWriteTime(firstPath);
    uint64_t second = UnsharedLastWriteTime(secondPath);
    if (first > second) return -1;
    if (first < second) return 1;
    return 0;
}
