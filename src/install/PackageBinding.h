// A released setup program carries the SHA-256 of the package that it was built with, inside
// the program, so that the vendor's signature covers it: such a program installs that package
// and no other. A program built without one (the development build, the tests) takes any.
#pragma once
#include <windows.h>

const DWORD kPackageDigestBytes = 32;

// True when this program is bound to a package; digest then holds that package's SHA-256.
bool BoundPackageDigest(BYTE digest[kPackageDigestBytes]);
