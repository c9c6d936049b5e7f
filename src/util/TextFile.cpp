// Text files of Shift-JIS lines ended by CR LF, read into and written from a StringPool.
#include <windows.h>

#include "util/FileHandle.h"
#include "util/StringPool.h"
#include "util/WholeFile.h"

namespace {
const DWORD kChunkBytes = 1024;
const int32_t kLineBytes = 1024;  // a longer line is read as several entries
}  // namespace

// The handle calls, not OpenFile: OpenFile refuses paths of 128 bytes or more.
int StringPool::LoadTextFile(const char* path) {
    Reset();
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.IsOpen()) return -1;
    char chunk[kChunkBytes];
    char line[kLineBytes];
    int32_t lineLength = 0;
    int lineCount = 0;
    DWORD got = 0;
    do {
        if (!ReadFile(file.Get(), chunk, kChunkBytes, &got, NULL)) got = 0;
        for (DWORD i = 0; i < got; ++i) {
            char byte = chunk[i];
            if (byte == '\n') continue;
            if (byte != '\r') line[lineLength++] = byte;
            if (byte == '\r' || lineLength == kLineBytes) {
                if (!Append(line, lineLength)) return -2;
                ++lineCount;
                lineLength = 0;
            }
        }
    } while (got == kChunkBytes);
    // A last line without its CR is kept but not counted.
    if (lineLength > 0) Append(line, lineLength);
    return lineCount;
}

// Whole or not at all: a failed write leaves the file as it was, and callers can tell.
int StringPool::SaveTextFile(const char* path) {
    WholeFileWriter file(path);
    if (!file.IsOpen()) return -1;
    for (int32_t i = 0; i < Count; ++i) {
        StringEntry* entry = Entry(i);
        if (entry->length > 0 && !file.Write(entry->data, static_cast<DWORD>(entry->length))) return -1;
        if (!file.Write("\r\n", 2)) return -1;
    }
    return file.Commit() ? Count : -1;
}
