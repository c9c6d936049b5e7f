// Byte-exact test files: build the bytes with the kx::Append* helpers, write them here, and
// read back what the code under test wrote.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

bool WriteBytes(const std::string& path, const std::string& bytes);  // creates or replaces
std::string ReadBytes(const std::string& path);                      // "" when unreadable
bool PathExists(const std::string& path);                            // file or folder
bool IsFolder(const std::string& path);
uint64_t LastWriteTime(const std::string& path);  // FILETIME as one value; 0 when unreadable
bool SetLastWriteTime(const std::string& path, uint64_t fileTime);
std::string Repeat(char byte, size_t count);
// A file that the build put beside the running test program.
std::string BesideTestProgram(const std::string& name);
// The file header of a program or library image; false when the file holds none.
bool ReadImageFileHeader(const std::string& path, IMAGE_FILE_HEADER* header);
// The DLLs that an image imports at its start, as its import table names them.
std::vector<std::string> ImportedDllNames(const std::string& path);
