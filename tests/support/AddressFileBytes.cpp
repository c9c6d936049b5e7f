#include "AddressFileBytes.h"

#include "ByteBuffer.h"

std::string DefinitionBytes(const StoredField& definition) {
    std::string bytes = definition.name;
    bytes.resize(80, '\0');
    kx::AppendU32(bytes, static_cast<uint32_t>(definition.type));
    kx::AppendU32(bytes, static_cast<uint32_t>(definition.width));
    kx::AppendU32(bytes, static_cast<uint32_t>(definition.flag));
    bytes.append(24, '\0');
    return bytes;
}

std::string RecordImage(const std::vector<std::string>& texts, uint8_t status) {
    std::string image;
    kx::AppendU8(image, status);
    size_t position = 1 + 2 * texts.size();
    for (const std::string& text : texts) {
        kx::AppendU16(image, static_cast<uint16_t>(position));
        position += text.size() + 1;
    }
    for (const std::string& text : texts) {
        image += text;
        image += '\0';
    }
    return image;
}

std::string RecordEntry(const std::string& image) {
    std::string bytes;
    kx::AppendU32(bytes, static_cast<uint32_t>(image.size() + 1));
    bytes += image;
    bytes += '\0';
    return bytes;
}

std::string AddressFileBytes(const std::vector<StoredField>& definitions, const std::vector<std::string>& images) {
    std::string bytes;
    kx::AppendU32(bytes, static_cast<uint32_t>(definitions.size()));
    for (const StoredField& definition : definitions)
        bytes += DefinitionBytes(definition);
    kx::AppendU32(bytes, 0);
    kx::AppendU32(bytes, 0);
    for (const std::string& image : images)
        bytes += RecordEntry(image);
    kx::AppendU32(bytes, 0);
    return bytes;
}

std::vector<StoredField> TextFields(const std::vector<std::string>& names, int32_t width) {
    std::vector<StoredField> definitions;
    for (const std::string& name : names) {
        StoredField definition;
        definition.name = name;
        definition.width = width;
        definitions.push_back(definition);
    }
    return definitions;
}

::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    return ::testing::AssertionFailure() << "expected " << expected.size() << " bytes, got " << actual.size()
                                         << "; first difference at offset " << at;
}

int CountLiveEntries(const std::string& file) {
    uint32_t count = 0;
    if (!kx::ReadU32(file, 0, &count)) return 0;
    uint64_t at = 4 + 116 * static_cast<uint64_t>(count);
    if (at > file.size()) return -1;
    at += 8;
    int live = 0;
    while (at < file.size()) {
        uint32_t length = 0;
        if (!kx::ReadU32(file, static_cast<size_t>(at), &length)) return -1;
        if (length == 0) break;
        at += 4;
        if (at + length > file.size()) return -1;
        if ((static_cast<uint8_t>(file[static_cast<size_t>(at)]) & 0x80) == 0) ++live;
        at += length;
    }
    return live;
}
