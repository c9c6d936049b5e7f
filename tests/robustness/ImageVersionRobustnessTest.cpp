// Thousands of seeded mutations of the fixture DLLs through the portable version reader, each
// image ending right at a page that cannot be read: a read past the buffer faults the test.
// A failing variant is replayed by its seed and number.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "ImageFixtures.h"
#include "SeededRandom.h"
#include "install/ImageVersion.h"

namespace {

// The bytes copied to the end of committed pages, followed by a page without access.
class GuardedBytes {
public:
    explicit GuardedBytes(const std::string& bytes) {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        size_t page = system.dwPageSize, readable = (bytes.size() + page - 1) / page * page;
        base_ = static_cast<unsigned char*>(VirtualAlloc(NULL, readable + page, MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (base_ == NULL || !VirtualProtect(base_ + readable, page, PAGE_NOACCESS, &old)) return;
        data_ = base_ + readable - bytes.size();
        std::memcpy(data_, bytes.data(), bytes.size());
    }
    ~GuardedBytes() {
        if (base_ != NULL) VirtualFree(base_, 0, MEM_RELEASE);
    }
    const unsigned char* Data() const { return data_; }

    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

private:
    unsigned char* base_ = NULL;
    unsigned char* data_ = NULL;
};

const uint32_t kValuesAtBounds[] = {0,       1,          4,           0x10,        0x3C,        0xFFFF,
                                    0x10000, 0x7FFFFFFF, 0x80000000u, 0x80000010u, 0xFFFFFFF0u, 0xFFFFFFFFu};

std::string Mutate(const std::string& image, const std::vector<size_t>& structure, SeededRandom& random) {
    std::string bytes = image;
    size_t head = structure.back() + 64;  // headers and the version resource lie below
    switch (random.Below(4)) {
        case 0:  // flip a few bytes where the reader looks
            for (size_t n = 1 + random.Below(4); n > 0; --n)
                bytes[random.Below(std::min(head, bytes.size()))] ^= static_cast<char>(1 + random.Below(255));
            break;
        case 1:  // cut anywhere before the end of the version resource
            bytes.resize(random.Below(std::min(head, bytes.size())));
            break;
        case 2:  // a structural field with a value at or around a bound
            PutU32At(&bytes, structure[random.Below(structure.size())],
                     kValuesAtBounds[random.Below(sizeof kValuesAtBounds / sizeof *kValuesAtBounds)]);
            break;
        default:  // random bytes over a structural field, then a cut just after it
        {
            size_t at = structure[random.Below(structure.size())];
            PutU32At(&bytes, at, static_cast<uint32_t>(random.Next()));
            bytes.resize(std::min(bytes.size(), at + random.Below(16)));
            break;
        }
    }
    return bytes;
}

// A read outside the image faults, and gtest built by mingw cannot catch that: the process
// names the variant before it ends, so the failure says which one to replay.
char currentVariant[128];

LONG WINAPI ReportFault(EXCEPTION_POINTERS* fault) {
    std::fprintf(stderr, "FAILURE: exception 0x%08lX reading a mutated image: %s\n",
                 static_cast<unsigned long>(fault->ExceptionRecord->ExceptionCode), currentVariant);
    std::fflush(stderr);
    ExitProcess(3);
}

}  // namespace

TEST(ImageVersionRobustnessTest, NoMutationOfTheFixturesReadsOutsideTheImage) {
    const int kVariants = 1500;
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(ReportFault);
    for (size_t f = 0; f < sizeof kVersionedFixtures / sizeof *kVersionedFixtures; ++f) {
        std::string image = FixtureImage(kVersionedFixtures[f]);
        VersionPlaces places = FindVersionPlaces(image);
        ASSERT_TRUE(places.found) << "no version resource in " << kVersionedFixtures[f];
        std::vector<size_t> structure = StructureOffsets(places);
        uint32_t intact = ImageFileVersion(reinterpret_cast<const unsigned char*>(image.data()), image.size());
        SeededRandom random(0x7065766572ULL + f);
        int unchanged = 0, lost = 0;
        for (int variant = 0; variant < kVariants; ++variant) {
            std::snprintf(currentVariant, sizeof currentVariant, "%s, seed 0x%llX, variant %d", kVersionedFixtures[f],
                          0x7065766572ULL + f, variant);
            std::string bytes = Mutate(image, structure, random);
            GuardedBytes guarded(bytes);
            ASSERT_TRUE(bytes.empty() || guarded.Data() != NULL) << "no guarded buffer, error " << GetLastError();
            uint32_t version = ImageFileVersion(guarded.Data(), bytes.size());
            unchanged += version == intact;
            lost += version == 0;
        }
        // Mutations that never reached the structure, or never missed it, would prove little.
        EXPECT_GT(unchanged, kVariants / 20) << kVersionedFixtures[f];
        EXPECT_GT(lost, kVariants / 5) << kVersionedFixtures[f];
    }
    SetUnhandledExceptionFilter(previous);
}
