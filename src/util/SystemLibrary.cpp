#include "util/SystemLibrary.h"

#include <delayimp.h>

#include "util/PathUtil.h"

namespace {

// Whether the system keeps every load to the system folder by itself.
bool g_systemKeepsToItsFolder = false;

HMODULE LoadByFullPath(const char* name) {
    char path[kMaxPathBytes];
    char folder[kMaxPathBytes];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder || !JoinPath(path, sizeof path, folder, name)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return NULL;
    }
    // The DLLs that it needs in turn are then looked for in its own folder first.
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The delay-load helper asks here before it would load a DLL by its bare name.
FARPROC WINAPI LoadDelayedFromSystemFolder(unsigned notice, PDelayLoadInfo info) {
    if (notice != dliNotePreLoadLibrary) return NULL;
    return reinterpret_cast<FARPROC>(LoadSystemLibrary(info->szDll));
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
    SetDllDirectoryA("");
    // Windows 8 and later, and Windows 7 with its update; looked up, since a static import of it
    // would keep the program from starting where it is missing.
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesCall)(DWORD);
    SetDefaultDllDirectoriesCall setDefault = reinterpret_cast<SetDefaultDllDirectoriesCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    g_systemKeepsToItsFolder = setDefault != NULL && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    __pfnDliNotifyHook2 = LoadDelayedFromSystemFolder;
}

HMODULE LoadSystemLibrary(const char* name) {
    if (g_systemKeepsToItsFolder) return LoadLibraryExA(name, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return LoadByFullPath(name);
}

bool EnforceRedirectionTrust() {
    typedef BOOL(WINAPI * SetPolicyCall)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    SetPolicyCall setPolicy = reinterpret_cast<SetPolicyCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetProcessMitigationPolicy")));
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy;
    ZeroMemory(&policy, sizeof policy);
    policy.EnforceRedirectionTrust = 1;
    return setPolicy != NULL && setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}
