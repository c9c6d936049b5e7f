#include "install/Shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "shell/ShellFolders.h"
#include "util/PathUtil.h"
#include "util/WholeFile.h"

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

// The Desktop and the Start menu are the user's, and another of the user's programs may lay a link
// under the shortcut's name, which the link object's own save would write through. So the object
// saves into memory, and the bytes go to the file as every file of the run is replaced: written
// beside, then renamed into place, waiting for a scanner that holds the old one.
static bool WriteLinkFile(IShellLinkA* link, const char* linkPath) {
    IPersistStream* persist = NULL;
    if (FAILED(link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)))) return false;
    IStream* stream = NULL;
    bool written = false;
    if (SUCCEEDED(CreateStreamOnHGlobal(NULL, TRUE, &stream))) {
        LARGE_INTEGER start = {};
        ULARGE_INTEGER size = {};
        HGLOBAL memory = NULL;
        if (SUCCEEDED(persist->Save(stream, TRUE)) && SUCCEEDED(stream->Seek(start, STREAM_SEEK_CUR, &size)) &&
            SUCCEEDED(GetHGlobalFromStream(stream, &memory))) {
            const void* bytes = GlobalLock(memory);
            WholeFileWriter file(linkPath);
            written = bytes != NULL && file.Write(bytes, size.LowPart) && file.Commit();
            if (bytes != NULL) GlobalUnlock(memory);
        }
        stream->Release();
    }
    persist->Release();
    return written;
}

static int WriteLink(IShellLinkA* link, const char* linkPath, const char* description, const char* target,
                     const char* workingDirectory, const char* arguments) {
    if (FAILED(link->SetPath(target)) || FAILED(link->SetDescription(description)) ||
        FAILED(link->SetWorkingDirectory(workingDirectory)) || FAILED(link->SetArguments(arguments))) {
        return 0;
    }
    return WriteLinkFile(link, linkPath) ? 1 : 0;
}

int SaveShellLink(const char* linkPath, const char* description, const char* target, const char* workingDirectory,
                  const char* arguments) {
    CoInitialize(NULL);
    int result = 0;
    IShellLinkA* link = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        result = WriteLink(link, linkPath, description, target, workingDirectory, arguments);
        link->Release();
    }
    CoUninitialize();
    return result;
}
