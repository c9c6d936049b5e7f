#include "pages/SettingsChoice.h"

#include <windows.h>

#include "util/PathUtil.h"

namespace {
const size_t kProbeBytes = kMaxPathBytes + 16;
}

// The prefix ends in a backslash, so "D:\Program Files" itself does not lie inside it.
static bool LiesUnder(const char* folder, const char* prefix) {
    int prefixLength = lstrlenA(prefix);
    if (prefixLength == 0 || lstrlenA(folder) < prefixLength) return false;
    char head[kProbeBytes];
    if (prefixLength >= static_cast<int>(sizeof head)) return false;
    lstrcpynA(head, folder, prefixLength + 1);
    return lstrcmpiA(head, prefix) == 0;
}

static bool HoldsSettingsFile(const char* folder) {
    char settings[kProbeBytes];
    if (!CopyBounded(settings, sizeof settings, folder)) return false;
    StripTrailingBackslash(settings);
    return AppendBounded(settings, sizeof settings, "\\korvex.ini") && FileExists(settings);
}

int LockedDataChoice(const char* installFolder, const char* programFilesPrefix, int* dataBesideProgram) {
    // The settings file wins: data that is kept beside the program stays there.
    if (HoldsSettingsFile(installFolder)) {
        *dataBesideProgram = 1;
        return 1;
    }
    if (LiesUnder(installFolder, programFilesPrefix)) {
        *dataBesideProgram = 0;
        return 1;
    }
    return 0;
}
