#include "ShellFolderRedirect.h"

#include <windows.h>
#include <shlobj.h>

namespace {

std::map<int, std::string> g_redirects;

typedef HRESULT(WINAPI* LocateFunction)(HWND, int, LPITEMIDLIST*);

HRESULT WINAPI RedirectedLocation(HWND owner, int csidl, LPITEMIDLIST* items) {
    std::map<int, std::string>::const_iterator found = g_redirects.find(csidl);
    if (found == g_redirects.end()) {
        LocateFunction real = reinterpret_cast<LocateFunction>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("shell32.dll"), "SHGetSpecialFolderLocation")));
        return real(owner, csidl, items);
    }
    *items = found->second.empty() ? NULL : ILCreateFromPathA(found->second.c_str());
    return *items != NULL ? S_OK : E_FAIL;
}

}  // namespace

ShellFolderRedirect::ShellFolderRedirect()
    : patch_("shell32.dll", "SHGetSpecialFolderLocation", reinterpret_cast<void*>(RedirectedLocation)) {}

ShellFolderRedirect::~ShellFolderRedirect() {
    g_redirects.clear();
}

void ShellFolderRedirect::Set(int csidl, const std::string& path) {
    g_redirects[csidl] = path;
}
