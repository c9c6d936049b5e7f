#include "install/PackageReader.h"

#include <cstring>

#include "util/DeviceName.h"
#include "util/FileHandle.h"
#include "util/FreshFile.h"
#include "util/HeldFile.h"
#include "util/Message.h"
#include "util/StringPool.h"

static const char kOpenFailed[] = "ファイルの読込に失敗しました。";
static const char kBadFile[] = "不正なファイルを読込ました。";
static const char kWrongFormat[] = "形式の異なるファイルを読み込みました。";
static const char kTooManyFiles[] = "ファイル数がオーバーしました。";
static const char kNameTooLong[] = "ファイル名が長すぎます。";
static const char kCannotCreate[] = "ファイルの書込に失敗しました。";
static const char kDataShort[] = "読込に失敗しました。";
static const char kInstallFailed[] = "インストールに失敗しました。";

PackageReader::PackageReader()
    : nextIndex(0),
      packageFile(INVALID_HANDLE_VALUE),
      memberCount(0),
      members(new StringPool(2048)),
      createdFolders(new StringPool(2048)) {
    ZeroMemory(memberSizes, sizeof memberSizes);
    for (HANDLE& file : temporaryFiles)
        file = INVALID_HANDLE_VALUE;
    ZeroMemory(temporaryOwner, sizeof temporaryOwner);
    baseFolder[0] = '\0';
    currentSubfolder[0] = '\0';
    tracePath[0] = '\0';
}

PackageReader::~PackageReader() {
    UnPackClose();
    delete members;
    delete createdFolders;
}

uint32_t PackageReader::ReadBlock(HANDLE file, void* buffer, uint32_t byteCount) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, byteCount, &got, NULL)) return 0;
    return got;
}

uint32_t PackageReader::WriteBlock(HANDLE file, const void* buffer, uint32_t byteCount, int reportFlag) {
    if (WriteAll(file, buffer, byteCount)) return byteCount;
    if (reportFlag == 1) ShowSystemError("インストール処理");
    return 0;
}

void PackageReader::WriteTrace(const char* text) {
    if (tracePath[0] == '\0') return;
    FileHandle trace(CreateFileA(tracePath, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!trace.IsOpen()) return;
    SetFilePointer(trace.Get(), 0, NULL, FILE_END);
    WriteBlock(trace.Get(), text, lstrlenA(text), 0);
    WriteBlock(trace.Get(), "\r\n", 2, 0);
}

int32_t PackageReader::RecordCount() const {
    return members->Count;
}

int PackageReader::RecordAt(int32_t index, MemberRecord* record) const {
    const StringEntry* entry = members->Entry(index);
    if (entry == NULL || entry->data == NULL || entry->length != static_cast<int32_t>(sizeof *record)) return 0;
    CopyMemory(record, entry->data, sizeof *record);
    return 1;
}

// baseFolder, then "subfolder\" when there is one, then prefix and the file name. 0 when the
// path would not fit: a cut path would name another file.
int PackageReader::MemberPath(const MemberRecord& record, const char* prefix, char* path, size_t pathSize) const {
    path[0] = '\0';
    if (!AppendBounded(path, pathSize, baseFolder)) return 0;
    if (record.subfolder[0] != '\0' &&
        (!AppendBounded(path, pathSize, record.subfolder) || !AppendBounded(path, pathSize, "\\")))
        return 0;
    return AppendBounded(path, pathSize, prefix) && AppendBounded(path, pathSize, record.fileName);
}

void PackageReader::UnPackClose() {
    nextIndex = 0;
    memberCount = 0;
    currentSubfolder[0] = '\0';
    ZeroMemory(memberSizes, sizeof memberSizes);
    if (packageFile != INVALID_HANDLE_VALUE) CloseHandle(packageFile);
    packageFile = INVALID_HANDLE_VALUE;
    // Through the handles only: a name is never deleted, so a link laid under one (under Wine,
    // deleting a link deletes what it points at) or a file that another program put there stays.
    for (int32_t i = 0; i < kMaxMembers; ++i)
        ReleaseTemporaryFile(i, true);
    ZeroMemory(temporaryOwner, sizeof temporaryOwner);
    baseFolder[0] = '\0';
    members->Reset();
}

// Shows the warning and gives the result of a failed operation.
static int Warn(const char* message) {
    ShowWarning(message);
    return -1;
}

static int Refuse(HANDLE* file, const char* message) {
    CloseHandle(*file);
    *file = INVALID_HANDLE_VALUE;
    return Warn(message);
}

int PackageReader::UnPackOpen(const char* archivePath, const char* targetFolder, HANDLE openArchive) {
    FileHandle given(openArchive);
    UnPackClose();
    createdFolders->Reset();
    ZeroMemory(memberSizes, sizeof memberSizes);
    if (!CopyBounded(baseFolder, sizeof baseFolder - 1, targetFolder)) {
        baseFolder[0] = '\0';
        ShowWarning(kNameTooLong);
        return -1;
    }
    if (*LastChar(baseFolder) != '\\') lstrcatA(baseFolder, "\\");
    // Just written, the archive is what a scanner opens first.
    HANDLE file = given.IsOpen()
                      ? given.Release()
                      : CreateFilePatiently(archivePath, GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE) {
        ShowSystemError("UpPackOpen");
        ShowWarning(kOpenFailed);
        return -1;
    }
    char magic[2];
    if (ReadBlock(file, magic, 2) != 2) return Refuse(&file, kBadFile);
    if (magic[0] != 'P' || magic[1] != 'C') return Refuse(&file, kWrongFormat);
    int32_t count = 0;
    if (ReadBlock(file, &count, 4) != 4) return Refuse(&file, kBadFile);
    if (count > kMaxMembers) return Refuse(&file, kTooManyFiles);
    // A negative count opens an archive with nothing to extract.
    uint32_t tableBytes = count > 0 ? static_cast<uint32_t>(count) * 4 : 0;
    if (tableBytes > 0 && ReadBlock(file, memberSizes, tableBytes) != tableBytes) return Refuse(&file, kBadFile);
    packageFile = file;
    nextIndex = 0;
    memberCount = count;
    return 0;
}

// A stored name may never lead outside the target folder: no drive or stream (":"), no root,
// no "/" separator, no empty, "." or ".." component, no device name (a copy to one installs
// nothing), and in a file name no "\" at all. A
// subfolder may nest with "\". Bytes are stepped by whole characters of the code page, so a
// trail byte 0x5C or 0x7C is part of its character.
static bool IsSafeName(const char* name, bool isSubfolder) {
    if (*name == '\0') return isSubfolder;
    const char* part = name;
    bool onlyDotsAndSpaces = true;
    for (const char* p = name;;) {
        BYTE c = static_cast<BYTE>(*p);
        if (c == '\0' || c == '\\') {
            if (p == part || onlyDotsAndSpaces || IsDeviceName(part, static_cast<size_t>(p - part))) return false;
            if (c == '\0') return true;
            if (!isSubfolder) return false;
            part = ++p;
            onlyDotsAndSpaces = true;
            continue;
        }
        if (IsDBCSLeadByte(c)) {
            if (p[1] == '\0') return false;
            p += 2;
            onlyDotsAndSpaces = false;
            continue;
        }
        if (c < 0x20 || std::strchr(":/*?\"<>|", c) != NULL) return false;
        if (c != '.' && c != ' ') onlyDotsAndSpaces = false;
        ++p;
    }
}

// A stored name of length bytes that must close with its zero byte.
static bool IsTerminated(const char* bytes, uint32_t length) {
    return length > 0 && bytes[length - 1] == '\0';
}

// The file time is read straight into the structure: it must be the stored 8 bytes on either
// pointer size.
static_assert(sizeof(FILETIME) == 8, "a stored file time is 8 bytes");

// The entry fields before the file name length, into fileTime and the record. 0, or -1 after
// a message when a field is cut off or out of its bounds.
int PackageReader::ReadEntryFields(FILETIME* fileTime, MemberRecord* record) {
    uint32_t reserved = 0, optionLength = 0, subfolderLength = 0;
    BYTE options[kMaxOptionLength];
    if (ReadBlock(packageFile, &reserved, 4) != 4 || ReadBlock(packageFile, fileTime, 8) != 8 ||
        ReadBlock(packageFile, &optionLength, 4) != 4)
        return Warn(kBadFile);
    if (optionLength < 3 || optionLength > kMaxOptionLength ||
        ReadBlock(packageFile, options, optionLength) != optionLength)
        return Warn(kBadFile);
    if (ReadBlock(packageFile, &subfolderLength, 4) != 4 || subfolderLength == 0 ||
        subfolderLength > sizeof record->subfolder ||
        ReadBlock(packageFile, record->subfolder, subfolderLength) != subfolderLength ||
        !IsTerminated(record->subfolder, subfolderLength) || !IsSafeName(record->subfolder, true))
        return Warn(kBadFile);
    record->optionLength = static_cast<int32_t>(optionLength);
    record->copyMode = static_cast<signed char>(options[0]);
    record->optionByte1 = static_cast<signed char>(options[1]);
    record->groupFlag = static_cast<signed char>(options[2]);
    return 0;
}

// Creates the folder and notes it when it was not there.
static void CreateFolder(const char* path, StringPool* created) {
    if (CreateDirectoryA(path, NULL)) created->Put(created->Count, path, lstrlenA(path));
}

// Creates every folder of path below its first skipBytes bytes, parents first. Whole characters
// are stepped, so a trail byte 0x5C is never taken for a backslash.
static void CreateLevelsBelow(char* path, size_t skipBytes, StringPool* created) {
    for (char* p = path + skipBytes; *p != '\0'; p = CharNextA(p)) {
        if (*p != '\\') continue;
        *p = '\0';
        CreateFolder(path, created);
        *p = '\\';
    }
    CreateFolder(path, created);
}

// Children first; a folder that something else has come into stays.
void PackageReader::RemoveCreatedFolders() {
    for (int32_t i = createdFolders->Count - 1; i >= 0; --i)
        RemoveDirectoryA(createdFolders->Text(i));
    createdFolders->Reset();
}

// The members of a packed folder come in path order, so "a\b\x" arrives before "a\y", and a
// folder may hold no member of its own: every level is made, not only the last. A failure to
// create shows when the member's file cannot be created in it.
void PackageReader::EnterSubfolder(const char* subfolder) {
    if (subfolder[0] == '\0' || lstrcmpiA(subfolder, currentSubfolder) == 0) return;
    char folder[kMaxPathBytes];
    if (CopyBounded(folder, sizeof folder, baseFolder) && AppendBounded(folder, sizeof folder, subfolder))
        CreateLevelsBelow(folder, lstrlenA(baseFolder), createdFolders);
    lstrcpyA(currentSubfolder, subfolder);
}

void PackageReader::ReleaseTemporaryFile(int32_t index, bool deleteIt) {
    HANDLE& file = temporaryFiles[index];
    if (file == INVALID_HANDLE_VALUE) return;
    if (deleteIt) DeleteThroughHandle(file);
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
}

// The earlier member whose held "_" file has the name outputPath; -1 when none has.
int32_t PackageReader::EarlierListingOf(const char* outputPath) const {
    MemberRecord record;
    char path[kMaxPathBytes];
    for (int32_t i = 0; i < nextIndex; ++i)
        if (temporaryFiles[i] != INVALID_HANDLE_VALUE && RecordAt(i, &record) &&
            MemberPath(record, "_", path, sizeof path) && NamesMatch(path, outputPath))
            return i;
    return -1;
}

// The member's file, created new where nothing stands (the install folder may be one that the
// user's other programs can write to). A "_" file is held: read for the copy pass's comparisons,
// written, deleted or renamed through this handle alone; readers may look (a scanner does), but
// nobody else may change, move or delete it. Its name taken by the held file of an earlier listing
// of the same name, that file goes through its handle, and the earlier listing uses this one.
HANDLE PackageReader::CreateOutputFile(const char* outputPath, int prefixFlag) {
    if (prefixFlag != 1) return CreateFreshFilePatiently(outputPath, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL);
    const DWORD access = GENERIC_READ | GENERIC_WRITE | DELETE;
    HANDLE file = CreateFilePatiently(outputPath, access, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (file != INVALID_HANDLE_VALUE) return file;
    int32_t earlier = EarlierListingOf(outputPath);
    if (earlier >= 0) {
        for (int32_t i = 0; i < nextIndex; ++i)
            if (temporaryOwner[i] == earlier) temporaryOwner[i] = nextIndex;
        ReleaseTemporaryFile(earlier, true);
    }
    return CreateFreshFilePatiently(outputPath, access, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL);
}

// A file cut short stays held, and goes with the others at the close.
int PackageReader::ExtractData(const char* outputPath, const FILETIME& fileTime, int prefixFlag) {
    HANDLE output = CreateOutputFile(outputPath, prefixFlag);
    if (output == INVALID_HANDLE_VALUE) return Warn(kCannotCreate);
    FileHandle unheld(prefixFlag == 1 ? INVALID_HANDLE_VALUE : output);
    if (prefixFlag == 1) {
        temporaryFiles[nextIndex] = output;
        temporaryOwner[nextIndex] = nextIndex;
    }
    for (uint32_t left = memberSizes[nextIndex]; left > 0;) {
        uint32_t chunk = left < kChunkSize ? left : kChunkSize;
        if (ReadBlock(packageFile, dataBuffer, chunk) != chunk) return Warn(kDataShort);
        if (WriteBlock(output, dataBuffer, chunk, 1) == 0) return Warn(kInstallFailed);
        left -= chunk;
    }
    WriteTrace("書き込み完了");
    SetFileTime(output, &fileTime, &fileTime, &fileTime);
    return 0;
}

int PackageReader::UnPackRead(int prefixFlag) {
    if (packageFile == INVALID_HANDLE_VALUE) return -1;
    if (nextIndex >= memberCount) return 0;
    FILETIME fileTime;
    MemberRecord record;
    ZeroMemory(&record, sizeof record);
    if (ReadEntryFields(&fileTime, &record) != 0) return -1;
    EnterSubfolder(record.subfolder);
    uint32_t nameLength = 0;
    if (ReadBlock(packageFile, &nameLength, 4) != 4) return Warn(kBadFile);
    // Summed in 64 bits: a length near 2^32 must not wrap below the bound.
    if (static_cast<uint64_t>(lstrlenA(baseFolder)) + nameLength >= kMaxPathBytes) return Warn(kNameTooLong);
    if (nameLength == 0 || ReadBlock(packageFile, record.fileName, nameLength) != nameLength ||
        !IsTerminated(record.fileName, nameLength) || !IsSafeName(record.fileName, false))
        return Warn(kBadFile);
    char outputPath[kMaxPathBytes];
    if (!MemberPath(record, prefixFlag == 1 ? "_" : "", outputPath, sizeof outputPath)) return Warn(kNameTooLong);
    if (!members->Put(nextIndex, &record, sizeof record)) return Warn(kInstallFailed);
    WriteTrace(outputPath);
    if (ExtractData(outputPath, fileTime, prefixFlag) != 0) return -1;
    ++nextIndex;
    return 1;
}
