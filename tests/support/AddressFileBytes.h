// Address files built byte by byte, independently of the code that reads and writes them, so
// that a fault in the encoder cannot hide on both sides of a test.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct StoredField {
    std::string name;
    int32_t width = 10;
    int32_t type = 0;
    int32_t flag = 0;
};

// The 116-byte definition image: name padded with zeros to 80 bytes, type, width, flag, 24 zeros.
std::string DefinitionBytes(const StoredField& definition);

// A record image: status byte, one 16-bit offset per text, the texts each with its NUL.
std::string RecordImage(const std::vector<std::string>& texts, uint8_t status = 0);

// One record entry of the file: int32 L, the image, one NUL.
std::string RecordEntry(const std::string& image);

// The whole file: count, definitions, two reserved words, entries, the closing zero.
std::string AddressFileBytes(const std::vector<StoredField>& definitions, const std::vector<std::string>& images);

// Text definitions named as given, each 100 bytes wide.
std::vector<StoredField> TextFields(const std::vector<std::string>& names, int32_t width = 100);

// Walks the record entries of an address file as the format lays them out, without looking
// inside the images: the number of entries whose status byte has bit 7 clear, or -1 when the
// definitions or an entry run past the end of the file.
int CountLiveEntries(const std::string& file);

// Compares two files' bytes, reporting only their sizes and the first difference: address
// files are too long to print.
::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual);
#define EXPECT_SAME_BYTES(expected, actual) EXPECT_TRUE(SameBytes((expected), (actual)))

// The 60 definitions of the current layout, typed from its table (in CurrentLayoutTest.cpp).
std::vector<StoredField> CurrentLayoutDefinitions();
