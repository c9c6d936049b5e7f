// Path and file helpers shared by the pages, the package reader, the installation run and the
// conversion. Paths are Shift-JIS texts of at most kMaxPathBytes bytes with their terminator.
#pragma once
#include <cstddef>

const size_t kMaxPathBytes = 260;

// The first byte of the text's last character (stepping whole double-byte characters, so a
// trail byte 0x5C is never a backslash); the text itself when it is empty.
const char* LastChar(const char* text);
char* LastChar(char* text);

// The first byte after the path's last backslash (stepping whole characters): its file name.
const char* FileNameOf(const char* path);
char* FileNameOf(char* path);

// Removes one trailing backslash character, if the text ends in one.
void StripTrailingBackslash(char* path);

// Copies or appends src into dst of dstSize bytes (terminator included). When the result would
// not fit, nothing is changed and false is returned: a cut path names another file.
bool CopyBounded(char* dst, size_t dstSize, const char* src);
bool AppendBounded(char* dst, size_t dstSize, const char* src);

// out = folder, a backslash and name; false, with out unusable, when that does not fit in outSize.
bool JoinPath(char* out, size_t outSize, const char* folder, const char* name);

// Whether two paths name the same file as the file system compares names: exactly, blind to case
// (ordinal, not linguistic).
bool NamesMatch(const char* first, const char* second);

// 1 when the file exists, else 0.
int FileExists(const char* path);

// Shows the text of the thread's last system error with the given caption: error icon, OK,
// task-modal like every box of the run.
void ShowSystemError(const char* caption);

// Makes sure the folder "X:\a\b..." exists, creating it level by level. 1 when it exists or was
// made; 0 on failure, after a message except for a missing path without a drive. A missing
// "X:name", relative to the drive's current folder, is refused with a message.
int CreateFolderPath(const char* path);
