#include "convert/ConversionRun.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "convert/CurrentLayout.h"
#include "convert/RecordTable.h"
#include "util/FileHandle.h"
#include "util/GlobalMemory.h"
#include "util/Message.h"
#include "util/PathUtil.h"
#include "util/StringPool.h"
#include "util/WholeFile.h"

namespace {
const char kAddressFile[] = "Korvex.ndb";
const char kBackupFile[] = "Korvex_Conv.bak";
const char kUserList[] = "KorvexUserList.dat";
const char kRepList[] = "KorvexRepList.dat";
const int32_t kPoolBlockSize = 2048;
const DWORD kChunkBytes = 1024;
}  // namespace

// folder + name, or false when that does not fit in a path.
static bool JoinPath(const char* folder, const char* name, char* path) {
    return CopyBounded(path, kMaxPathBytes, folder) && AppendBounded(path, kMaxPathBytes, name);
}

// Carries every live record over by field name; false when a record could not be stored.
static bool CopyRecords(RecordTable* old, RecordTable* current) {
    int32_t oldCount = old->FieldCount();
    int32_t* map = static_cast<int32_t*>(AllocateLocked((static_cast<size_t>(oldCount) + 1) * sizeof(int32_t)));
    if (map == NULL) return false;
    bool stored = true;
    for (int32_t i = 0; i < oldCount; ++i)
        map[i] = current->FindField(old->Field(i).name);
    for (int32_t record = 0; stored && record < old->RecordCount(); ++record) {
        int32_t length = 0;
        const char* image = old->RecordImage(record, &length);
        if (image == NULL || (static_cast<uint8_t>(image[0]) & kDeletedRecord) != 0) continue;
        stored = current->ClearValues() == kTableOk;
        for (int32_t i = 0; stored && i < oldCount; ++i) {
            const char* text = old->GetFieldText(i, record);
            // A value too long for its new field is dropped whole: never cut short.
            if (map[i] != -1 && text != NULL) stored = current->SetValue(map[i], text) != kNoMemory;
        }
        stored = stored && current->StoreRecord() == 0;
    }
    FreeLocked(map);
    return stored;
}

static void ShowConversionFailed() {
    ShowWarning("データコンバートに失敗しました。");
}

// Writes the address file in the current layout from the old data in table: 1 done or already
// current; 0 after the message, the address file as it was (a save is whole or nothing).
static int ConvertLoaded(RecordTable* old, const char* addressPath) {
    if (old->FieldCount() >= kCurrentFieldCount) return 1;
    RecordTable* current = new RecordTable();
    BuildCurrentLayout(current);
    bool saved = current->FieldCount() == kCurrentFieldCount && CopyRecords(old, current) &&
                 current->Save(addressPath) == kTableOk;
    delete current;
    // A save that failed is a failed conversion too: the installation stops, so the user is told.
    if (!saved) ShowConversionFailed();
    return saved ? 1 : 0;
}

// The backup is the only copy of the values that the conversion drops: it is replaced only by
// an address file that loads, and that loaded file is then the old data, byte for byte.
static int RefreshBackupAndConvert(RecordTable* old, const char* addressPath, const char* backupPath) {
    if (old->Load(addressPath) != kTableOk) {
        ShowConversionFailed();
        return 0;
    }
    if (!CopyFileWhole(addressPath, backupPath, true)) {
        ShowWarning("コンバート処理でファイルのバックアップに失敗しました。");
        return 0;
    }
    return ConvertLoaded(old, addressPath);
}

// With a backup kept from earlier today, the address file may already have been converted
// and changed since: converting the backup again would throw those changes away.
static int ConvertFromKeptBackup(RecordTable* old, const char* addressPath, const char* backupPath) {
    if (old->Load(addressPath) == kTableOk && old->FieldCount() >= kCurrentFieldCount) return 1;
    if (old->Load(backupPath) != kTableOk) {
        ShowConversionFailed();
        return 0;
    }
    return ConvertLoaded(old, addressPath);
}

int ConvertAddressFile(const char* folder, int refreshBackup) {
    char addressPath[kMaxPathBytes];
    char backupPath[kMaxPathBytes];
    // No file can be opened under a longer path, so there is nothing to convert.
    if (!JoinPath(folder, kAddressFile, addressPath) || !JoinPath(folder, kBackupFile, backupPath)) return 1;
    if (!FileExists(addressPath)) return 1;
    RecordTable* old = new RecordTable();
    int result = refreshBackup == 1 || !FileExists(backupPath) ? RefreshBackupAndConvert(old, addressPath, backupPath)
                                                               : ConvertFromKeptBackup(old, addressPath, backupPath);
    delete old;
    return result;
}

static bool HasNdpExtension(const char* name) {
    int length = lstrlenA(name);
    return length > 4 && lstrcmpiA(name + length - 4, ".ndp") == 0;
}

static void CopyNdpOnce(const char* folder, const char* name) {
    char source[kMaxPathBytes];
    char target[kMaxPathBytes];
    if (!JoinPath(folder, name, source) || !CopyBounded(target, sizeof target, source)) return;
    // x.ndp gives x.np2: the last three characters replaced.
    lstrcpyA(target + lstrlenA(target) - 3, "np2");
    if (!FileExists(target)) CopyFileWhole(source, target, false);
}

int BackupNdpFiles(const char* folder) {
    char pattern[kMaxPathBytes];
    if (!JoinPath(folder, "*.ndp", pattern)) return 1;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return 1;
    do {
        // The pattern also matches longer extensions through short names.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && HasNdpExtension(found.cFileName))
            CopyNdpOnce(folder, found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return 1;
}

// True when the line holds a single-byte "*"; the trail byte of a double-byte character
// may be 0x2A and is not one.
static bool HasAsterisk(const char* line, int32_t length) {
    for (int32_t i = 0; i < length; ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(line[i]))) {
            ++i;
            continue;
        }
        if (line[i] == '*') return true;
    }
    return false;
}

// True when the next count bytes of file are these bytes.
static bool FileContinuesWith(HANDLE file, const char* bytes, int32_t count) {
    char chunk[kChunkBytes];
    while (count > 0) {
        DWORD want = static_cast<DWORD>(count) < kChunkBytes ? static_cast<DWORD>(count) : kChunkBytes;
        DWORD got = 0;
        if (!ReadFile(file, chunk, want, &got, NULL) || got != want || memcmp(chunk, bytes, want) != 0) return false;
        bytes += want;
        count -= static_cast<int32_t>(want);
    }
    return true;
}

// True at the end of file; after the last line also when a CR LF is all that is left.
static bool FileEndsAfter(HANDLE file, bool lineEndLeft) {
    char rest[3];
    DWORD got = 0;
    if (!ReadFile(file, rest, sizeof rest, &got, NULL)) return false;
    return got == 0 || (lineEndLeft && got == 2 && rest[0] == '\r' && rest[1] == '\n');
}

// Writing the lines back must give the file's own bytes: a line broken up by the reader, or a
// lone CR or LF, would come back different, and such a file is left as it is. Only a last line
// without its CR LF gains one.
static bool LinesGiveBackFile(StringPool* lines, const char* path) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.IsOpen()) return false;
    for (int32_t i = 0; i + 1 < lines->Count; ++i) {
        if (!FileContinuesWith(file.Get(), lines->Text(i), lines->Entry(i)->length) ||
            !FileContinuesWith(file.Get(), "\r\n", 2))
            return false;
    }
    int32_t last = lines->Count - 1;
    if (last >= 0 && !FileContinuesWith(file.Get(), lines->Text(last), lines->Entry(last)->length)) return false;
    return FileEndsAfter(file.Get(), last >= 0);
}

int CleanRepList(const char* folder) {
    char path[kMaxPathBytes];
    if (!JoinPath(folder, kRepList, path)) return 1;
    StringPool* lines = new StringPool(kPoolBlockSize);
    if (lines->LoadTextFile(path) >= 0 && LinesGiveBackFile(lines, path)) {
        for (int32_t i = 0; i < lines->Count; ++i) {
            if (!HasAsterisk(lines->Text(i), lines->Entry(i)->length)) continue;
            lines->Remove(i);
            lines->SaveTextFile(path);
            break;
        }
    }
    delete lines;
    return 1;
}

// The data folder's three steps; false when its address file could not be converted.
static bool ConvertDataFolder(const char* folder, int refreshBackup) {
    RemoveLeftoverReplacement(folder);
    if (ConvertAddressFile(folder, refreshBackup) == 0) return false;
    BackupNdpFiles(folder);
    CleanRepList(folder);
    return true;
}

// A folder converted twice in one run would have its backup refreshed from the file converted
// a moment before, losing the only copy of the dropped values. Folders are told apart by their
// full paths without regard to case, so "." and ".\", an empty line or another spelling of a
// user folder name the same folder.
static bool ConvertDataFolderOnce(const char* folder, int refreshBackup, StringPool* done) {
    char fullPath[kMaxPathBytes];
    DWORD length = GetFullPathNameA(folder, sizeof fullPath, fullPath, NULL);
    if (length == 0 || length >= sizeof fullPath) return true;  // no file below it could be opened
    for (int32_t i = 0; i < done->Count; ++i) {
        if (lstrcmpiA(done->Text(i), fullPath) == 0) return true;
    }
    done->Append(fullPath, static_cast<int32_t>(length));
    return ConvertDataFolder(fullPath, refreshBackup);
}

static int ConvertUserFolders(const char* installFolder, StringPool* users, int refreshBackup, StringPool* done) {
    for (int32_t i = 0; i < users->Count; ++i) {
        char folder[kMaxPathBytes];
        if (!JoinPath(installFolder, users->Text(i), folder) || !AppendBounded(folder, sizeof folder, "\\")) continue;
        if (!ConvertDataFolderOnce(folder, refreshBackup, done)) return 0;
    }
    return 1;
}

int ConvertUserData(const char* targetFolder, int refreshBackup) {
    char folder[kMaxPathBytes];
    // No data file can be named under a longer folder.
    if (!JoinPath(targetFolder, "\\", folder)) return 1;
    StringPool* done = new StringPool(kPoolBlockSize);
    int result = ConvertDataFolderOnce(folder, refreshBackup, done) ? 1 : 0;
    char listPath[kMaxPathBytes];
    if (result == 1 && JoinPath(folder, kUserList, listPath)) {
        StringPool* users = new StringPool(kPoolBlockSize);
        users->LoadTextFile(listPath);
        result = ConvertUserFolders(folder, users, refreshBackup, done);
        delete users;
    }
    delete done;
    return result;
}
