// Whether the install folder decides the data choice of the settings page by itself.
#pragma once

// 1 when the data choice is locked for installFolder, with its forced value in
// *dataBesideProgram: 1 when "korvex.ini" is there already, else 0 when the folder lies in the
// Program Files folder (programFilesPrefix, ending in a backslash; empty when unknown, which
// locks nothing). 0 and *dataBesideProgram untouched when the user may choose.
int LockedDataChoice(const char* installFolder, const char* programFilesPrefix, int* dataBesideProgram);
