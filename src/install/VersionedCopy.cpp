// The pass that puts the package's files in place: extract every member under its "_" name,
// then copy each over its final name, asking first where the member's copy mode says so.
#include <windows.h>

#include "install/CopyDecision.h"
#include "install/FileVersion.h"
#include "install/PackageBinding.h"
#include "install/PackageReader.h"
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
// version. The extracted file is read through the run's handle of it; INVALID_HANDLE_VALUE: it is
// the installed file already, put there by an earlier listing of the name. The installed file's
// time comes from the attribute query already made.
static MemberFacts ReadFacts(const MemberRecord& record, HANDLE extracted, const char* finalPath,
                             const WIN32_FILE_ATTRIBUTE_DATA& installed) {
    MemberFacts facts;
    facts.copyMode = record.copyMode;
    facts.installed = true;
    bool placed = extracted == INVALID_HANDLE_VALUE;
    if (record.copyMode == 1) {
        facts.installedVersion = PackedFileVersion(finalPath);
        if (facts.installedVersion != 0)
            facts.packageVersion = placed ? facts.installedVersion : PackedFileVersionOf(extracted);
    } else if (record.copyMode == 2) {
        facts.installedTime = TimeValue(installed.ftLastWriteTime);
        facts.packageTime = placed ? facts.installedTime : LastWriteTimeOf(extracted);
    }
    return facts;
}

// 1 copy, 0 keep, for a member whose final file exists.
static int Decide(const MemberRecord& record, HANDLE extracted, const char* finalPath,
                  const WIN32_FILE_ATTRIBUTE_DATA& installed, int previousDecision) {
    MemberFacts facts = ReadFacts(record, extracted, finalPath, installed);
    CopyStep step = DecideCopy(facts);
    if (step == CopyStep::kAskDate) {
        // The attribute time only clears a member. Before a question the installed file is opened
        // unshared, as the date comparison demands, so that a file another program holds counts
        // as no time and is not asked about.
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

// The extracted file takes the final name through the run's own handle of it, renamed in one
// step: the same bytes without writing them a second time, no moment at which the final name
// holds a cut file (a kill or power cut leaves the old file or the new one), and no name opened
// again, so nothing can change the file between its check and its place. An installed file is
// never written over: a copy cut short would keep the time of the cut, look newer than the
// package's file, and be kept by the next run's date question. First the file gets the times that
// a copy gives: the stored last-write time stays, a copy is last read now, and it is created now,
// or over an installed file keeps that file's creation time.
static bool PlaceThroughHandle(HANDLE extracted, const char* finalPath, const FILETIME& created, bool replace) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    SetFileTime(extracted, &created, &now, NULL);
    return RenameThroughHandlePatiently(extracted, finalPath, replace);
}

// The installed file's attributes and times, from one query; false when no file is installed.
static bool FindInstalledFile(const char* finalPath, WIN32_FILE_ATTRIBUTE_DATA* installed) {
    return GetFileAttributesExA(finalPath, GetFileExInfoStandard, installed) &&
           (installed->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Decides on one member and acts on it: its file is put in place, or the installed file is kept
// and the member's "_" file deleted, unless a later listing of the same name still needs it. A
// name listed twice leads to one file, which the first listing that copies puts in place; the
// later ones find it installed, equal in version and date. False when the file could not be put
// in place, with the system's error.
bool PackageReader::PlaceMember(int32_t index, const MemberRecord& record, int previousDecision, int* decision) {
    char finalPath[kMaxPathBytes];
    MemberPath(record, "", finalPath, sizeof finalPath);  // bounded when the member was extracted
    int32_t owner = temporaryOwner[index];
    HANDLE extracted = temporaryFiles[owner];  // INVALID_HANDLE_VALUE: placed by an earlier listing
    WIN32_FILE_ATTRIBUTE_DATA installedFile;
    bool installed = FindInstalledFile(finalPath, &installedFile);
    *decision = 1;
    if (installed) {
        *decision = Decide(record, extracted, finalPath, installedFile, previousDecision);
        ClearBlockingAttributes(finalPath, installedFile.dwFileAttributes);
    }
    if (extracted == INVALID_HANDLE_VALUE) return true;
    if (*decision == 0) {
        if (owner == index) ReleaseTemporaryFile(index, true);
        return true;
    }
    FILETIME created;
    if (installed)
        created = installedFile.ftCreationTime;
    else
        GetSystemTimeAsFileTime(&created);
    if (!PlaceThroughHandle(extracted, finalPath, created, installed)) return false;
    ReleaseTemporaryFile(owner, false);
    return true;
}

// Every member in index order; the first file that cannot be put in place ends the pass.
int PackageReader::CopyPass() {
    GroupDecision group;
    MemberRecord record;
    for (int32_t i = 0; i < RecordCount() && RecordAt(i, &record); ++i) {
        int decision = 1;
        if (!PlaceMember(i, record, group.Decision(), &decision)) {
            ShowSystemError("インストール処理");
            ShowWarning("インストールに失敗しました。");
            return -1;
        }
        group.Record(i, record.groupFlag, decision);
    }
    return 0;
}

int PackageReader::UnPackCopy(const char* archivePath, const char* targetFolder, HANDLE openArchive,
                              PackageDigestCheck* digest) {
    WriteTrace(archivePath);
    WriteTrace(targetFolder);
    if (UnPackOpen(archivePath, targetFolder, openArchive) < 0) return -1;
    int result;
    while ((result = UnPackRead(1)) == 1) {
    }
    WriteTrace("バージョンを確認しながらコピー");
    // The copy pass is the first step that changes an installed name: a program bound to its
    // package, which has hashed it beside the extraction, has its verdict before it.
    bool refused = result == 0 && digest != NULL && !digest->Matches();
    if (refused) {
        ShowWarning(kDamagedPackage);
        result = -1;
    }
    if (result == 0) result = CopyPass();
    WriteTrace("残骸処理");
    UnPackClose();
    if (refused) RemoveCreatedFolders();  // nothing of another package stays
    return result;
}
