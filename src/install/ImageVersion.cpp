#include "install/ImageVersion.h"

#include "install/CopyDecision.h"

namespace {

const uint16_t kPe32Magic = 0x10B;
const uint16_t kPe32PlusMagic = 0x20B;
const uint32_t kResourceDirectoryIndex = 2;
const uint32_t kVersionType = 16;  // RT_VERSION
const uint32_t kVersionName = 1;   // VS_VERSION_INFO
const uint32_t kSubdirectoryBit = 0x80000000u;
const size_t kFixedInfoSize = 52;

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

    // The target of an entry of the directory at directoryOffset, as an offset from the
    // resource directory, when the entry is a directory as wanted: the entry with the numeric
    // id, searched by halves among the numbered entries (they follow the named ones in
    // ascending order) as the platform's loader searches; with a negative id the first entry of
    // the wanted kind.
    bool FindEntry(uint32_t directoryOffset, int64_t id, bool wantDirectory, uint32_t* target) const {
        uint64_t directoryAddress = uint64_t{section_.rootAddress} + directoryOffset, directory = 0;
        uint16_t named = 0, numbered = 0;
        if (!Locate(directoryAddress, 16, &directory) || !image_.U16(directory + 12, &named) ||
            !image_.U16(directory + 14, &numbered))
            return false;
        int64_t low = id < 0 ? 0 : named, high = int64_t{named} + numbered - 1;
        while (low <= high) {
            int64_t at = id < 0 ? low : (low + high) / 2;
            uint64_t entry = 0;
            uint32_t name = 0, data = 0;
            if (!Locate(directoryAddress + 16 + 8 * static_cast<uint64_t>(at), 8, &entry) ||
                !image_.U32(entry, &name) || !image_.U32(entry + 4, &data))
                return false;
            bool isDirectory = (data & kSubdirectoryBit) != 0;
            int64_t entryId = name & 0xFFFF;
            if (id < 0 ? isDirectory == wantDirectory : entryId == id) {
                *target = data & ~kSubdirectoryBit;
                return isDirectory == wantDirectory;
            }
            if (id < 0)
                ++low;
            else if (entryId > id)
                high = at - 1;
            else
                low = at + 1;
        }
        return false;
    }

    // Type, name, then language: always three levels down, so no loop in the tree can hold
    // the walk. The language is the first one there.
    bool FindVersionData(uint64_t* offset, uint32_t* size) const {
        uint32_t names = 0, languages = 0, dataEntry = 0, dataAddress = 0;
        if (!FindEntry(0, kVersionType, true, &names) || !FindEntry(names, kVersionName, true, &languages) ||
            !FindEntry(languages, -1, false, &dataEntry))
            return false;
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

// The VS_VERSIONINFO block: its length, the length of its value, its type, a UTF-16 key and,
// aligned to four bytes from the block's start, the fixed file information. The version
// service checks neither the key's text ("VS_VERSION_INFO") nor the signature (0xFEEF04BD):
// a file whose key or signature is damaged still has its version for the setup program, so
// it has it here too. Only the key's length places the value.
uint32_t FixedInfoVersion(const ImageBytes& image, uint64_t block, uint32_t size) {
    uint16_t valueLength = 0, unit = 1;
    if (!image.U16(block + 2, &valueLength) || valueLength < kFixedInfoSize) return 0;
    uint64_t at = block + 6;
    for (; unit != 0 && at - block < size; at += 2)
        if (!image.U16(at, &unit)) return 0;
    uint64_t value = (at - block + 3) & ~uint64_t{3};
    uint32_t mostSignificant = 0, leastSignificant = 0;
    if (unit != 0 || value + kFixedInfoSize > size || !image.U32(block + value + 8, &mostSignificant) ||
        !image.U32(block + value + 12, &leastSignificant))
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
