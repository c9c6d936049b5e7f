// Folders whose place depends on the user and the system, found through the shell. Callers
// create the object, call Locate, copy the text out at once and destroy the object.
#pragma once

class AppDataFolder {
public:
    AppDataFolder();
    // The per-user application-data folder + "\" makerFolder + "\" subFolder; with create 1 both
    // are created and proved writable with the marker "make.chk". Empty when not found or not
    // writable. The text lives in the object.
    const char* Locate(const char* makerFolder, const char* subFolder, int create);

private:
    char path_[300];
};

class ShellFolder {
public:
    ShellFolder();
    // The shell folder of the kind (0 Desktop, 1 Startup, 2 Send To, 3 Programs, 4 Documents,
    // 5 "X:\Program Files"), ending in a backslash, then suffix (may be null). Empty when not found.
    const char* Locate(unsigned int kind, const char* suffix);

private:
    char path_[260];
};
