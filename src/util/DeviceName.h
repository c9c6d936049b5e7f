// Names that Windows gives to devices in every folder: a file so named is the device itself,
// so a copy to it reaches no file at all. Portable: the package tool refuses the same names.
#pragma once
#include <cstddef>
#include <cstring>

// True when the name component of length bytes names a device: CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, COM1 to COM9 or LPT1 to LPT9, in any case, also with an extension or with spaces
// before the extension, as Windows reads them.
inline bool IsDeviceName(const char* part, size_t length) {
    size_t stem = 0;
    while (stem < length && part[stem] != '.')
        ++stem;
    while (stem > 0 && part[stem - 1] == ' ')
        --stem;
    char upper[8] = {0};
    if (stem < 3 || stem >= sizeof upper) return false;
    for (size_t i = 0; i < stem; ++i)
        upper[i] = part[i] >= 'a' && part[i] <= 'z' ? static_cast<char>(part[i] - 'a' + 'A') : part[i];
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (std::strcmp(upper, device) == 0) return true;
    bool numbered = stem == 4 && (std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0);
    return numbered && upper[3] >= '1' && upper[3] <= '9';
}
