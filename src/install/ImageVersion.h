// The file version of a program or library image held in memory, found in its resource
// directory as the platform's version service finds it, with no Win32: what kxpack compares
// on any machine. Every read is bounded by the buffer, whatever the image holds.
#pragma once
#include <cstddef>
#include <cstdint>

// The version code of the fixed file information's file version (see PackVersionCode); 0 when
// the image has none: not a PE image, damaged, or a version resource that does not hold it.
uint32_t ImageFileVersion(const unsigned char* image, size_t size);
