#include "install/PackageBinding.h"

#include <cstring>

const char kDamagedPackage[] = "kx.pacが壊れています。";

namespace {

// The release build adds this resource: the digest as 64 hexadecimal digits.
const char kDigestResource[] = "PACKAGESHA256";

int HexDigitValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;
}

}  // namespace

bool BoundPackageDigest(BYTE digest[kPackageDigestBytes]) {
    HRSRC found = FindResourceA(NULL, kDigestResource, RT_RCDATA);
    if (found == NULL) return false;
    const char* text = static_cast<const char*>(LockResource(LoadResource(NULL, found)));
    // A resource that is there but unreadable binds the program to no package at all.
    ZeroMemory(digest, kPackageDigestBytes);
    if (text == NULL || SizeofResource(NULL, found) < 2 * kPackageDigestBytes) return true;
    for (DWORD i = 0; i < kPackageDigestBytes; ++i) {
        int high = HexDigitValue(text[2 * i]);
        int low = HexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return true;
        digest[i] = static_cast<BYTE>(high << 4 | low);
    }
    return true;
}

PackageDigestCheck::PackageDigestCheck() : bound_(BoundPackageDigest(expected_)) {}

bool PackageDigestCheck::Start(HANDLE package) {
    if (!bound_) return true;
    HANDLE own = ReOpenFile(package, GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN);
    return own != INVALID_HANDLE_VALUE && sha_.Start(own);
}

bool PackageDigestCheck::Matches() {
    BYTE digest[kPackageDigestBytes];
    return !bound_ || (sha_.Finish(digest) && memcmp(digest, expected_, sizeof digest) == 0);
}
