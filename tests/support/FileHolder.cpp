#include "FileHolder.h"

#include "ImportPatch.h"

namespace {

// The one hold of the process: the patched calls are plain functions and find it here.
struct Hold {
    FileHolder::Moment moment = FileHolder::kRenameOver;
    std::string path;
    DWORD holdMs = 0;
    DWORD share = 0;
    bool deleteFirst = false;
    int attempts = 0;
    bool opened = false;
    DWORD openError = 0;
    HANDLE thread = NULL;
    HANDLE ready = NULL;    // set once the holder has the file open, or failed to
    HANDLE release = NULL;  // set to end an endless hold
};
Hold* hold = NULL;

DWORD WINAPI HoldFile(void*) {
    HANDLE file = SystemFunction<decltype(&CreateFileA)>("kernel32.dll", "CreateFileA")(
        hold->path.c_str(), GENERIC_READ, hold->share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    hold->opened = file != INVALID_HANDLE_VALUE;
    hold->openError = hold->opened ? 0 : GetLastError();
    if (hold->opened && hold->deleteFirst)
        SystemFunction<decltype(&DeleteFileA)>("kernel32.dll", "DeleteFileA")(hold->path.c_str());
    SetEvent(hold->ready);
    if (!hold->opened) return 0;
    WaitForSingleObject(hold->release, hold->holdMs);
    CloseHandle(file);
    return 0;
}

// Counts a watched call on the held file, starting the hold at the first.
void Meet(FileHolder::Moment moment, const char* path) {
    if (hold == NULL || moment != hold->moment || lstrcmpiA(path, hold->path.c_str()) != 0) return;
    if (hold->attempts++ > 0) return;
    hold->thread = CreateThread(NULL, 0, HoldFile, NULL, 0, NULL);
    WaitForSingleObject(hold->ready, INFINITE);
}

BOOL WINAPI MoveMeetingHold(LPCSTR from, LPCSTR to, DWORD flags) {
    Meet(FileHolder::kRenameOver, to);
    return SystemFunction<decltype(&MoveFileExA)>("kernel32.dll", "MoveFileExA")(from, to, flags);
}

BOOL WINAPI DeleteMeetingHold(LPCSTR path) {
    Meet(FileHolder::kDelete, path);
    return SystemFunction<decltype(&DeleteFileA)>("kernel32.dll", "DeleteFileA")(path);
}

HANDLE WINAPI CreateMeetingHold(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE model) {
    if (disposition != OPEN_EXISTING) Meet(FileHolder::kCreate, path);
    return SystemFunction<decltype(&CreateFileA)>("kernel32.dll", "CreateFileA")(path, access, share, security,
                                                                                 disposition, flags, model);
}

}  // namespace

FileHolder::FileHolder(Moment moment, const std::string& path, DWORD holdMs, DWORD share, bool deleteFirst) {
    if (deleteFirst) share |= FILE_SHARE_DELETE;
    hold = new Hold();
    hold->moment = moment;
    hold->path = path;
    hold->holdMs = holdMs;
    hold->share = share;
    hold->deleteFirst = deleteFirst;
    hold->ready = CreateEventA(NULL, TRUE, FALSE, NULL);
    hold->release = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (moment == kRenameOver)
        patch_ = new ImportPatch("kernel32.dll", "MoveFileExA", reinterpret_cast<void*>(MoveMeetingHold));
    else if (moment == kDelete)
        patch_ = new ImportPatch("kernel32.dll", "DeleteFileA", reinterpret_cast<void*>(DeleteMeetingHold));
    else
        patch_ = new ImportPatch("kernel32.dll", "CreateFileA", reinterpret_cast<void*>(CreateMeetingHold));
}

FileHolder::~FileHolder() {
    delete patch_;
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

DWORD FileHolder::HoldError() const {
    return hold->openError;
}
