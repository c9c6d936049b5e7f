#include "FileHolder.h"

#include "ImportPatch.h"

#include <cstring>

namespace {

// The one hold of the process: the patched calls are plain functions and find it here.
struct Hold {
    FileHolder::Moment moment;
    std::string path;
    DWORD holdMs;
    bool deleteFirst;
    int attempts = 0;
    bool opened = false;
    HANDLE thread = NULL;
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, NULL);    // the holder has the file open, or failed to
    HANDLE release = CreateEventA(NULL, TRUE, FALSE, NULL);  // ends an endless hold
};
Hold* hold = NULL;

template <typename Call>
Call Kernel(const char* name) {
    return SystemFunction<Call>("kernel32.dll", name);
}

DWORD WINAPI HoldFile(void*) {
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (hold->deleteFirst ? FILE_SHARE_DELETE : 0);
    HANDLE file = Kernel<decltype(&CreateFileA)>("CreateFileA")(hold->path.c_str(), GENERIC_READ, share, NULL,
                                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    hold->opened = file != INVALID_HANDLE_VALUE;
    if (hold->opened && hold->deleteFirst) DeleteFileA(hold->path.c_str());
    SetEvent(hold->ready);
    if (!hold->opened) return 0;
    WaitForSingleObject(hold->release, hold->holdMs);
    CloseHandle(file);
    return 0;
}

// Counts a watched call on the held file, starting the hold at the first.
void Meet(FileHolder::Moment moment, const char* path) {
    if (moment != hold->moment || lstrcmpiA(path, hold->path.c_str()) != 0 || hold->attempts++ > 0) return;
    hold->thread = CreateThread(NULL, 0, HoldFile, NULL, 0, NULL);
    WaitForSingleObject(hold->ready, INFINITE);
}

BOOL WINAPI MoveMeetingHold(LPCSTR from, LPCSTR to, DWORD flags) {
    Meet(FileHolder::kRenameOver, to);
    return Kernel<decltype(&MoveFileExA)>("MoveFileExA")(from, to, flags);
}

BOOL WINAPI SetInformationMeetingHold(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information, DWORD size) {
    if (kind == FileRenameInfo) {
        const FILE_RENAME_INFO* rename = static_cast<const FILE_RENAME_INFO*>(information);
        char target[MAX_PATH * 2] = "";
        WideCharToMultiByte(CP_ACP, 0, rename->FileName, static_cast<int>(rename->FileNameLength / sizeof(WCHAR)),
                            target, sizeof target - 1, NULL, NULL);
        // The system's form of the name begins with "\\??\\".
        Meet(FileHolder::kRenameOver, strncmp(target, "\\??\\", 4) == 0 ? target + 4 : target);
    }
    return Kernel<decltype(&SetFileInformationByHandle)>("SetFileInformationByHandle")(file, kind, information, size);
}

HANDLE WINAPI CreateMeetingHold(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE model) {
    if (disposition != OPEN_EXISTING) Meet(FileHolder::kCreate, path);
    return Kernel<decltype(&CreateFileA)>("CreateFileA")(path, access, share, security, disposition, flags, model);
}

}  // namespace

FileHolder::FileHolder(Moment moment, const std::string& path, DWORD holdMs, bool deleteFirst) {
    hold = new Hold{moment, path, holdMs, deleteFirst};
    patches_[1] = NULL;
    if (moment == kRenameOver) {
        patches_[0] = new ImportPatch("kernel32.dll", "MoveFileExA", reinterpret_cast<void*>(MoveMeetingHold));
        patches_[1] = new ImportPatch("kernel32.dll", "SetFileInformationByHandle",
                                      reinterpret_cast<void*>(SetInformationMeetingHold));
    } else {
        patches_[0] = new ImportPatch("kernel32.dll", "CreateFileA", reinterpret_cast<void*>(CreateMeetingHold));
    }
}

FileHolder::~FileHolder() {
    for (ImportPatch* patch : patches_)
        delete patch;
    SetEvent(hold->release);
    if (hold->thread != NULL) {
        WaitForSingleObject(hold->thread, INFINITE);
        CloseHandle(hold->thread);
    }
    CloseHandle(hold->ready);
    CloseHandle(hold->release);
    delete hold;
    hold = NULL;
}

int FileHolder::Attempts() const {
    return hold->attempts;
}

bool FileHolder::Held() const {
    return hold->opened;
}
