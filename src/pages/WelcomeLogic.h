// What the welcome page learns before it is shown: the package's version from the header block
// of "kx.pac", and the date and folder of the previous installation from its install record.
#pragma once
#include <windows.h>

#include <cstddef>

// versionText (kVersionTextBytes) = "a.b.c.d" from the header block of the package at
// packagePath; 0 when read, -1 (versionText empty) for a missing, foreign or damaged package.
int ReadPackageVersionFrom(const char* packagePath, char* versionText);

// The same for "kx.pac" beside the setup program, into packageVersionText.
int ReadPackageVersion();

// Reads the install record: year, month and day from lines 0 to 2 into date (the rest zero),
// the folder of line 5 into folder. Both are cleared first; a folder line that does not fit
// folderSize is not used.
void ReadInstallRecord(const char* recordPath, SYSTEMTIME* date, char* folder, size_t folderSize);

// The record in the application-data folder into previousInstallDate and installFolder; both
// cleared when there is none.
void ReadPreviousInstallation();

// out (kTextBufferBytes) = the welcome subtitle, naming versionText unless it is empty.
void BuildWelcomeSubtitle(const char* versionText, char* out);
