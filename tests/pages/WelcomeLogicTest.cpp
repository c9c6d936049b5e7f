// The package version and the install record, read from real files as the welcome page does.
#include <gtest/gtest.h>

#include "ByteBuffer.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "pages/WelcomeLogic.h"
#include "shell/WizardState.h"

namespace {

// "PA", the header length, then the header block: 4 bytes of other data, the version code.
std::string Envelope(uint32_t headerLength, const std::string& header) {
    std::string bytes = "PA";
    kx::AppendU32(bytes, headerLength);
    return bytes + header + "PC";
}

std::string HeaderWithVersion(uint32_t version, size_t length) {
    std::string header = "hdr!";
    kx::AppendU32(header, version);
    header.resize(length, '\0');
    return header;
}

class WelcomeLogicTest : public TempFolderTest {
protected:
    std::string VersionOf(const std::string& bytes, int* result) {
        std::string path = Path("kx.pac");
        EXPECT_TRUE(WriteBytes(path, bytes));
        char text[kVersionTextBytes] = "stale";
        *result = ReadPackageVersionFrom(path.c_str(), text);
        return text;
    }
};

TEST_F(WelcomeLogicTest, VersionComesFromBytesFourToSevenOfTheHeaderBlock) {
    int result = 1;
    // Bytes 0x04 0x03 0x02 0x01: the code 0x01020304, major in the top byte.
    EXPECT_EQ("1.2.3.4", VersionOf(Envelope(8, HeaderWithVersion(0x01020304, 8)), &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ("255.0.128.9", VersionOf(Envelope(12, HeaderWithVersion(0xFF008009, 12)), &result));
    EXPECT_EQ(0, result);
    // The largest header block the page's buffer holds.
    EXPECT_EQ("2.0.0.1", VersionOf(Envelope(1024, HeaderWithVersion(0x02000001, 1024)), &result));
    EXPECT_EQ(0, result);
}

TEST_F(WelcomeLogicTest, NoVersionFromAForeignShortOrOversizedPackage) {
    int result = 0;
    std::string good = Envelope(8, HeaderWithVersion(0x01020304, 8));
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty file", ""},
        {"one byte", "P"},
        {"inner archive without envelope", "SZ" + good.substr(2)},
        {"lower-case magic", "pa" + good.substr(2)},
        {"length cut short", good.substr(0, 4)},
        {"header ends before the version", Envelope(7, HeaderWithVersion(0x01020304, 7))},
        {"header longer than the buffer", Envelope(1025, HeaderWithVersion(0x01020304, 1025))},
        {"huge header length", Envelope(0xFFFFFFFFu, HeaderWithVersion(0x01020304, 8))},
        {"file ends inside the header", good.substr(0, 2 + 4 + 7)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ("", VersionOf(c.bytes, &result)) << c.what;
        EXPECT_EQ(-1, result) << c.what;
    }
    char text[kVersionTextBytes] = "stale";
    EXPECT_EQ(-1, ReadPackageVersionFrom(Path("missing.pac").c_str(), text));
    EXPECT_STREQ("", text);
}

TEST_F(WelcomeLogicTest, SubtitleNamesTheVersionOnlyWhenThereIsOne) {
    char subtitle[kTextBufferBytes];
    BuildWelcomeSubtitle("1.2.3.4", subtitle);
    EXPECT_STREQ("ここでは『Korvanto 1.2.3.4』のインストールまたはバージョンアップを行います。", subtitle);
    BuildWelcomeSubtitle("", subtitle);
    EXPECT_STREQ("ここでは『Korvanto』のインストールまたはバージョンアップを行います。", subtitle);
}

class InstallRecordTest : public TempFolderTest {
protected:
    void Read(const std::string& bytes) {
        ASSERT_TRUE(WriteBytes(Path("korvex_inst.dat"), bytes));
        ReadPath(Path("korvex_inst.dat"));
    }
    void ReadPath(const std::string& path) {
        FillMemory(&date_, sizeof date_, 0x5A);
        lstrcpyA(folder_, "stale");
        ReadInstallRecord(path.c_str(), &date_, folder_, sizeof folder_);
    }
    SYSTEMTIME date_;
    char folder_[kInstallFolderBytes];
};

TEST_F(InstallRecordTest, TakesTheDateFromLinesZeroToTwoAndTheFolderFromLineFive) {
    Read("2024\r\n7\r\n15\r\n30512345\r\n1234567\r\nD:\\Apps\\表\\\r\n");
    EXPECT_EQ(2024, date_.wYear);
    EXPECT_EQ(7, date_.wMonth);
    EXPECT_EQ(15, date_.wDay);
    EXPECT_EQ(0, date_.wDayOfWeek);
    EXPECT_EQ(0, date_.wHour);
    EXPECT_EQ(0, date_.wMilliseconds);
    EXPECT_STREQ("D:\\Apps\\表\\", folder_);

    // Blanks and a sign before the number, anything after it.
    Read("  2023x\r\n+3\r\nday\r\n\r\n\r\nC:\\K\r\n");
    EXPECT_EQ(2023, date_.wYear);
    EXPECT_EQ(3, date_.wMonth);
    EXPECT_EQ(0, date_.wDay);
    EXPECT_STREQ("C:\\K", folder_);
}

TEST_F(InstallRecordTest, MissingLinesReadAsNothing) {
    Read("2022\r\n12\r\n");
    EXPECT_EQ(2022, date_.wYear);
    EXPECT_EQ(12, date_.wMonth);
    EXPECT_EQ(0, date_.wDay);
    EXPECT_STREQ("", folder_);

    Read("");
    EXPECT_EQ(0, date_.wYear);
    EXPECT_STREQ("", folder_);

    // A single line without its CR is no complete line: the record counts as empty.
    Read("2021");
    EXPECT_EQ(0, date_.wYear);

    ReadPath(Path("missing.dat"));
    EXPECT_EQ(0, date_.wYear);
    EXPECT_EQ(0, date_.wMonth);
    EXPECT_STREQ("", folder_);
}

TEST_F(InstallRecordTest, AFolderLineTooLongForTheBufferIsNotUsed) {
    std::string fits = "C:\\" + Repeat('a', kInstallFolderBytes - 4);
    Read("2024\r\n1\r\n2\r\n\r\n\r\n" + fits + "\r\n");
    EXPECT_EQ(fits, folder_);
    Read("2024\r\n1\r\n2\r\n\r\n\r\n" + fits + "b\r\n");
    EXPECT_STREQ("", folder_) << "no cut folder, no overflow";
    EXPECT_EQ(2024, date_.wYear) << "the date is still taken";
}

}  // namespace
