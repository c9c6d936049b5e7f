// The one record that knows where the running setup program lies; the package and the files
// that ship with it are found beside it. The record owns setupFolder (global heap).
#pragma once
#include "util/PathUtil.h"

class SetupInfo {
public:
    SetupInfo();
    ~SetupInfo();

    // pathBuffer = setupFolder followed by name; the setup folder itself for the empty name.
    // Valid until the next call: callers copy it at once.
    char* PathBesideSetup(const char* name);

    char* setupFolder;  // ends in a backslash; null when it could not be allocated
    char pathBuffer[kMaxPathBytes + 4];

    SetupInfo(const SetupInfo&) = delete;
    SetupInfo& operator=(const SetupInfo&) = delete;
};
