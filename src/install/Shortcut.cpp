#include "install/Shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "shell/ShellFolders.h"
#include "util/HeldFile.h"
#include "util/PathUtil.h"

int CreateShortcut(unsigned int kind, const char* name, const char* target, const char* subfolder) {
    // The shell folder followed by the subfolder, or by the link name when there is none.
    char located[kMaxPathBytes];
    ShellFolder* shellFolder = new ShellFolder();
    bool found = CopyBounded(located, sizeof located, shellFolder->Locate(kind, subfolder != NULL ? subfolder : name));
    delete shellFolder;
    if (!found || located[0] == '\0') return 0;
    // The whole path must fit before anything is created: a cut path names another file.
    char linkPath[kMaxPathBytes];
    lstrcpyA(linkPath, located);
    if (subfolder != NULL &&
        !(AppendBounded(linkPath, sizeof linkPath, "\\") && AppendBounded(linkPath, sizeof linkPath, name))) {
        return 0;
    }
    if (!AppendBounded(linkPath, sizeof linkPath, ".lnk")) return 0;
    if (subfolder != NULL) CreateDirectoryA(located, NULL);
    return SaveShellLink(linkPath, NULL, target, "", "");
}

// Explorer and scanners read every new link file, so one left by an earlier run may be held.
// The link object reports a file error as a Win32 or a storage code; both carry the Win32 error.
static bool SaveLinkFile(IPersistFile* file, const WCHAR* widePath, const char* linkPath) {
    return RetryWhileHeld(
        [&] {
            HRESULT saved = file->Save(widePath, TRUE);
            if (SUCCEEDED(saved)) return true;
            bool carriesError =
                HRESULT_FACILITY(saved) == FACILITY_WIN32 || HRESULT_FACILITY(saved) == FACILITY_STORAGE;
            SetLastError(carriesError ? HRESULT_CODE(saved) : ERROR_GEN_FAILURE);
            return false;
        },
        linkPath);
}

static int WriteLink(IShellLinkA* link, IPersistFile* file, const char* linkPath, const char* description,
                     const char* target, const char* workingDirectory, const char* arguments) {
    if (FAILED(link->SetPath(target)) || FAILED(link->SetDescription(description)) ||
        FAILED(link->SetWorkingDirectory(workingDirectory)) || FAILED(link->SetArguments(arguments))) {
        return 0;
    }
    // A path that does not fit the wide buffer is refused, never cut.
    WCHAR widePath[kMaxPathBytes];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, kMaxPathBytes) == 0) return 0;
    return SaveLinkFile(file, widePath, linkPath) ? 1 : 0;
}

int SaveShellLink(const char* linkPath, const char* description, const char* target, const char* workingDirectory,
                  const char* arguments) {
    CoInitialize(NULL);
    int result = 0;
    IShellLinkA* link = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = NULL;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            result = WriteLink(link, file, linkPath, description, target, workingDirectory, arguments);
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return result;
}
