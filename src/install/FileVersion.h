// What the versioned copy compares between a package's file and the installed one.
#pragma once
#include <windows.h>

#include <cstdint>

// The file version of the file's version resource, one byte per part (the low 8 bits of
// each), major on top; 0 when the file has no readable version resource.
uint32_t PackedFileVersion(const char* path);

// The same for a file open for reading, read through its handle alone (from the image, as the
// version service finds it).
uint32_t PackedFileVersionOf(HANDLE file);

// -1 when the first file's last-write time is later, 1 when it is earlier, 0 when equal. A file
// that cannot be opened without sharing, or whose time cannot be read, counts as time 0.
int CompareFileTimes(const char* firstPath, const char* secondPath);

// The file's last-write time as a Windows file time, read through an unshared open; 0 when the
// file cannot be opened so or its time cannot be read.
uint64_t UnsharedLastWriteTime(const char* path);

// The last-write time of an open file; 0 when it cannot be read.
uint64_t LastWriteTimeOf(HANDLE file);
