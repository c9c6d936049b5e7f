// Files that the run creates under names that another program of the user may have taken first:
// in the temporary folder, in a data folder that a user list names, in the record folder. A link
// laid under such a name must never be written through, nor the file that it points at deleted:
// on Windows deleting a link removes the link, but under Wine it removes the file it points at. So
// a name is only ever removed once the system has confirmed that it names a plain file right there.
#pragma once
#include <windows.h>

#include <cstddef>

// Removes the file under path if it is a plain file in its folder, waiting for a holder to let go;
// true, also when nothing is there. A folder, a link, or any name that leads elsewhere, stays:
// false, with ERROR_FILE_EXISTS; false too, with the system's error, when the file cannot be removed.
bool RemovePlainFilePatiently(const char* path);

// Opens the folder at path, with DELETE access and sharing no deletion (nobody moves or removes it
// meanwhile), when it is a plain folder in its parent: no link, no junction. INVALID_HANDLE_VALUE
// otherwise; the caller closes the handle.
HANDLE OpenPlainFolderForRemoval(const char* path);

// Deletes the open file, or empty folder, through its handle (opened with DELETE access): whatever
// name leads to it now, it goes when the last handle closes. False with the system's error.
bool DeleteThroughHandle(HANDLE file);

// Creates the file anew: a plain file under the name goes first, and the file is created where
// nothing stands (CREATE_NEW). Arguments and result as CreateFilePatiently; a folder or a link under
// the name makes it fail with ERROR_FILE_EXISTS.
HANDLE CreateFreshFilePatiently(const char* path, DWORD access, DWORD share, DWORD flags);

// Appends prefix, 16 random hexadecimal digits and suffix to path (of size bytes): a name that no
// other program can know in advance. False when it does not fit or the system gives no randomness.
bool AppendUnguessableName(char* path, size_t size, const char* prefix, const char* suffix);
