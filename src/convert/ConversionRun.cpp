#include "convert/ConversionRun.h"

#include <windows.h>

#include <cstdint>

#include "convert/CurrentLayout.h"
#include "convert/RecordTable.h"
#include "util/GlobalMemory.h"
#include "util/Message.h"
#include "util/PathUtil.h"
#include "util/StringPool.h"

namespace {
const char kAddressFile[] = "Korvex.ndb";
const char kBackupFile[] = "Korvex_Conv.bak";
const char kUserList[] = "KorvexUserList.dat";
const char kRepList[] = "KorvexRepList.dat";
const int32_t kPoolBlockSize = 2048;
const int32_t kLongestWholeLine = 1023;  // LoadTextFile splits longer lines into several entries
}  // namespace

// folder + name, or false when that does not fit in a path.
static bool JoinPath(const char* folder, const char* name, char* path) {
    return CopyBounded(path, kMaxPathBytes, folder) && AppendBounded(path, kMaxPathBytes, name);
}

// With a backup kept from earlier today, the address file may already have been converted
// and changed since: converting the backup again would throw those changes away.
static bool IsAlreadyCurrent(const char* addressPath) {
    RecordTable* table = new RecordTable();
    bool current = table->Load(addressPath) == kTableOk && table->FieldCount() >= kCurrentFieldCount;
    delete table;
    return current;
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
        current->ClearValues();
        for (int32_t i = 0; i < oldCount; ++i) {
            const char* text = old->GetFieldText(i, record);
            // A value too long for its new field is dropped whole: never cut short.
            if (map[i] != -1 && text != NULL) current->SetValue(map[i], text);
        }
        stored = current->StoreRecord() == 0;
    }
    FreeLocked(map);
    return stored;
}

// Reads the old data from the backup and writes the address file in the current layout.
// 1 done or already current; 0 shown, the address file untouched; -1 shown, writing it failed.
static int ConvertFromBackup(const char* addressPath, const char* backupPath) {
    RecordTable* old = new RecordTable();
    RecordTable* current = new RecordTable();
    int result = 1;
    if (old->Load(backupPath) != kTableOk) {
        result = 0;
    } else if (old->FieldCount() < kCurrentFieldCount) {
        BuildCurrentLayout(current);
        if (current->FieldCount() != kCurrentFieldCount || !CopyRecords(old, current))
            result = 0;
        else if (current->Save(addressPath) != kTableOk)
            result = -1;
    }
    delete current;
    delete old;
    // A save that failed is a failed conversion too: the installation stops, so the user is told.
    if (result != 1) ShowWarning("データコンバートに失敗しました。");
    return result;
}

int ConvertAddressFile(const char* folder, int refreshBackup) {
    char addressPath[kMaxPathBytes];
    char backupPath[kMaxPathBytes];
    // No file can be opened under a longer path, so there is nothing to convert.
    if (!JoinPath(folder, kAddressFile, addressPath) || !JoinPath(folder, kBackupFile, backupPath)) return 1;
    if (!FileExists(addressPath)) return 1;
    if (refreshBackup == 1 || !FileExists(backupPath)) {
        if (!CopyFileA(addressPath, backupPath, FALSE)) {
            ShowWarning("コンバート処理でファイルのバックアップに失敗しました。");
            return 0;
        }
    } else if (IsAlreadyCurrent(addressPath)) {
        return 1;
    }
    int result = ConvertFromBackup(addressPath, backupPath);
    if (result == -1) {
        // Only a failed save touched the address file: give it back its old bytes.
        CopyFileA(backupPath, addressPath, FALSE);
        return 0;
    }
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
    if (!FileExists(target)) CopyFileA(source, target, TRUE);
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

static int64_t FileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Writing the lines back must not change the others: a line broken up by the reader, or a
// lone CR or LF, would come back different, so such a file is left as it is.
static bool LinesGiveBackFile(StringPool* lines, const char* path) {
    int64_t size = 0;
    for (int32_t i = 0; i < lines->Count; ++i) {
        int32_t length = lines->Entry(i)->length;
        if (length > kLongestWholeLine) return false;
        size += length + 2;
    }
    int64_t actual = FileSize(path);
    return actual == size || actual == size - 2;
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
    if (ConvertAddressFile(folder, refreshBackup) == 0) return false;
    BackupNdpFiles(folder);
    CleanRepList(folder);
    return true;
}

static int ConvertUserFolders(const char* installFolder, StringPool* users, int refreshBackup) {
    for (int32_t i = 0; i < users->Count; ++i) {
        const char* line = users->Text(i);
        // An empty line would name the install folder again, and refresh its backup from the
        // file converted a moment ago.
        if (*line == '\0') continue;
        char folder[kMaxPathBytes];
        if (!JoinPath(installFolder, line, folder) || !AppendBounded(folder, sizeof folder, "\\")) continue;
        if (!ConvertDataFolder(folder, refreshBackup)) return 0;
    }
    return 1;
}

int ConvertUserData(const char* targetFolder, int refreshBackup) {
    char folder[kMaxPathBytes];
    // No data file can be named under a longer folder.
    if (!JoinPath(targetFolder, "\\", folder)) return 1;
    if (!ConvertDataFolder(folder, refreshBackup)) return 0;
    char listPath[kMaxPathBytes];
    if (!JoinPath(folder, kUserList, listPath)) return 1;
    StringPool* users = new StringPool(kPoolBlockSize);
    users->LoadTextFile(listPath);
    int result = ConvertUserFolders(folder, users, refreshBackup);
    delete users;
    return result;
}
