// The pass that puts the package's files in place: extract every member under its "_" name,
// then copy each over its final name, asking first where the member's copy mode says so.
#include <windows.h>

#include "install/CopyDecision.h"
#include "install/FileVersion.h"
#include "install/PackageReader.h"
#include "util/FileHandle.h"
#include "util/HeldFile.h"
#include "util/Message.h"

static const char kVersionQuestion[] =
    "『%s』は既に最新版がインストールされています。\n上書きしてよろしいですか？\n"
    "（通常は「いいえ」とし、上書きしないようにして下さい。）";
static const char kDateQuestion[] =
    "『%s』は既に最新の日付のファイルがインストールされています。\n上書きしてよろしいですか？\n"
    "（通常は「いいえ」とし、上書きしないようにして下さい。）";
static const char kOverwriteCaption[] = "上書きしてよろしいですか？";
static const char kPlainQuestion[] = "既に同じファイルが存在します。上書きしてよろしいですか？";

// Yes/No with No as the default: only an explicit Yes replaces the installed file. 1 copy, 0 keep.
static int AskOverwrite(const char* text, const char* caption) {
    int answer = MessageBoxA(NULL, text, caption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_TASKMODAL);
    return answer == IDNO ? 0 : 1;
}

static int AskAbout(const char* format, const char* fileName) {
    char text[1024];  // the longest question and a file name of 260 bytes fit
    wsprintfA(text, format, fileName);
    return AskOverwrite(text, kOverwriteCaption);
}

// Read-only and hidden installed files would make the copy fail or stay hidden; both go, also
// when the user keeps the file.
static void ClearBlockingAttributes(const char* path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        attributes &= ~FILE_ATTRIBUTE_READONLY;
        SetFileAttributesA(path, attributes);
    }
    if (attributes & FILE_ATTRIBUTE_HIDDEN) SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_HIDDEN);
}

static uint64_t TimeValue(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// The facts that the member's mode compares, and no more: reading a version is slow. The
// package's version is only read against an installed one, since nothing is lower than no
// version. The times come from the attribute queries already made.
static MemberFacts ReadFacts(const MemberRecord& record, const char* temporaryPath, const char* finalPath,
                             const WIN32_FILE_ATTRIBUTE_DATA& installed) {
    MemberFacts facts;
    facts.copyMode = record.copyMode;
    facts.installed = true;
    if (record.copyMode == 1) {
        facts.installedVersion = PackedFileVersion(finalPath);
        if (facts.installedVersion != 0) facts.packageVersion = PackedFileVersion(temporaryPath);
    } else if (record.copyMode == 2) {
        WIN32_FILE_ATTRIBUTE_DATA extracted;
        if (GetFileAttributesExA(temporaryPath, GetFileExInfoStandard, &extracted))
            facts.packageTime = TimeValue(extracted.ftLastWriteTime);
        facts.installedTime = TimeValue(installed.ftLastWriteTime);
    }
    return facts;
}

// 1 copy, 0 keep, for a member whose final file exists.
static int Decide(const MemberRecord& record, const char* temporaryPath, const char* finalPath,
                  const WIN32_FILE_ATTRIBUTE_DATA& installed, int previousDecision) {
    MemberFacts facts = ReadFacts(record, temporaryPath, finalPath, installed);
    CopyStep step = DecideCopy(facts);
    if (step == CopyStep::kAskDate) {
        // The attribute times only clear a member. Before a question both files are opened
        // unshared, as the date comparison demands, so that a file another program holds
        // counts as no time and is not asked about.
        facts.packageTime = UnsharedLastWriteTime(temporaryPath);
        facts.installedTime = UnsharedLastWriteTime(finalPath);
        step = DecideCopy(facts);
    }
    switch (step) {
        case CopyStep::kAskVersion:
            return AskAbout(kVersionQuestion, record.fileName);
        case CopyStep::kAskDate:
            return AskAbout(kDateQuestion, record.fileName);
        case CopyStep::kAskAlways:
            return AskOverwrite(kPlainQuestion, "確認");
        case CopyStep::kFollowGroup:
            return previousDecision;
        default:
            return 1;
    }
}

// The extracted file itself takes the final name, renamed in one step: the same bytes without
// writing them a second time, and no moment at which the final name holds a cut file, so a
// kill or power cut leaves the old file or the new one. The times and attributes are made
// those that a copy gives: the stored last-write time and the extracted file's attributes
// come along with the rename; a copy to a new name is created and last read now, a copy over
// an installed file keeps that file's creation time.
static void SetCopyTimes(const char* finalPath, const FILETIME& created) {
    FileHandle placed(
        CreateFileA(finalPath, FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!placed.IsOpen()) return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    SetFileTime(placed.Get(), &created, &now, NULL);
}

// A file not installed yet: when the rename fails the copy is made, with its own error, and
// the "_" file stays. The rename is not waited for: a scanner that holds the fresh "_" file
// keeps it from moving but lets the copy read it, so the copy stands in at once.
static BOOL PlaceNewFile(const char* temporaryPath, const char* finalPath, bool* renamed) {
    *renamed = MoveFileExA(temporaryPath, finalPath, 0) != FALSE;
    if (!*renamed) return CopyFilePatiently(temporaryPath, finalPath, FALSE);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    SetCopyTimes(finalPath, now);
    return TRUE;
}

// An installed file is never written over: a copy cut short would keep the time of the cut,
// look newer than the package's file, and be kept by the next run's date question.
static BOOL ReplaceInstalledFile(const char* temporaryPath, const char* finalPath, const FILETIME& created) {
    if (!MoveFilePatiently(temporaryPath, finalPath, MOVEFILE_REPLACE_EXISTING)) return FALSE;
    SetCopyTimes(finalPath, created);
    return TRUE;
}

// The installed file's attributes and times, from one query; false when no file is installed.
static bool FindInstalledFile(const char* finalPath, WIN32_FILE_ATTRIBUTE_DATA* installed) {
    return GetFileAttributesExA(finalPath, GetFileExInfoStandard, installed) &&
           (installed->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A member listed twice shares its "_" file with its duplicate, which an earlier member may have
// taken by renaming it. The installed file then holds the same bytes and last-write time: a copy
// of it gives the later member the "_" file that the comparison and the copy expect.
static void RestoreTakenTemporaryFile(const char* temporaryPath, const char* finalPath) {
    if (GetFileAttributesA(temporaryPath) == INVALID_FILE_ATTRIBUTES) CopyFilePatiently(finalPath, temporaryPath, TRUE);
}

int PackageReader::UnPackCopy(const char* archivePath, const char* targetFolder, HANDLE openArchive) {
    WriteTrace(archivePath);
    WriteTrace(targetFolder);
    if (UnPackOpen(archivePath, targetFolder, openArchive) < 0) return -1;
    int result;
    while ((result = UnPackRead(1)) == 1) {
    }
    WriteTrace("バージョンを確認しながらコピー");
    if (result == 0) {
        GroupDecision group;
        bool renamedAny = false;
        MemberRecord record;
        char temporaryPath[kMaxPathBytes];
        char finalPath[kMaxPathBytes];
        // Both paths were bounded when the member was extracted.
        for (int32_t i = 0; i < RecordCount() && RecordAt(i, &record); ++i) {
            MemberPath(record, "_", temporaryPath, sizeof temporaryPath);
            MemberPath(record, "", finalPath, sizeof finalPath);
            int decision = 1;
            WIN32_FILE_ATTRIBUTE_DATA installedFile;
            bool installed = FindInstalledFile(finalPath, &installedFile);
            if (installed) {
                if (renamedAny) RestoreTakenTemporaryFile(temporaryPath, finalPath);
                decision = Decide(record, temporaryPath, finalPath, installedFile, group.Decision());
                ClearBlockingAttributes(finalPath, installedFile.dwFileAttributes);
            }
            group.Record(i, record.groupFlag, decision);
            BOOL placed = TRUE;
            if (decision == 1) {
                bool renamed = false;
                if (installed)
                    placed = renamed = ReplaceInstalledFile(temporaryPath, finalPath, installedFile.ftCreationTime);
                else
                    placed = PlaceNewFile(temporaryPath, finalPath, &renamed);
                renamedAny = true;
                temporaryTaken[i] = renamed;
            }
            if (!placed) {
                ShowSystemError("インストール処理");
                ShowWarning("インストールに失敗しました。");
                result = -1;
                break;
            }
        }
    }
    WriteTrace("残骸処理");
    UnPackClose();
    return result;
}
