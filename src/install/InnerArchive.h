// The first step of an installation after the install folder: the inner archive "PC" out of the
// package "kx.pac", into the run's temporary archive, checked on the way.
#pragma once
#include <windows.h>

class PackageDigestCheck;
class TemporaryArchive;

// Creates archive and copies into it the inner archive of the package at packagePath: for "PA"
// what follows the header block, for "SZ" the whole file. A header block may carry the inner
// archive's CRC-32: a package that differs from it is refused before a member is extracted. The
// digest check starts on the package here and goes on beside the run (a program bound to its
// package is refused one that differs from its SHA-256 before the copy pass changes anything).
// On success the archive is left held and rewound for its reader. packageTime gets the package's
// last-write time (zero when it cannot be read). 0, or -1 after the message; a refused package
// leaves no archive.
int TakeOutInnerArchive(const char* packagePath, TemporaryArchive* archive, FILETIME* packageTime,
                        PackageDigestCheck* digest);
