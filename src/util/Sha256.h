// The SHA-256 of a stream of bytes. Where the processor has the SHA instructions (every AMD
// processor since 2017, Intel's since 2019 to 2021) it hashes with them, at well over a gigabyte a
// second; elsewhere the system's own provider does (CryptoAPI, PROV_RSA_AES), at a few hundred
// megabytes a second, and no faster under Wine whatever the processor: there a package of 256 MiB
// took longer to hash than to install.
#pragma once
#include <windows.h>

#include <cstdint>

class Sha256 {
public:
    static const DWORD kDigestBytes = 32;

    // useInstructions: false keeps to the system's provider (the tests compare the two).
    explicit Sha256(bool useInstructions = true);
    ~Sha256();

    // False when neither the instructions nor the provider are to be had.
    bool Start();
    bool Add(const BYTE* bytes, DWORD count);  // false when the provider failed
    bool Finish(BYTE digest[kDigestBytes]);    // once, after the last Add
    bool UsesInstructions() const { return instructions_; }

    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

private:
    void AddBlocks(const BYTE* bytes, size_t blocks);

    bool allowInstructions_;
    bool instructions_;
    ULONG_PTR provider_;
    ULONG_PTR hash_;
    uint32_t state_[8];
    BYTE pending_[64];
    DWORD pendingBytes_;
    uint64_t totalBytes_;
};
