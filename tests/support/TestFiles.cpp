#include "TestFiles.h"

#include <cstddef>

bool WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// Shares everything: the run holds its "_" files with write and delete access, and a test may
// look at them meanwhile.
std::string ReadBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, NULL) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint64_t LastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

bool SetLastWriteTime(const std::string& path, uint64_t fileTime) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(fileTime);
    time.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    BOOL ok = SetFileTime(file, NULL, NULL, &time);
    CloseHandle(file);
    return ok != FALSE;
}

std::string Repeat(char byte, size_t count) {
    return std::string(count, byte);
}

std::string BesideTestProgram(const std::string& name) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string folder(path, length);
    return folder.erase(folder.rfind('\\') + 1) + name;
}

namespace {

// The offset of the file header of an image's bytes; 0 when they hold none.
size_t FileHeaderOffset(const std::string& bytes) {
    LONG peOffset = 0;
    if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return 0;
    CopyMemory(&peOffset, &bytes[offsetof(IMAGE_DOS_HEADER, e_lfanew)], sizeof peOffset);
    if (peOffset < 0 || bytes.size() < static_cast<size_t>(peOffset) + 4 + sizeof(IMAGE_FILE_HEADER) ||
        bytes.compare(static_cast<size_t>(peOffset), 4, std::string("PE\0\0", 4)) != 0)
        return 0;
    return static_cast<size_t>(peOffset) + 4;
}

}  // namespace

bool ReadImageFileHeader(const std::string& path, IMAGE_FILE_HEADER* header) {
    std::string bytes = ReadBytes(path);
    size_t at = FileHeaderOffset(bytes);
    if (at == 0) return false;
    CopyMemory(header, &bytes[at], sizeof *header);
    return true;
}

namespace {

// The file offset of an address of the image, through its section table; 0 when no section has it.
size_t FileOffsetOf(const std::string& bytes, size_t sections, WORD count, DWORD address) {
    for (WORD i = 0; i < count; ++i) {
        IMAGE_SECTION_HEADER section;
        if (sections + (i + 1) * sizeof section > bytes.size()) return 0;
        CopyMemory(&section, &bytes[sections + i * sizeof section], sizeof section);
        if (address >= section.VirtualAddress && address < section.VirtualAddress + section.SizeOfRawData)
            return section.PointerToRawData + (address - section.VirtualAddress);
    }
    return 0;
}

}  // namespace

std::vector<std::string> ImportedDllNames(const std::string& path) {
    std::vector<std::string> names;
    std::string bytes = ReadBytes(path);
    size_t at = FileHeaderOffset(bytes);
    if (at == 0) return names;
    IMAGE_FILE_HEADER header;
    CopyMemory(&header, &bytes[at], sizeof header);
    size_t optional = at + sizeof header;
    size_t sections = optional + header.SizeOfOptionalHeader;
    WORD magic = 0;
    if (sections > bytes.size()) return names;
    CopyMemory(&magic, &bytes[optional], sizeof magic);
    size_t directories =
        optional + (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                                           : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
    IMAGE_DATA_DIRECTORY imports;
    CopyMemory(&imports, &bytes[directories + IMAGE_DIRECTORY_ENTRY_IMPORT * sizeof imports], sizeof imports);
    at = FileOffsetOf(bytes, sections, header.NumberOfSections, imports.VirtualAddress);
    for (IMAGE_IMPORT_DESCRIPTOR dll; at != 0 && at + sizeof dll <= bytes.size(); at += sizeof dll) {
        CopyMemory(&dll, &bytes[at], sizeof dll);
        if (dll.Name == 0) break;
        size_t name = FileOffsetOf(bytes, sections, header.NumberOfSections, dll.Name);
        if (name == 0 || name >= bytes.size()) break;
        names.push_back(bytes.c_str() + name);
    }
    return names;
}
