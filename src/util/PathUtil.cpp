#include "util/PathUtil.h"

#include <windows.h>

#include "util/FileHandle.h"
#include "util/Message.h"

const char* LastChar(const char* text) {
    if (*text == '\0') return text;
    const char* last = text;
    for (const char* p = text; *p != '\0'; p = CharNextA(p))
        last = p;
    return last;
}

char* LastChar(char* text) {
    return const_cast<char*>(LastChar(static_cast<const char*>(text)));
}

const char* FileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\') name = p + 1;
    }
    return name;
}

char* FileNameOf(char* path) {
    return const_cast<char*>(FileNameOf(static_cast<const char*>(path)));
}

bool JoinPath(char* out, size_t outSize, const char* folder, const char* name) {
    return CopyBounded(out, outSize, folder) && AppendBounded(out, outSize, "\\") && AppendBounded(out, outSize, name);
}

bool NamesMatch(const char* first, const char* second) {
    wchar_t wideFirst[kMaxPathBytes];
    wchar_t wideSecond[kMaxPathBytes];
    return MultiByteToWideChar(CP_ACP, 0, first, -1, wideFirst, kMaxPathBytes) != 0 &&
           MultiByteToWideChar(CP_ACP, 0, second, -1, wideSecond, kMaxPathBytes) != 0 &&
           CompareStringOrdinal(wideFirst, -1, wideSecond, -1, TRUE) == CSTR_EQUAL;
}

void StripTrailingBackslash(char* path) {
    char* last = LastChar(path);
    if (*last == '\\') *last = '\0';
}

bool CopyBounded(char* dst, size_t dstSize, const char* src) {
    size_t length = lstrlenA(src);
    if (length >= dstSize) return false;
    CopyMemory(dst, src, length + 1);
    return true;
}

bool AppendBounded(char* dst, size_t dstSize, const char* src) {
    size_t used = lstrlenA(dst);
    if (used >= dstSize) return false;
    return CopyBounded(dst + used, dstSize - used, src);
}

// OpenFile cannot take paths of 128 bytes or more; the handle calls take the full 260.
int FileExists(const char* path) {
    FileHandle file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    return file.IsOpen() ? 1 : 0;
}

void ShowSystemError(const char* caption) {
    DWORD code = GetLastError();
    char* text = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                   code, LANG_USER_DEFAULT, reinterpret_cast<char*>(&text), 0, NULL);
    // Task-modal: while it is up, no page may take a second press of Install.
    MessageBoxA(NULL, text != NULL ? text : "", caption, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    if (text != NULL) LocalFree(text);
}

static int FolderExists(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

static int CreateLevel(const char* path) {
    if (FolderExists(path) || CreateDirectoryA(path, NULL)) return 1;
    ShowWarning("指示先のフォルダ作成に失敗しました。");
    return 0;
}

// Walks the path copying whole characters; each backslash after the drive's closes a level.
static int CreateEachLevel(const char* path) {
    char partial[kMaxPathBytes];
    size_t length = 0;
    int backslashes = 0;
    for (const char* p = path; *p != '\0';) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0') {
            partial[length++] = *p++;
            partial[length++] = *p++;
            continue;
        }
        if (*p == '\\' && ++backslashes > 1) {
            partial[length] = '\0';
            if (!CreateLevel(partial)) return 0;
        }
        partial[length++] = *p++;
    }
    partial[length] = '\0';
    // "D:name" lies wherever drive D's current folder happens to be: it is never made, and
    // saying it was would send the installation into a folder that is not there.
    if (backslashes == 0) {
        ShowWarning("指示先のフォルダ作成に失敗しました。");
        return 0;
    }
    if (*LastChar(partial) != '\\' && !CreateLevel(partial)) return 0;
    return 1;
}

int CreateFolderPath(const char* path) {
    char folder[kMaxPathBytes];
    if (!CopyBounded(folder, sizeof folder, path)) {
        ShowWarning("指示先のフォルダ作成に失敗しました。");
        return 0;
    }
    StripTrailingBackslash(folder);
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 1;
        ShowWarning("指示先に既にファイルが存在します。");
        return 0;
    }
    if (folder[0] == '\0' || folder[1] != ':') return 0;
    return CreateEachLevel(folder);
}
