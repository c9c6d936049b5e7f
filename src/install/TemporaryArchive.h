// The inner archive of "kx.pac", written for one run as "kx.pa_" into a folder that the run makes
// new in the user's temporary folder. Any program of the user can write to that temporary folder
// and lay a link under a name it expects, and the setup program runs as administrator: so the
// folder's name cannot be known in advance, the folder is made only where nothing stands, and,
// running elevated, only administrators and the system may enter it. The file is created new in
// it and held, sharing neither writing nor deletion, from its first byte until the extraction
// has read its last: the bytes that were checked are the bytes that are installed.
//
// No run leaves it behind, as large as the package and, elevated, out of the user's reach: the
// file goes when the run lets go of it, whether the run succeeded, failed or was killed, and a
// failed run removes its folder too. The empty folder that a killed run leaves, and the folders
// with an archive that earlier versions left after a failure, go at the next run.
#pragma once
#include <windows.h>

#include "util/PathUtil.h"

class TemporaryArchive {
public:
    TemporaryArchive();
    // Removes the file and its folder.
    ~TemporaryArchive();

    // Removes what earlier runs left, then makes the folder and the file, held for reading and
    // writing. False, with the system's error, when either cannot be made.
    bool Create();
    HANDLE Handle() const { return file_; }
    // A second handle of the held file, at the same position, for the reader to own and close.
    // INVALID_HANDLE_VALUE when the system gives none.
    HANDLE ReaderHandle() const;
    const char* Path() const { return path_; }
    // Deletes the file as the run lets go of it (the reader's handle, too), and removes its folder.
    void Remove();

    TemporaryArchive(const TemporaryArchive&) = delete;
    TemporaryArchive& operator=(const TemporaryArchive&) = delete;

private:
    char folder_[kMaxPathBytes];
    char path_[kMaxPathBytes];
    HANDLE file_;
};
