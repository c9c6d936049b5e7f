// The fixture DLLs that the build puts beside the test programs, and where the parts of their
// version resource lie, found with the platform's own image structures: the places that the
// version tests damage.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The DLLs that carry a version resource, and the one that has none.
extern const char* const kVersionedFixtures[4];
extern const char kUnversionedFixture[];

std::string FixturePath(const char* name);
std::string FixtureImage(const char* name);  // "" when missing

struct VersionPlaces {
    size_t resourceDirectoryEntry = 0;  // the data directory's address and size
    size_t resourceSectionHeader = 0;
    size_t root = 0;       // the resource directory
    size_t typeEntry = 0;  // the root's entry for the version type
    size_t nameDirectory = 0;
    size_t languageDirectory = 0;
    size_t dataEntry = 0;
    size_t block = 0;      // VS_VERSIONINFO
    size_t signature = 0;  // of the fixed file information
    bool found = false;
};

VersionPlaces FindVersionPlaces(const std::string& image);

// Every offset above, for mutations that aim at the structure.
std::vector<size_t> StructureOffsets(const VersionPlaces& places);

void PutU32At(std::string* bytes, size_t at, uint32_t value);  // what fits inside the bytes
