// The pass that puts the package's files in place: extract every member under its "_" name,
// then copy each over its final name, asking first where the member's copy mode says so.
#include <windows.h>

#include "install/FileVersion.h"
#include "install/PackageReader.h"
#include "util/FileHandle.h"
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
static void ClearBlockingAttributes(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        attributes &= ~FILE_ATTRIBUTE_READONLY;
        SetFileAttributesA(path, attributes);
    }
    if (attributes & FILE_ATTRIBUTE_HIDDEN) SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_HIDDEN);
}

// 1 copy, 0 keep, for a member whose final file exists.
static int Decide(const MemberRecord& record, const char* temporaryPath, const char* finalPath, int previousDecision) {
    switch (record.copyMode) {
        case 1: {
            // Nothing is lower than an installed file without a version: the package file's
            // version is then not read.
            uint32_t installed = PackedFileVersion(finalPath);
            if (installed != 0 && PackedFileVersion(temporaryPath) < installed)
                return AskAbout(kVersionQuestion, record.fileName);
            return 1;
        }
        case 2:
            if (CompareFileTimes(temporaryPath, finalPath) > 0) return AskAbout(kDateQuestion, record.fileName);
            return 1;
        case 3:
            return previousDecision;
        case 4:
            return AskOverwrite(kPlainQuestion, "確認");
        default:
            return 1;
    }
}

// A file that is not installed yet becomes the extracted file itself, renamed: the same bytes
// without writing them a second time. A copy would carry the stored last-write time, the
// extracted file's attributes and the time of copying as its creation and last-access times; the
// renamed file is given the same. When the rename fails the copy is made, with its own error.
static BOOL PlaceNewFile(const char* temporaryPath, const char* finalPath) {
    if (!MoveFileExA(temporaryPath, finalPath, 0)) return CopyFileA(temporaryPath, finalPath, FALSE);
    FileHandle placed(
        CreateFileA(finalPath, FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (placed.IsOpen()) {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        SetFileTime(placed.Get(), &now, &now, NULL);
    }
    return TRUE;
}

// A member listed twice shares its "_" file with its duplicate, which an earlier member may have
// taken by renaming it. The installed file then holds the same bytes and last-write time: a copy
// of it gives the later member the "_" file that the comparison and the copy expect.
static void RestoreTakenTemporaryFile(const char* temporaryPath, const char* finalPath) {
    if (GetFileAttributesA(temporaryPath) == INVALID_FILE_ATTRIBUTES) CopyFileA(finalPath, temporaryPath, TRUE);
}

int PackageReader::UnPackCopy(const char* archivePath, const char* targetFolder) {
    WriteTrace(archivePath);
    WriteTrace(targetFolder);
    if (UnPackOpen(archivePath, targetFolder) < 0) return -1;
    int result;
    while ((result = UnPackRead(1)) == 1) {
    }
    WriteTrace("バージョンを確認しながらコピー");
    if (result == 0) {
        int previousDecision = 1;
        bool renamedAny = false;
        MemberRecord record;
        char temporaryPath[kMaxPathBytes];
        char finalPath[kMaxPathBytes];
        // Both paths were bounded when the member was extracted.
        for (int32_t i = 0; i < RecordCount() && RecordAt(i, &record); ++i) {
            MemberPath(record, "_", temporaryPath, sizeof temporaryPath);
            MemberPath(record, "", finalPath, sizeof finalPath);
            int decision = 1;
            bool installed = FileExists(finalPath) != 0;
            if (installed) {
                if (renamedAny) RestoreTakenTemporaryFile(temporaryPath, finalPath);
                decision = Decide(record, temporaryPath, finalPath, previousDecision);
                ClearBlockingAttributes(finalPath);
            }
            if (record.groupFlag == 0) previousDecision = decision;
            BOOL placed = TRUE;
            if (decision == 1 && installed) {
                placed = CopyFileA(temporaryPath, finalPath, FALSE);
            } else if (decision == 1) {
                placed = PlaceNewFile(temporaryPath, finalPath);
                renamedAny = true;
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
