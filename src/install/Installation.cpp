// The installation run: folder, envelope, extract-and-copy, conversion, settings file,
// shortcuts, read-me and the install record, in that order. Each failure is shown where it
// happens; nothing already installed is rolled back.
#include "install/Installation.h"

#include <windows.h>

#include "convert/ConversionRun.h"
#include "install/PackageReader.h"
#include "install/Shortcut.h"
#include "shell/SetupInfo.h"
#include "shell/ShellFolders.h"
#include "shell/WizardState.h"
#include "util/FileHandle.h"
#include "util/Message.h"
#include "util/PathUtil.h"
#include "util/StringPool.h"

namespace {

const DWORD kMaxHeaderBytes = 1024;
const DWORD kMinHeaderBytes = 8;  // the package version sits in bytes 4 to 7
const DWORD kCopyChunkBytes = 64 * 1024;
const char kWrongForm[] = "異なる形式のファイルを読込ました。";
const char kWriteFailed[] = "書込に失敗しました。";

struct PackageStart {
    FILETIME packageTime;
    bool hasHeader;  // "PA": a header block, then the inner archive
};

// Shows the warning and gives the run's failure result.
int Refuse(const char* message) {
    ShowWarning(message);
    return -1;
}

bool JoinPath(char* out, size_t outSize, const char* folder, const char* name) {
    return CopyBounded(out, outSize, folder) && AppendBounded(out, outSize, "\\") && AppendBounded(out, outSize, name);
}

bool ReadExactly(HANDLE file, void* buffer, DWORD count) {
    DWORD got = 0;
    return ReadFile(file, buffer, count, &got, NULL) && got == count;
}

bool WriteExactly(HANDLE file, const void* buffer, DWORD count) {
    DWORD written = 0;
    return WriteFile(file, buffer, count, &written, NULL) && written == count;
}

// Reads the magic and, for "PA", the header block, leaving the file at the inner archive.
int ReadEnvelope(HANDLE package, PackageStart* start) {
    char magic[2];
    if (!ReadExactly(package, magic, sizeof magic)) return Refuse(kWrongForm);
    if (magic[0] == 'S' && magic[1] == 'Z') {
        start->hasHeader = false;
        return 0;
    }
    if (magic[0] != 'P' || magic[1] != 'A') return Refuse(kWrongForm);
    unsigned char lengthBytes[4];
    char header[kMaxHeaderBytes];
    if (!ReadExactly(package, lengthBytes, sizeof lengthBytes)) return Refuse(kWrongForm);
    DWORD headerLength =
        lengthBytes[0] | (lengthBytes[1] << 8) | (lengthBytes[2] << 16) | (static_cast<DWORD>(lengthBytes[3]) << 24);
    if (headerLength < kMinHeaderBytes || headerLength > kMaxHeaderBytes ||
        !ReadExactly(package, header, headerLength)) {
        return Refuse(kWrongForm);
    }
    start->hasHeader = true;
    return 0;
}

// A short copy would pass on a cut archive: every failed read or write is a failure.
int CopyRest(HANDLE from, HANDLE to) {
    char chunk[kCopyChunkBytes];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(from, chunk, sizeof chunk, &got, NULL)) return -1;
        if (got == 0) return 0;
        if (!WriteExactly(to, chunk, got)) return -1;
    }
}

int WriteInnerArchive(HANDLE package, const char* path) {
    FileHandle inner(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!inner.IsOpen()) return Refuse(kWriteFailed);
    if (CopyRest(package, inner.Get()) != 0) {
        inner.Close();
        DeleteFileA(path);
        return Refuse(kWriteFailed);
    }
    return 0;
}

// Puts the inner archive into the temporary folder as "kx.pa_" and names it in archivePath.
int PrepareArchive(const char* packagePath, char* archivePath, size_t archiveSize, FILETIME* packageTime) {
    char tempFolder[kMaxPathBytes];
    DWORD length = GetTempPathA(sizeof tempFolder, tempFolder);
    char intermediate[kMaxPathBytes];
    if (length == 0 || length >= sizeof tempFolder || !CopyBounded(intermediate, sizeof intermediate, tempFolder) ||
        !AppendBounded(intermediate, sizeof intermediate, "kx.pa") ||
        !CopyBounded(archivePath, archiveSize, intermediate) || !AppendBounded(archivePath, archiveSize, "_")) {
        return Refuse(kWriteFailed);
    }
    FileHandle package(
        CreateFileA(packagePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!package.IsOpen()) return Refuse("kx.pacを読み込むことが出来ません。");
    if (!GetFileTime(package.Get(), NULL, NULL, packageTime))
        packageTime->dwLowDateTime = 0, packageTime->dwHighDateTime = 0;
    PackageStart start;
    if (ReadEnvelope(package.Get(), &start) != 0) return -1;
    if (!start.hasHeader) {
        package.Close();
        if (!CopyFileA(packagePath, archivePath, FALSE)) return Refuse(kWriteFailed);
        return 0;
    }
    if (WriteInnerArchive(package.Get(), intermediate) != 0) return -1;
    // The intermediate file becomes the archive: moved, not copied, so its bytes are written once.
    if (!MoveFileExA(intermediate, archivePath, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(intermediate);
        return Refuse(kWriteFailed);
    }
    return 0;
}

void CreateSettingsFile(const char* targetFolder) {
    char path[kMaxPathBytes];
    if (!JoinPath(path, sizeof path, targetFolder, "korvex.ini") || FileExists(path)) return;
    FileHandle created(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL));
}

void CreateShortcuts(const char* targetFolder) {
    char program[kMaxPathBytes];
    char help[kMaxPathBytes];
    bool programFits = JoinPath(program, sizeof program, targetFolder, "korvex.exe");
    bool helpFits = JoinPath(help, sizeof help, targetFolder, "korvex.chm");
    if (desktopShortcut == 1 && !(programFits && CreateShortcut(0, "Korvanto", program, NULL))) {
        ShowWarning("デスクトップへのショートカット作成に失敗しました。");
    }
    if (startMenuShortcut != 1) return;
    const char kStartMenuFailed[] = "スタートメニューへのショートカット作成に失敗しました。";
    if (!(programFits && CreateShortcut(3, "Korvanto", program, "Korvanto"))) ShowWarning(kStartMenuFailed);
    if (!(helpFits && CreateShortcut(3, "Korvantoヘルプ", help, "Korvanto"))) ShowWarning(kStartMenuFailed);
}

void CopyReadme(const char* targetFolder) {
    char source[kMaxPathBytes];
    char destination[kMaxPathBytes];
    if (!CopyBounded(source, sizeof source, setupInfo->PathBesideSetup("Readme.txt"))) return;
    if (!JoinPath(destination, sizeof destination, targetFolder, "Readme.txt")) return;
    CopyFileA(source, destination, FALSE);
}

void PutNumber(StringPool* pool, int index, int value) {
    char text[16];
    wsprintfA(text, "%d", value);
    pool->PutLine(index, text);
}

// The record is written only into the record folder: without one there is nowhere it belongs.
void WriteInstallRecord(const SYSTEMTIME& today, const FILETIME& packageTime) {
    StringPool* record = new StringPool(2048);
    PutNumber(record, 0, today.wYear);
    PutNumber(record, 1, today.wMonth);
    PutNumber(record, 2, today.wDay);
    PutNumber(record, 3, static_cast<int>(packageTime.dwHighDateTime));
    PutNumber(record, 4, static_cast<int>(packageTime.dwLowDateTime));
    record->PutLine(5, installFolder);
    AppDataFolder* folder = new AppDataFolder();
    const char* recordFolder = folder->Locate("morvel", "inst", 1);
    char path[kMaxPathBytes];
    if (recordFolder[0] != '\0' && JoinPath(path, sizeof path, recordFolder, "korvex_inst.dat")) {
        record->SaveTextFile(path);
    }
    delete folder;
    delete record;
}

bool IsSameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

}  // namespace

int RunInstallation(PackageReader* reader) {
    char targetFolder[kInstallFolderBytes];
    if (!CopyBounded(targetFolder, sizeof targetFolder, installFolder)) return -1;
    StripTrailingBackslash(targetFolder);
    if (CreateFolderPath(targetFolder) == 0) return -1;

    char packagePath[kMaxPathBytes];
    if (!CopyBounded(packagePath, sizeof packagePath, setupInfo->PathBesideSetup("kx.pac"))) return -1;
    char archivePath[kMaxPathBytes];
    FILETIME packageTime = {0, 0};
    if (PrepareArchive(packagePath, archivePath, sizeof archivePath, &packageTime) != 0) return -1;
    if (reader->UnPackCopy(archivePath, targetFolder) != 0) return -1;
    DeleteFileA(archivePath);

    SYSTEMTIME today;
    GetLocalTime(&today);
    int refreshBackup = IsSameDay(today, previousInstallDate) ? 0 : 1;
    if (ConvertUserData(targetFolder, refreshBackup) == 0) return -1;

    if (dataBesideProgram == 1) CreateSettingsFile(targetFolder);
    CreateShortcuts(targetFolder);
    CopyReadme(targetFolder);
    WriteInstallRecord(today, packageTime);
    return 0;
}
