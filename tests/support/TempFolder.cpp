#include "TempFolder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace {
std::atomic<int> g_folderNumber{0};
}

std::string UnixPathOf(const std::string& windowsPath) {
    typedef char*(CDECL * UnixNameFunction)(const WCHAR*);
    static UnixNameFunction toUnix = reinterpret_cast<UnixNameFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == NULL) return "";
    WCHAR wide[MAX_PATH * 2];
    if (MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2) == 0) return "";
    char* unixName = toUnix(wide);
    if (unixName == NULL) return "";
    std::string result = unixName;
    HeapFree(GetProcessHeap(), 0, unixName);
    return result;
}

static void CollectTree(const std::string& folder, const std::string& prefix, std::vector<std::string>* names) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        names->push_back(prefix + name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectTree(folder + "\\" + name, prefix + name + "\\", names);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::vector<std::string> TreeBelow(const std::string& windowsPath) {
    std::vector<std::string> names;
    CollectTree(windowsPath, "", &names);
    std::sort(names.begin(), names.end());
    return names;
}

std::string WindowsTempFolder() {
    char base[MAX_PATH];
    DWORD length = GetTempPathA(sizeof base, base);
    return length > 0 && length < sizeof base ? base : "";
}

void RemoveTree(const std::string& windowsPath) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((windowsPath + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = windowsPath + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    SetFileAttributesA(windowsPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(windowsPath.c_str());
}

TempFolder::TempFolder() {
    std::string base = WindowsTempFolder();
    if (base.empty()) {
        ADD_FAILURE() << "no temporary folder";
        return;
    }
    for (;;) {
        windowsPath_ =
            base + "kxtest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(g_folderNumber++);
        if (CreateDirectoryA(windowsPath_.c_str(), NULL)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create " << windowsPath_;
            return;
        }
    }
    unixPath_ = UnixPathOf(windowsPath_);
}

TempFolder::~TempFolder() {
    if (!windowsPath_.empty()) RemoveTree(windowsPath_);
}

std::vector<std::string> RunFolders() {
    std::string base = WindowsTempFolder();
    std::vector<std::string> folders;
    if (base.empty()) return folders;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "kx-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return folders;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) folders.push_back(base + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return folders;
}

void RemoveRunFolders() {
    for (const std::string& folder : RunFolders())
        RemoveTree(folder);
}

std::string ArchiveIn(const std::string& runFolder) {
    return runFolder + "\\kx.pa_";
}

bool RunToItsEnd(const std::string& program, const std::string& arguments) {
    std::string command = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(program.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return false;
    bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

// Wine starts a Linux program as it starts a Windows one, but neither its end nor its exit code
// can be waited for: the link that it leaves can.
bool LayLink(const std::string& linkPath, const std::string& targetPath) {
    std::string folder = linkPath.substr(0, linkPath.rfind('\\'));
    std::string unixFolder = UnixPathOf(folder);
    std::string unixTarget = UnixPathOf(targetPath);
    if (unixFolder.empty() || unixTarget.empty()) return false;
    std::string unixLink = unixFolder + "/" + linkPath.substr(folder.size() + 1);
    RunToItsEnd("Z:\\bin\\ln", "-sfn \"" + unixTarget + "\" \"" + unixLink + "\"");
    for (int waited = 0; waited < 10000; waited += 10) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(linkPath.c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
            return true;
        }
        Sleep(10);
    }
    return false;
}
