// Points the shell's user folders at test folders for the life of the object, so that the
// pages read and write a test's own install record and never the user's profile.
#pragma once
#include <map>
#include <string>

#include "ImportPatch.h"

class ShellFolderRedirect {
public:
    ShellFolderRedirect();
    ~ShellFolderRedirect();
    // csidl (CSIDL_APPDATA, CSIDL_DESKTOPDIRECTORY, ...) now names the existing folder path;
    // the empty path makes the shell know no such folder.
    void Set(int csidl, const std::string& path);
    bool Applied() const { return patch_.Applied(); }

private:
    ImportPatch patch_;
};
