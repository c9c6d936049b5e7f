#include "WizardFixture.h"

#include <iostream>

#include "ByteBuffer.h"
#include "TestFiles.h"

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, csidl, NULL, 0, path);
    return path;
}

// The build's own program beside the tests, or the one that KX_SETUP_UNDER_TEST names: the
// release test drives the signed copy of a release folder.
std::string ProgramUnderTest() {
    char path[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("KX_SETUP_UNDER_TEST", path, sizeof path);
    if (length > 0 && length < sizeof path) return path;
    GetModuleFileNameA(NULL, path, sizeof path);
    std::string tests = path;
    tests = tests.substr(0, tests.rfind('\\'));
    return tests.substr(0, tests.rfind('\\')) + "\\kx_setup.exe";
}

// The program's machine as its file header names it.
static std::string MachineOf(const std::string& program) {
    IMAGE_FILE_HEADER header;
    if (!ReadImageFileHeader(program, &header)) return "no program";
    if (header.Machine == IMAGE_FILE_MACHINE_I386) return "i686, 32-bit";
    if (header.Machine == IMAGE_FILE_MACHINE_AMD64) return "x86_64, 64-bit";
    return "machine " + std::to_string(header.Machine);
}

// Which program the tests drive, said once for the test command's summary: the build whose
// tests run is the build whose program they start.
void SayWhichProgram(const std::string& program) {
    static bool said = false;
    if (said) return;
    said = true;
    std::cout << "kx_setup.exe under test: " << program << " (" << MachineOf(program) << ")" << std::endl;
    EXPECT_EQ(sizeof(void*) == 4 ? "i686, 32-bit" : "x86_64, 64-bit", MachineOf(program));
}

std::string OldAddressFile() {
    const char* names[] = {"名前", "電話番号", "旧メモ"};
    std::string bytes;
    kx::AppendU32(bytes, 3);
    for (const char* name : names) {
        std::string definition = name;
        definition.resize(80, '\0');
        kx::AppendU32(definition, 0);    // text
        kx::AppendU32(definition, 100);  // width
        kx::AppendU32(definition, 0);    // flag
        definition.append(24, '\0');
        bytes += definition;
    }
    kx::AppendU32(kx::AppendU32(bytes, 0), 0);
    const char* texts[] = {"山田 太郎", "03-1234-5678", "消える"};
    std::string image(1, '\0');
    std::string body;
    for (const char* text : texts) {
        kx::AppendU16(image, static_cast<uint16_t>(1 + 2 * 3 + body.size()));
        body += std::string(text) + '\0';
    }
    image += body;
    kx::AppendU32(bytes, static_cast<uint32_t>(image.size() + 1));
    bytes += image + '\0';
    return kx::AppendU32(bytes, 0);
}

uint32_t FieldCount(const std::string& addressFile) {
    uint32_t count = 0;
    kx::ReadU32(addressFile, 0, &count);
    return count;
}

std::string FirstRecordField(const std::string& file, uint32_t field) {
    uint32_t fieldCount = 0;
    if (!kx::ReadU32(file, 0, &fieldCount)) return "";
    size_t image = 4 + 116 * static_cast<size_t>(fieldCount) + 8 + 4;
    size_t at = image + 1 + 2 * field;
    if (at + 2 > file.size()) return "";
    uint16_t offset = static_cast<uint8_t>(file[at]) | static_cast<uint8_t>(file[at + 1]) << 8;
    return std::string(file.c_str() + image + offset);
}
