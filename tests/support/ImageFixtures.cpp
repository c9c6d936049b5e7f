#include "ImageFixtures.h"

#include <windows.h>

#include <cstring>

#include "TestFiles.h"

const char* const kVersionedFixtures[4] = {"version_1_0_0_0.dll", "version_1_0_256_0.dll", "version_2_1_0_3.dll",
                                           "version_300_4_5_6.dll"};
const char kUnversionedFixture[] = "version_none.dll";

std::string FixturePath(const char* name) {
    return BesideTestProgram(name);
}

std::string FixtureImage(const char* name) {
    return ReadBytes(FixturePath(name));
}

template <typename T>
static T At(const std::string& bytes, size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// The fixtures are intact images built by the linker, so this follows their headers without
// the checks that the reader under test must make.
VersionPlaces FindVersionPlaces(const std::string& image) {
    VersionPlaces places;
    size_t nt = At<IMAGE_DOS_HEADER>(image, 0).e_lfanew;
    size_t fileHeader = nt + 4, optional = fileHeader + sizeof(IMAGE_FILE_HEADER);
    IMAGE_FILE_HEADER header = At<IMAGE_FILE_HEADER>(image, fileHeader);
    bool plus = At<WORD>(image, optional) == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    size_t directories = optional + (plus ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                          : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
    places.resourceDirectoryEntry = directories + IMAGE_DIRECTORY_ENTRY_RESOURCE * sizeof(IMAGE_DATA_DIRECTORY);
    DWORD rootAddress = At<IMAGE_DATA_DIRECTORY>(image, places.resourceDirectoryEntry).VirtualAddress;
    size_t sections = optional + header.SizeOfOptionalHeader;
    for (WORD i = 0; i < header.NumberOfSections; ++i) {
        size_t at = sections + i * sizeof(IMAGE_SECTION_HEADER);
        IMAGE_SECTION_HEADER section = At<IMAGE_SECTION_HEADER>(image, at);
        if (rootAddress < section.VirtualAddress || rootAddress >= section.VirtualAddress + section.SizeOfRawData)
            continue;
        places.resourceSectionHeader = at;
        auto offsetOf = [&section](DWORD address) -> size_t {
            return section.PointerToRawData + (address - section.VirtualAddress);
        };
        places.root = offsetOf(rootAddress);
        IMAGE_RESOURCE_DIRECTORY root = At<IMAGE_RESOURCE_DIRECTORY>(image, places.root);
        for (int e = 0; e < root.NumberOfNamedEntries + root.NumberOfIdEntries; ++e) {
            size_t entryAt = places.root + sizeof root + e * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY);
            IMAGE_RESOURCE_DIRECTORY_ENTRY entry = At<IMAGE_RESOURCE_DIRECTORY_ENTRY>(image, entryAt);
            if (entry.Name != 16) continue;
            places.typeEntry = entryAt;
            places.nameDirectory = places.root + (entry.OffsetToData & 0x7FFFFFFF);
            size_t nameEntry = places.nameDirectory + sizeof root;
            places.languageDirectory = places.root + (At<DWORD>(image, nameEntry + 4) & 0x7FFFFFFF);
            size_t languageEntry = places.languageDirectory + sizeof root;
            places.dataEntry = places.root + At<DWORD>(image, languageEntry + 4);
            places.block = offsetOf(At<IMAGE_RESOURCE_DATA_ENTRY>(image, places.dataEntry).OffsetToData);
            places.signature = places.block + 40;  // 6 bytes, the 32-byte key, 2 bytes of padding
            places.found = At<DWORD>(image, places.signature) == 0xFEEF04BD;
        }
    }
    return places;
}

std::vector<size_t> StructureOffsets(const VersionPlaces& p) {
    std::vector<size_t> offsets = {0x3C,
                                   p.resourceDirectoryEntry,
                                   p.resourceDirectoryEntry + 4,
                                   p.resourceSectionHeader + 12,
                                   p.resourceSectionHeader + 16,
                                   p.resourceSectionHeader + 20};
    for (size_t directory : {p.root, p.nameDirectory, p.languageDirectory})
        offsets.insert(offsets.end(), {directory + 12, directory + 14, directory + 16, directory + 20});
    offsets.insert(offsets.end(), {p.typeEntry, p.typeEntry + 4, p.dataEntry, p.dataEntry + 4, p.block, p.block + 2,
                                   p.block + 6, p.signature, p.signature + 8, p.signature + 12});
    return offsets;
}

void PutU32At(std::string* bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4 && at + i < bytes->size(); ++i)
        (*bytes)[at + i] = static_cast<char>(value >> (8 * i));
}
