#include "shell/SetupInfo.h"

#include <windows.h>

#include "util/GlobalMemory.h"
#include "util/Message.h"

SetupInfo::SetupInfo() : setupFolder(NULL) {
    pathBuffer[0] = '\0';
    char modulePath[kMaxPathBytes];
    DWORD length = GetModuleFileNameA(NULL, modulePath, sizeof modulePath);
    // A path that filled the buffer was cut: keep no folder rather than a wrong one.
    if (length == 0 || length >= sizeof modulePath) length = 0;
    modulePath[length] = '\0';
    *FileNameOf(modulePath) = '\0';
    setupFolder = static_cast<char*>(AllocateLocked(length + 2));
    if (setupFolder == NULL) {
        ShowWarning("パスの領域確保に失敗しました。");
        return;
    }
    lstrcpyA(setupFolder, modulePath);
}

SetupInfo::~SetupInfo() {
    FreeLocked(setupFolder);
    setupFolder = NULL;
}

char* SetupInfo::PathBesideSetup(const char* name) {
    // Without a folder (failed allocation) the name stands alone, as beside an empty folder.
    const char* folder = setupFolder != NULL ? setupFolder : "";
    if (lstrlenA(folder) + lstrlenA(name) < static_cast<int>(kMaxPathBytes)) {
        lstrcpyA(pathBuffer, folder);
        lstrcatA(pathBuffer, name);
        return pathBuffer;
    }
    ShowWarning("ファイル名が長すぎます。");
    if (!CopyBounded(pathBuffer, kMaxPathBytes, name)) pathBuffer[0] = '\0';
    return pathBuffer;
}
