// The installation run: folder, envelope, extract-and-copy, conversion, settings file,
// shortcuts, read-me and the install record, in that order. Each failure is shown where it
// happens; nothing already installed is rolled back.
#include "install/Installation.h"

#include <windows.h>

#include <cstring>

#include "convert/ConversionRun.h"
#include "install/PackageReader.h"
#include "install/Shortcut.h"
#include "shell/SetupInfo.h"
#include "shell/ShellFolders.h"
#include "shell/WizardState.h"
#include "util/Crc32.h"
#include "util/FileHandle.h"
#include "util/HeldFile.h"
#include "util/Message.h"
#include "util/PathUtil.h"
#include "util/StringPool.h"

namespace {

const DWORD kMaxHeaderBytes = 1024;
const DWORD kMinHeaderBytes = 8;  // the package version sits in bytes 4 to 7
// Bytes 8 to 11 of a longer header block may hold the tag "CR32"; bytes 12 to 15 then hold the
// CRC-32 of the inner archive. Setup programs that know no tag read only the version.
const DWORD kChecksumOffset = 8;
const DWORD kChecksumHeaderBytes = 16;
const char kChecksumTag[] = "CR32";
const DWORD kCopyChunkBytes = 64 * 1024;
const char kWrongForm[] = "異なる形式のファイルを読込ました。";
const char kWriteFailed[] = "書込に失敗しました。";
const char kDamaged[] = "kx.pacが壊れています。";

struct PackageStart {
    bool hasHeader;    // "PA": a header block, then the inner archive
    bool hasChecksum;  // the header block carries the inner archive's CRC-32
    uint32_t checksum;
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
    unsigned char header[kMaxHeaderBytes];
    if (!ReadExactly(package, lengthBytes, sizeof lengthBytes)) return Refuse(kWrongForm);
    DWORD headerLength = LoadLittleEndian32(lengthBytes);
    if (headerLength < kMinHeaderBytes || headerLength > kMaxHeaderBytes ||
        !ReadExactly(package, header, headerLength)) {
        return Refuse(kWrongForm);
    }
    start->hasHeader = true;
    start->hasChecksum = headerLength >= kChecksumHeaderBytes &&
                         memcmp(header + kChecksumOffset, kChecksumTag, sizeof kChecksumTag - 1) == 0;
    start->checksum = start->hasChecksum ? LoadLittleEndian32(header + kChecksumOffset + 4) : 0;
    return 0;
}

// A short copy would pass on a cut archive: every failed read or write is a failure. The
// checksum is summed from the same chunks, so a damaged package costs no second read.
int CopyRest(HANDLE from, HANDLE to, uint32_t* checksum) {
    char chunk[kCopyChunkBytes];
    uint32_t crc = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(from, chunk, sizeof chunk, &got, NULL)) return -1;
        if (got == 0) break;
        crc = UpdateCrc32(crc, chunk, got);
        if (!WriteAll(to, chunk, got)) return -1;
    }
    *checksum = crc;
    return 0;
}

// A damaged archive is refused here, before any member is extracted or any installed file
// replaced: found later, it would stop the installation half-way.
int WriteInnerArchive(HANDLE package, const char* path, const PackageStart& start) {
    FileHandle inner(CreateFilePatiently(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    if (!inner.IsOpen()) return Refuse(kWriteFailed);
    uint32_t checksum = 0;
    int copied = CopyRest(package, inner.Get(), &checksum);
    if (copied == 0 && (!start.hasChecksum || checksum == start.checksum)) return 0;
    inner.Close();
    DeleteFilePatiently(path);
    return Refuse(copied != 0 ? kWriteFailed : kDamaged);
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
    PackageStart start = {false, false, 0};
    if (ReadEnvelope(package.Get(), &start) != 0) return -1;
    if (!start.hasHeader) {
        package.Close();
        if (!CopyFilePatiently(packagePath, archivePath, FALSE)) return Refuse(kWriteFailed);
        return 0;
    }
    if (WriteInnerArchive(package.Get(), intermediate, start) != 0) return -1;
    // The intermediate file becomes the archive: moved, not copied, so its bytes are written once.
    if (!MoveFilePatiently(intermediate, archivePath, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFilePatiently(intermediate);
        return Refuse(kWriteFailed);
    }
    return 0;
}

void CreateSettingsFile(const char* targetFolder) {
    char path[kMaxPathBytes];
    if (!JoinPath(path, sizeof path, targetFolder, "korvex.ini") || FileExists(path)) return;
    FileHandle created(CreateFilePatiently(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL));
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
    CopyFilePatiently(source, destination, FALSE);
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
    DeleteFilePatiently(archivePath);

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
