// The portable version reader held against the platform's version service: for the fixture
// DLLs and for copies damaged where the service looks, both give the same version code.
#include <gtest/gtest.h>

#include <functional>

#include "ImageFixtures.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "install/FileVersion.h"
#include "install/ImageVersion.h"

namespace {

struct Damage {
    const char* what;
    std::function<void(std::string*, const VersionPlaces&)> apply;
    // Wine's version service itself reads where the damage points and faults: only the portable
    // reader is asked, and it must find no version.
    bool faultsTheService = false;
};

void PutU16At(std::string* bytes, size_t at, uint16_t value) {
    (*bytes)[at] = static_cast<char>(value);
    (*bytes)[at + 1] = static_cast<char>(value >> 8);
}

const Damage kDamages[] = {
    {"not MZ", [](std::string* b, const VersionPlaces&) { (*b)[0] = 'X'; }},
    {"cut inside the resource directory", [](std::string* b, const VersionPlaces& p) { b->resize(p.root + 20); }},
    {"cut inside the fixed file information",
     [](std::string* b, const VersionPlaces& p) { b->resize(p.signature + 10); }},
    {"resource directory outside the image",
     [](std::string* b, const VersionPlaces& p) { PutU32At(b, p.resourceDirectoryEntry, 0x7FFFFFF0); }},
    {"resource section's raw bytes outside the file",
     [](std::string* b, const VersionPlaces& p) { PutU32At(b, p.resourceSectionHeader + 20, 0x7FFFFFF0); }},
    {"type entry loops to the root",
     [](std::string* b, const VersionPlaces& p) { PutU32At(b, p.typeEntry + 4, 0x80000000u); }},
    {"name entry loops to its own directory",
     [](std::string* b, const VersionPlaces& p) {
         PutU32At(b, p.nameDirectory + 20, 0x80000000u | static_cast<uint32_t>(p.nameDirectory - p.root));
     }},
    {"language entry is a directory",
     [](std::string* b, const VersionPlaces& p) {
         PutU32At(b, p.languageDirectory + 20, 0x80000000u | static_cast<uint32_t>(p.languageDirectory - p.root));
     }},
    {"data entry points outside the section",
     [](std::string* b, const VersionPlaces& p) { PutU32At(b, p.dataEntry, 0x7FFFFFF0); }, true},
    {"data entry size huge", [](std::string* b, const VersionPlaces& p) { PutU32At(b, p.dataEntry + 4, 0xFFFFFFF0u); },
     true},
    {"version resource under name 2",
     [](std::string* b, const VersionPlaces& p) { PutU32At(b, p.nameDirectory + 16, 2); }},
    {"key misspelt", [](std::string* b, const VersionPlaces& p) { (*b)[p.block + 6] = 'W'; }},
    {"value shorter than the fixed file information",
     [](std::string* b, const VersionPlaces& p) { PutU16At(b, p.block + 2, 20); }},
    {"signature wrong", [](std::string* b, const VersionPlaces& p) { (*b)[p.signature] ^= 1; }},
    {"another language", [](std::string* b, const VersionPlaces& p) { PutU32At(b, p.languageDirectory + 16, 0x411); }},
};

}  // namespace

class ImageVersionTest : public TempFolderTest {
protected:
    // Both readings of the same bytes, the service's from a file.
    void ExpectAgreement(const std::string& bytes, const std::string& what, bool intact, bool askService = true) {
        std::string path = Path("image.dll");
        ASSERT_TRUE(WriteBytes(path, bytes)) << path << ", error " << GetLastError();
        uint32_t portable = ImageFileVersion(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        uint32_t service = askService ? PackedFileVersion(path.c_str()) : 0;
        EXPECT_EQ(service, portable) << what << std::hex << ": service 0x" << service << ", portable 0x" << portable;
        if (intact) {
            EXPECT_NE(0u, portable) << what << ": the intact fixture has a version";
        }
    }
};

TEST_F(ImageVersionTest, AgreesWithTheVersionServiceOnTheFixturesAndDamagedCopies) {
    std::string none = FixtureImage(kUnversionedFixture);
    ASSERT_FALSE(none.empty()) << "missing fixture " << kUnversionedFixture;
    ExpectAgreement(none, kUnversionedFixture, false);
    for (const char* fixture : kVersionedFixtures) {
        std::string image = FixtureImage(fixture);
        VersionPlaces places = FindVersionPlaces(image);
        ASSERT_TRUE(places.found) << "no version resource found in " << fixture;
        ExpectAgreement(image, fixture, true);
        for (const Damage& damage : kDamages) {
            std::string damaged = image;
            damage.apply(&damaged, places);
            ExpectAgreement(damaged, std::string(fixture) + ", " + damage.what, false, !damage.faultsTheService);
        }
    }
}
