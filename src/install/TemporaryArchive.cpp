#include "install/TemporaryArchive.h"

#include <sddl.h>

#include "util/FileHandle.h"
#include "util/FreshFile.h"
#include "util/HeldFile.h"

namespace {

const char kArchiveName[] = "kx.pa_";
const char kFolderPrefix[] = "kx-";
const int kFolderDigits = 16;
// A name is drawn again only when another folder has it: 64 random bits make that rare, and a
// folder that somebody keeps laying in the way must not hold the run up for ever.
const int kFolderAttempts = 16;
// Protected: nothing is inherited from the temporary folder, whose owner may grant anybody.
const char kAdministratorsOnly[] = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

bool RunsElevated() {
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {0};
    DWORD length = 0;
    bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &length) &&
                    elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

bool TemporaryFolder(char* folder) {
    DWORD length = GetTempPathA(kMaxPathBytes, folder);
    return length > 0 && length < kMaxPathBytes;
}

// The user's temporary folder, then the prefix and 16 random hexadecimal digits.
bool DrawFolderName(char* folder) {
    if (TemporaryFolder(folder) && AppendUnguessableName(folder, kMaxPathBytes, kFolderPrefix, "")) return true;
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
}

bool IsRunFolderName(const char* name) {
    if (lstrlenA(name) != static_cast<int>(sizeof kFolderPrefix - 1) + kFolderDigits ||
        CompareStringA(LOCALE_INVARIANT, 0, name, sizeof kFolderPrefix - 1, kFolderPrefix, -1) != CSTR_EQUAL)
        return false;
    for (const char* digit = name + sizeof kFolderPrefix - 1; *digit != '\0'; ++digit)
        if (!((*digit >= '0' && *digit <= '9') || (*digit >= 'a' && *digit <= 'f'))) return false;
    return true;
}

// A run folder that an earlier run left, once it is sure to be one: a plain folder under the run's
// kind of name, held so that nobody moves it meanwhile, holding nothing but maybe the archive that
// an earlier version left after a failure. A folder in use, or holding anything else, stays.
void RemoveLeftRunFolder(const char* folder) {
    FileHandle held(OpenPlainFolderForRemoval(folder));
    char archive[kMaxPathBytes];
    if (!held.IsOpen() || !JoinPath(archive, sizeof archive, folder, kArchiveName)) return;
    if (GetFileAttributesA(archive) != INVALID_FILE_ATTRIBUTES && !RemovePlainFilePatiently(archive)) return;
    DeleteThroughHandle(held.Get());
}

void RemoveFoldersOfEarlierRuns() {
    char folder[kMaxPathBytes];
    char pattern[kMaxPathBytes];
    if (!TemporaryFolder(folder) || !CopyBounded(pattern, sizeof pattern, folder) ||
        !AppendBounded(pattern, sizeof pattern, "kx-*"))
        return;
    size_t folderLength = lstrlenA(folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        folder[folderLength] = '\0';
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsRunFolderName(found.cFileName) &&
            AppendBounded(folder, sizeof folder, found.cFileName))
            RemoveLeftRunFolder(folder);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// CreateDirectory fails where any name stands, a link included: the folder is the run's own.
bool CreateNewFolder(char* folder) {
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, NULL, FALSE};
    if (RunsElevated() && !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                              kAdministratorsOnly, SDDL_REVISION_1, &attributes.lpSecurityDescriptor, NULL)) {
        return false;
    }
    bool created = false;
    for (int attempt = 0; attempt < kFolderAttempts && !created; ++attempt) {
        if (!DrawFolderName(folder)) break;
        created = CreateDirectoryA(folder, &attributes) != FALSE;
        if (!created && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    DWORD error = GetLastError();
    if (attributes.lpSecurityDescriptor != NULL) LocalFree(attributes.lpSecurityDescriptor);
    SetLastError(error);
    return created;
}

}  // namespace

TemporaryArchive::TemporaryArchive() : file_(INVALID_HANDLE_VALUE) {
    folder_[0] = '\0';
    path_[0] = '\0';
}

TemporaryArchive::~TemporaryArchive() {
    Remove();
}

bool TemporaryArchive::Create() {
    RemoveFoldersOfEarlierRuns();
    if (!CreateNewFolder(folder_)) {
        folder_[0] = '\0';
        return false;
    }
    if (!JoinPath(path_, sizeof path_, folder_, kArchiveName)) {
        RemoveDirectoryA(folder_);
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    // Readers may look (a scanner does); nobody may change or remove it while it is held. It goes
    // as the last handle closes, also when the run is killed.
    file_ = CreateFilePatiently(path_, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_DELETE_ON_CLOSE);
    if (file_ != INVALID_HANDLE_VALUE) return true;
    DWORD error = GetLastError();
    RemoveDirectoryA(folder_);
    SetLastError(error);
    return false;
}

HANDLE TemporaryArchive::ReaderHandle() const {
    HANDLE process = GetCurrentProcess();
    HANDLE reader = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(process, file_, process, &reader, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return INVALID_HANDLE_VALUE;
    return reader;
}

void TemporaryArchive::Remove() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    if (folder_[0] == '\0') return;
    // A scanner that still holds the deleted file keeps it, and the folder, for a moment.
    RetryWhileHeld(
        [&] {
            if (RemoveDirectoryA(folder_)) return true;
            if (GetLastError() == ERROR_DIR_NOT_EMPTY) SetLastError(ERROR_SHARING_VIOLATION);
            return false;
        },
        folder_);
    folder_[0] = '\0';
    path_[0] = '\0';
}
