// The installation run: folder, envelope, extract-and-copy, conversion, settings file,
// shortcuts, read-me and the install record, in that order. Each failure is shown where it
// happens; nothing already installed is rolled back.
#include "install/Installation.h"

#include <windows.h>

#include <cstring>

#include "convert/ConversionRun.h"
#include "install/InnerArchive.h"
#include "install/PackageBinding.h"
#include "install/PackageReader.h"
#include "install/Shortcut.h"
#include "install/TemporaryArchive.h"
#include "shell/SetupInfo.h"
#include "shell/ShellFolders.h"
#include "shell/WizardState.h"
#include "util/FileHandle.h"
#include "util/HeldFile.h"
#include "util/Message.h"
#include "util/PathUtil.h"
#include "util/StringPool.h"
#include "util/WholeFile.h"

namespace {

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
    // Written beside and renamed into place: a link under the name is replaced, not written through.
    CopyFileWhole(source, destination, true);
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
    // Held from its first byte to its removal, which a failed run makes too.
    TemporaryArchive archive;
    PackageDigestCheck digest;
    FILETIME packageTime = {0, 0};
    if (TakeOutInnerArchive(packagePath, &archive, &packageTime, &digest) != 0) return -1;
    if (reader->UnPackCopy(archive.Path(), targetFolder, archive.ReaderHandle(), &digest) != 0) return -1;
    archive.Remove();

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
