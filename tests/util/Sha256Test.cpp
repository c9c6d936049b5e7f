// The SHA-256 that binds a release to its package: the processor's SHA instructions and the
// system's provider must give the published digests, and the same digest as each other for any
// bytes, however they are handed in.
#include "util/Sha256.h"

#include <gtest/gtest.h>

#include <string>

#include "SeededRandom.h"

namespace {

std::string Hex(const BYTE* bytes, size_t count) {
    std::string hex;
    char digit[3];
    for (size_t i = 0; i < count; ++i) {
        wsprintfA(digit, "%02x", bytes[i]);
        hex += digit;
    }
    return hex;
}

// The digest of bytes, handed in in pieces of at most piece bytes; "" when the hash fails.
std::string DigestOf(bool instructions, const std::string& bytes, size_t piece) {
    Sha256 sha(instructions);
    if (!sha.Start()) return "";
    for (size_t at = 0; at < bytes.size(); at += piece) {
        size_t count = bytes.size() - at < piece ? bytes.size() - at : piece;
        if (!sha.Add(reinterpret_cast<const BYTE*>(bytes.data() + at), static_cast<DWORD>(count))) return "";
    }
    BYTE digest[Sha256::kDigestBytes];
    return sha.Finish(digest) ? Hex(digest, sizeof digest) : "";
}

bool ProcessorHasTheInstructions() {
    Sha256 sha(true);
    return sha.Start() && sha.UsesInstructions();
}

TEST(Sha256Test, BothWaysGiveThePublishedDigestsAndAgreeOnAnyBytes) {
    const struct {
        std::string bytes;
        const char* digest;
    } published[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    bool instructions = ProcessorHasTheInstructions();
    if (!instructions) std::cout << "this processor has no SHA instructions: only the provider is checked" << std::endl;
    for (const auto& known : published) {
        SCOPED_TRACE(known.bytes.substr(0, 8) + "... (" + std::to_string(known.bytes.size()) + " bytes)");
        EXPECT_EQ(known.digest, DigestOf(false, known.bytes, known.bytes.size() + 1));
        if (instructions) {
            EXPECT_EQ(known.digest, DigestOf(true, known.bytes, known.bytes.size() + 1));
            EXPECT_EQ(known.digest, DigestOf(true, known.bytes, 7)) << "handed in 7 bytes at a time";
        }
    }
    if (!instructions) return;
    // Every length around the block and padding bounds, and a large stream in random pieces.
    SeededRandom random(20261208);
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes.push_back(static_cast<char>(random.Next()));
    for (size_t length = 0; length <= bytes.size(); ++length) {
        std::string prefix = bytes.substr(0, length);
        ASSERT_EQ(DigestOf(false, prefix, 1000), DigestOf(true, prefix, 1 + length % 67)) << length << " bytes";
    }
    std::string large(3 << 20, '\0');
    for (char& c : large)
        c = static_cast<char>(random.Next());
    EXPECT_EQ(DigestOf(false, large, 256 * 1024), DigestOf(true, large, 1 + random.Below(100000))) << "seed 20261208";
}

}  // namespace
