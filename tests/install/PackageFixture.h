// A target folder and a temporary archive for the package reader, with the archives built
// byte by byte by the same writer that kxpack uses.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ByteBuffer.h"
#include "PackageWriter.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "TestPackages.h"

// "PC", a count and a size table, then raw entry bytes as the test writes them.
inline std::string RawArchive(int32_t count, const std::vector<uint32_t>& sizes, const std::string& entries) {
    std::string out = "PC";
    kx::AppendU32(out, static_cast<uint32_t>(count));
    for (uint32_t size : sizes)
        kx::AppendU32(out, size);
    return out + entries;
}

// The fields of one entry up to the file name, with lengths the test chooses.
inline std::string RawEntryStart(uint32_t optionLength, uint32_t subfolderLength, const std::string& subfolderBytes) {
    std::string out;
    kx::AppendU32(out, 0);
    kx::AppendU64(out, kStoredTime);
    kx::AppendU32(out, optionLength);
    out += std::string(optionLength < 300 ? optionLength : 0, '\0');
    kx::AppendU32(out, subfolderLength);
    return out + subfolderBytes;
}

class PackageTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        target = Path("app");
        archive = Path("kx.pa_");
        CreateDirectoryA(target.c_str(), NULL);
    }
    void WriteArchive(const std::string& bytes) { ASSERT_TRUE(WriteBytes(archive, bytes)); }
    void WriteMembers(const std::vector<kx::PackageMember>& members) { WriteArchive(kx::BuildArchive(members)); }
    std::string InTarget(const std::string& relative) const { return target + "\\" + relative; }

    // Every file and folder below the test's folder, relative to it, in a stable order.
    std::vector<std::string> Tree() const { return TreeBelow(Temp().WindowsPath()); }
    std::vector<std::string> TreeOfTarget() const { return TreeBelow(target); }

    std::string target;
    std::string archive;
};
