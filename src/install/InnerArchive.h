// The first step of an installation after the install folder: the inner archive "PC" out of the
// package "kx.pac", into the run's temporary archive, checked on the way.
#pragma once
#include <windows.h>

class TemporaryArchive;

// Creates archive and copies into it the inner archive of the package at packagePath: for "PA"
// what follows the header block, for "SZ" the whole file. A header block may carry the inner
// archive's CRC-32, and a program bound to its package knows the package's SHA-256: a package
// that differs from either is refused before a member is extracted. On success the archive is
// left held and rewound for its reader. packageTime gets the package's last-write time (zero
// when it cannot be read). 0, or -1 after the message; a refused package leaves no archive.
int TakeOutInnerArchive(const char* packagePath, TemporaryArchive* archive, FILETIME* packageTime);
