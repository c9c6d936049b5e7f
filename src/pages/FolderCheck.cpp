#include "pages/FolderCheck.h"

#include <windows.h>

#include "shell/WizardState.h"
#include "util/Message.h"
#include "util/PathUtil.h"

namespace {
// Room for a folder of kInstallFolderBytes followed by "\korvex.exe" or "\*.*".
const size_t kProbeBytes = kInstallFolderBytes + 16;

enum EntrySearch { kNoEntry = 0, kSomeEntry = 1, kCannotSearch = -1 };
}  // namespace

static bool IsDotEntry(const char* name) {
    return lstrcmpA(name, ".") == 0 || lstrcmpA(name, "..") == 0;
}

// Looks for the first real entry of the folder; on kCannotSearch the thread's last error tells why.
static EntrySearch SearchFolder(const char* folder) {
    char pattern[kProbeBytes];
    if (!CopyBounded(pattern, sizeof pattern, folder)) return kCannotSearch;
    StripTrailingBackslash(pattern);
    if (!AppendBounded(pattern, sizeof pattern, "\\*.*")) return kCannotSearch;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return kCannotSearch;
    EntrySearch result = kNoEntry;
    do {
        if (!IsDotEntry(found.cFileName)) {
            result = kSomeEntry;
            break;
        }
    } while (FindNextFileA(search, &found));
    // FindClose may change the last error, which only matters when the search could not start.
    FindClose(search);
    return result;
}

int FolderHasEntries(const char* path) {
    return SearchFolder(path) == kSomeEntry ? 1 : 0;
}

static bool HoldsApplication(const char* folder) {
    char program[kProbeBytes];
    return CopyBounded(program, sizeof program, folder) && AppendBounded(program, sizeof program, "\\korvex.exe") &&
           FileExists(program);
}

// Only a full path from a drive letter names the same folder on every run: a UNC path, a
// relative path and a drive-relative one such as "D:Korvanto" are refused alike.
static bool IsPathFromDrive(const char* folder, int length) {
    if (length < 2 || folder[1] != ':') return false;
    return length == 2 || folder[2] == '\\';
}

static int WarnDeviceNotReady() {
    ShowWarning("デバイスの準備が出来ていません。");
    return -1;
}

int ValidateInstallFolder() {
    char folder[kInstallFolderBytes];
    lstrcpynA(folder, installFolder, sizeof folder);
    StripTrailingBackslash(folder);
    int length = lstrlenA(folder);
    if (length == 0) {
        ShowWarning("フォルダを選択して下さい。");
        return -1;
    }
    if (!IsPathFromDrive(folder, length)) {
        ShowWarning("ドライブからのパスでフォルダを選択して下さい。");
        return -1;
    }
    if (length == 2 && AskQuestion("ルートディレクトリが選択されました。よろしいですか？", "確認") != IDYES) return -1;
    versionUp = 0;
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES) {
        // A folder that does not exist yet is made by the installation.
        return GetLastError() == ERROR_NOT_READY ? WarnDeviceNotReady() : 0;
    }
    if (HoldsApplication(folder)) {
        versionUp = 1;
        return 0;
    }
    EntrySearch entries = SearchFolder(folder);
    if (entries == kCannotSearch) return GetLastError() == ERROR_NOT_READY ? WarnDeviceNotReady() : 0;
    if (entries == kNoEntry) return 0;
    int answer =
        AskQuestion("指定したフォルダには既にファイルが存在します。\nインストール先に指定してよろしいですか？", "確認");
    return answer == IDYES ? 0 : -1;
}

int SuggestInstallSubfolder(char* folderText, size_t folderSize) {
    char folder[kProbeBytes];
    if (!CopyBounded(folder, sizeof folder, folderText)) return 0;
    StripTrailingBackslash(folder);
    if (HoldsApplication(folder) || !FolderHasEntries(folder)) return 0;
    if (!AppendBounded(folder, sizeof folder, "\\Korvanto")) return 0;
    return CopyBounded(folderText, folderSize, folder) ? 1 : 0;
}
