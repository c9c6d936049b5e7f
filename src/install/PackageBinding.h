// A released setup program carries the SHA-256 of the package that it was built with, inside
// the program, so that the vendor's signature covers it: such a program installs that package
// and no other. A program built without one (the development build, the tests) takes any.
#pragma once
#include <windows.h>

#include "util/BackgroundSha256.h"

const DWORD kPackageDigestBytes = 32;

// What a package that fails its checksum or its binding is told: the same for a damaged package
// and for another one.
extern const char kDamagedPackage[];

// True when this program is bound to a package; digest then holds that package's SHA-256.
bool BoundPackageDigest(BYTE digest[kPackageDigestBytes]);

// The binding's check of one run. The package is hashed on a second thread while the run takes
// out and extracts its archive, and the verdict is waited for only where the run would first
// change an installed name. A program bound to no package has nothing to check.
class PackageDigestCheck {
public:
    PackageDigestCheck();

    // Starts hashing the open package (at its start) through a handle of its own, which shares
    // reading only: nobody changes the package while it is hashed. False when the program is
    // bound and cannot hash it: it cannot tell its own package then.
    bool Start(HANDLE package);
    // Waits for the hash: true when the program takes the package (always when bound to none).
    bool Matches();

    PackageDigestCheck(const PackageDigestCheck&) = delete;
    PackageDigestCheck& operator=(const PackageDigestCheck&) = delete;

private:
    BYTE expected_[kPackageDigestBytes];
    bool bound_;
    BackgroundSha256 sha_;
};
