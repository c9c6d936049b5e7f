#include "AddressFileBytes.h"

#include "ByteBuffer.h"

std::string DefinitionBytes(const DefinitionSpec& definition) {
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

std::string AddressFileBytes(const std::vector<DefinitionSpec>& definitions, const std::vector<std::string>& images) {
    std::string bytes;
    kx::AppendU32(bytes, static_cast<uint32_t>(definitions.size()));
    for (const DefinitionSpec& definition : definitions)
        bytes += DefinitionBytes(definition);
    kx::AppendU32(bytes, 0);
    kx::AppendU32(bytes, 0);
    for (const std::string& image : images)
        bytes += RecordEntry(image);
    kx::AppendU32(bytes, 0);
    return bytes;
}

std::vector<DefinitionSpec> TextFields(const std::vector<std::string>& names, int32_t width) {
    std::vector<DefinitionSpec> definitions;
    for (const std::string& name : names) {
        DefinitionSpec definition;
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
