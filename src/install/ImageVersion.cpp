#include "install/ImageVersion.h"

#include "install/CopyDecision.h"

namespace {

const uint16_t kPe32Magic = 0x10B;
const uint16_t kPe32PlusMagic = 0x20B;
const uint32_t kResourceDirectoryIndex = 2;
const uint32_t kVersionType = 16;  // RT_VERSION
const uint32_t kVersionName = 1;   // VS_VERSION_INFO
const uint32_t kSubdirectoryBit = 0x80000000u;
const uint32_t kFixedInfoSignature = 0xFEEF04BDu;
const size_t kFixedInfoSize = 52;
const char kVersionKey[] = "VS_VERSION_INFO";

// The image as bytes: every read says whether it fell inside.
class ImageBytes {
public:
    ImageBytes(const unsigned char* bytes, size_t size) : bytes_(bytes), size_(size) {}
    bool Has(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }
    bool U16(uint64_t offset, uint16_t* value) const {
        if (!Has(offset, 2)) return false;
        const unsigned char* p = bytes_ + offset;
        *value = static_cast<uint16_t>(p[0] | p[1] << 8);
        return true;
    }
    bool U32(uint64_t offset, uint32_t* value) const {
        if (!Has(offset, 4)) return false;
        const unsigned char* p = bytes_ + offset;
        *value = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
                 static_cast<uint32_t>(p[3]) << 24;
        return true;
    }

private:
    const unsigned char* bytes_;
    size_t size_;
};

// Where the resource section lies: relative addresses inside it map to file offsets, and no
// read of the resource tree leaves its raw bytes.
struct ResourceSection {
    uint32_t rootAddress = 0;     // relative address of the resource directory
    uint32_t sectionAddress = 0;  // relative address of the section holding it
    uint32_t rawOffset = 0;       // file offset of that section's raw bytes
    uint32_t rawSize = 0;
};

// The section headers and the resource entry of the data directories, from the PE headers.
bool FindResourceSection(const ImageBytes& image, ResourceSection* found) {
    uint16_t mz = 0;
    uint32_t peOffset = 0, peSignature = 0;
    if (!image.U16(0, &mz) || mz != 0x5A4D || !image.U32(0x3C, &peOffset)) return false;
    if (!image.U32(peOffset, &peSignature) || peSignature != 0x00004550) return false;
    uint64_t fileHeader = uint64_t{peOffset} + 4;
    uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!image.U16(fileHeader + 2, &sectionCount) || !image.U16(fileHeader + 16, &optionalSize)) return false;
    uint64_t optional = fileHeader + 20;
    if (!image.U16(optional, &magic)) return false;
    uint64_t directoryCountAt;
    if (magic == kPe32Magic)
        directoryCountAt = 92;
    else if (magic == kPe32PlusMagic)
        directoryCountAt = 108;
    else
        return false;
    uint32_t directoryCount = 0, resourceAddress = 0, resourceSize = 0;
    uint64_t resourceEntry = directoryCountAt + 4 + 8 * kResourceDirectoryIndex;
    if (resourceEntry + 8 > optionalSize || !image.U32(optional + directoryCountAt, &directoryCount) ||
        directoryCount <= kResourceDirectoryIndex || !image.U32(optional + resourceEntry, &resourceAddress) ||
        !image.U32(optional + resourceEntry + 4, &resourceSize) || resourceAddress == 0 || resourceSize == 0)
        return false;
    uint64_t sections = optional + optionalSize;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        uint64_t header = sections + 40 * uint64_t{i};
        uint32_t address = 0, rawSize = 0, rawOffset = 0;
        if (!image.U32(header + 12, &address) || !image.U32(header + 16, &rawSize) ||
            !image.U32(header + 20, &rawOffset))
            return false;
        if (resourceAddress < address || resourceAddress - address >= rawSize) continue;
        if (!image.Has(rawOffset, rawSize)) return false;
        *found = {resourceAddress, address, rawOffset, rawSize};
        return true;
    }
    return false;
}

// A resource directory and its entries, each read only inside the section.
class ResourceTree {
public:
    ResourceTree(const ImageBytes& image, const ResourceSection& section) : image_(image), section_(section) {}

    // The file offset of length bytes at a relative address, when they lie inside the section.
    bool Locate(uint64_t address, uint64_t length, uint64_t* offset) const {
        if (address < section_.sectionAddress) return false;
        uint64_t inSection = address - section_.sectionAddress;
        if (inSection > section_.rawSize || length > section_.rawSize - inSection) return false;
        *offset = section_.rawOffset + inSection;
        return true;
    }

    // The entry of the directory at directoryOffset (from the resource directory) with the numeric
    // id; any entry at all when id is negative. Its target, as an offset from the resource
    // directory, and whether that is a directory.
    bool FindEntry(uint32_t directoryOffset, int64_t id, uint32_t* target, bool* isDirectory) const {
        uint64_t directoryAddress = uint64_t{section_.rootAddress} + directoryOffset, directory = 0;
        uint16_t named = 0, numbered = 0;
        if (!Locate(directoryAddress, 16, &directory) || !image_.U16(directory + 12, &named) ||
            !image_.U16(directory + 14, &numbered))
            return false;
        // Named entries come first; the numbered ones follow them.
        uint32_t first = id < 0 ? 0 : named;
        for (uint32_t i = first; i < uint32_t{named} + numbered; ++i) {
            uint64_t entry = 0;
            uint32_t name = 0, data = 0;
            if (!Locate(directoryAddress + 16 + 8 * uint64_t{i}, 8, &entry) || !image_.U32(entry, &name) ||
                !image_.U32(entry + 4, &data))
                return false;
            if (id >= 0 && ((name & kSubdirectoryBit) != 0 || name != id)) continue;
            *target = data & ~kSubdirectoryBit;
            *isDirectory = (data & kSubdirectoryBit) != 0;
            return true;
        }
        return false;
    }

    // Type, name, then language: always three levels down, so no loop in the tree can hold
    // the walk. The language is the first one there.
    bool FindVersionData(uint64_t* offset, uint32_t* size) const {
        uint32_t names = 0, languages = 0, dataEntry = 0, dataAddress = 0;
        bool isDirectory = false;
        if (!FindEntry(0, kVersionType, &names, &isDirectory) || !isDirectory) return false;
        if (!FindEntry(names, kVersionName, &languages, &isDirectory) || !isDirectory) return false;
        if (!FindEntry(languages, -1, &dataEntry, &isDirectory) || isDirectory) return false;
        uint64_t entry = 0;
        if (!Locate(uint64_t{section_.rootAddress} + dataEntry, 16, &entry) || !image_.U32(entry, &dataAddress) ||
            !image_.U32(entry + 4, size))
            return false;
        return Locate(dataAddress, *size, offset);
    }

private:
    const ImageBytes& image_;
    const ResourceSection& section_;
};

// The VS_VERSIONINFO block: its length, the length of its value, its type, the key in UTF-16
// and, aligned to four bytes from the block's start, the fixed file information.
uint32_t FixedInfoVersion(const ImageBytes& image, uint64_t block, uint32_t size) {
    uint16_t blockLength = 0, valueLength = 0;
    if (!image.U16(block, &blockLength) || !image.U16(block + 2, &valueLength)) return 0;
    if (valueLength < kFixedInfoSize) return 0;
    uint64_t at = block + 6;
    for (size_t i = 0; i < sizeof kVersionKey; ++i, at += 2) {
        uint16_t unit = 0;
        if (!image.U16(at, &unit) || unit != static_cast<unsigned char>(kVersionKey[i])) return 0;
    }
    uint64_t value = block + ((at - block + 3) & ~uint64_t{3});
    if (value - block + kFixedInfoSize > size || value - block + kFixedInfoSize > blockLength) return 0;
    uint32_t signature = 0, mostSignificant = 0, leastSignificant = 0;
    if (!image.U32(value, &signature) || signature != kFixedInfoSignature || !image.U32(value + 8, &mostSignificant) ||
        !image.U32(value + 12, &leastSignificant))
        return 0;
    return PackVersionCode(mostSignificant, leastSignificant);
}

}  // namespace

uint32_t ImageFileVersion(const unsigned char* bytes, size_t size) {
    ImageBytes image(bytes, size);
    ResourceSection section;
    if (!FindResourceSection(image, &section)) return 0;
    ResourceTree tree(image, section);
    uint64_t block = 0;
    uint32_t blockSize = 0;
    if (!tree.FindVersionData(&block, &blockSize)) return 0;
    return FixedInfoVersion(image, block, blockSize);
}
