#include "FileHolder.h"

#include "ImportPatch.h"

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
    if (hold->opened && hold->deleteFirst) Kernel<decltype(&DeleteFileA)>("DeleteFileA")(hold->path.c_str());
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

BOOL WINAPI DeleteMeetingHold(LPCSTR path) {
    Meet(FileHolder::kDelete, path);
    return Kernel<decltype(&DeleteFileA)>("DeleteFileA")(path);
}

HANDLE WINAPI CreateMeetingHold(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE model) {
    if (disposition != OPEN_EXISTING) Meet(FileHolder::kCreate, path);
    return Kernel<decltype(&CreateFileA)>("CreateFileA")(path, access, share, security, disposition, flags, model);
}

}  // namespace

FileHolder::FileHolder(Moment moment, const std::string& path, DWORD holdMs, bool deleteFirst) {
    hold = new Hold{moment, path, holdMs, deleteFirst};
    const char* function[] = {"MoveFileExA", "DeleteFileA", "CreateFileA"};
    void* meeting[] = {reinterpret_cast<void*>(MoveMeetingHold), reinterpret_cast<void*>(DeleteMeetingHold),
                       reinterpret_cast<void*>(CreateMeetingHold)};
    patch_ = new ImportPatch("kernel32.dll", function[moment], meeting[moment]);
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
