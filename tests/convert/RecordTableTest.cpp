// The record table and the address file format, checked against bytes built by the tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AddressFileBytes.h"
#include "ByteBuffer.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "convert/FieldDefList.h"
#include "convert/RecordTable.h"

namespace {
FieldDef Definition(const StoredField& stored) {
    std::string bytes = DefinitionBytes(stored);
    FieldDef definition;
    std::memcpy(&definition, bytes.data(), sizeof definition);
    return definition;
}

void SetTableFields(RecordTable* table, const std::vector<StoredField>& fields) {
    FieldDefList list;
    for (const StoredField& stored : fields)
        ASSERT_EQ(0, list.Add(Definition(stored)));
    ASSERT_EQ(0, table->SetFields(list));
}

std::string StoredImage(const RecordTable& table, int32_t record) {
    int32_t length = 0;
    const char* image = table.RecordImage(record, &length);
    return image == NULL ? std::string("<none>") : std::string(image, length);
}

// The texts of one record under the table's definitions.
std::vector<std::string> Texts(const RecordTable& table, int32_t record) {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < table.FieldCount(); ++i) {
        const char* text = table.GetFieldText(i, record);
        texts.push_back(text == NULL ? "<null>" : text);
    }
    return texts;
}

std::vector<std::string> FieldNames(const RecordTable& table) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < table.FieldCount(); ++i)
        names.push_back(std::string(table.Field(i).name));
    return names;
}

class RecordTableTest : public TempFolderTest {};
}  // namespace

TEST(FieldDefListTest, ValidatesInOrderAndRefusesNamesEqualIgnoringCase) {
    StoredField stored;
    stored.name = "Memo";
    stored.type = 2;
    stored.width = 300;
    stored.flag = 2;
    EXPECT_EQ(400, FieldDefList::Validate(Definition(stored))) << "type is tested first";
    stored.type = 1;
    EXPECT_EQ(401, FieldDefList::Validate(Definition(stored))) << "then the width";
    stored.width = 9;
    EXPECT_EQ(402, FieldDefList::Validate(Definition(stored))) << "then the flag";
    stored.flag = 1;
    EXPECT_EQ(0, FieldDefList::Validate(Definition(stored)));
    stored.width = 10;
    EXPECT_EQ(401, FieldDefList::Validate(Definition(stored))) << "digits fields hold at most 9";
    stored.type = 0;
    stored.width = 255;
    EXPECT_EQ(0, FieldDefList::Validate(Definition(stored)));
    stored.width = 256;
    EXPECT_EQ(401, FieldDefList::Validate(Definition(stored)));
    stored.width = -1;
    EXPECT_EQ(401, FieldDefList::Validate(Definition(stored))) << "a negative width would shrink the record buffer";

    FieldDefList list;
    stored.width = 20;
    EXPECT_EQ(0, list.Add(Definition(stored)));
    StoredField upper = stored;
    upper.name = "MEMO";
    EXPECT_EQ(200, list.Add(Definition(upper)));
    stored.name = "名前";
    stored.flag = 5;
    EXPECT_EQ(402, list.Add(Definition(stored)));
    EXPECT_EQ(1, list.Count());
    list.Clear();
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ(0, list.Add(Definition(upper)));
}

TEST(RecordTableEditTest, EncodesTheExampleRecordAndStoresByCurrentRecord) {
    RecordTable table;
    EXPECT_EQ(-1, table.StoreRecord()) << "a table without definitions stores nothing";
    FieldDefList empty;
    EXPECT_EQ(50, table.SetFields(empty));
    SetTableFields(&table, TextFields({"a", "b", "c"}, 5));
    table.ClearValues();
    ASSERT_EQ(0, table.SetValue(0, "A"));
    ASSERT_EQ(0, table.SetValue(2, "BC"));
    ASSERT_EQ(13, table.EncodeRecord());
    const char expected[] = "\x00\x07\x00\x09\x00\x0A\x00\x41\x00\x00\x42\x43\x00";
    EXPECT_EQ(std::string(expected, 13), std::string(table.RecordBuffer(), 13));
    ASSERT_EQ(0, table.StoreRecord());
    ASSERT_EQ(0, table.StoreRecord()) << "the current record stays new: a second store appends";
    EXPECT_EQ(2, table.RecordCount());
    EXPECT_EQ(std::string(expected, 13), StoredImage(table, 1));

    table.SetCurrentRecord(0);
    ASSERT_EQ(0, table.SetValue(1, "xyz"));
    ASSERT_EQ(0, table.StoreRecord());
    EXPECT_EQ(std::vector<std::string>({"A", "xyz", "BC"}), Texts(table, 0));
    EXPECT_EQ(std::vector<std::string>({"A", "", "BC"}), Texts(table, 1));
    table.SetCurrentRecord(2);
    EXPECT_EQ(-1, table.StoreRecord());
    table.SetCurrentRecord(-2);
    EXPECT_EQ(-1, table.StoreRecord());
    EXPECT_EQ(2, table.RecordCount());

    EXPECT_EQ(NULL, table.GetFieldText(3, 0));
    EXPECT_EQ(NULL, table.GetFieldText(-1, 0));
    EXPECT_EQ(NULL, table.GetFieldText(0, 2));
    EXPECT_EQ(NULL, table.GetFieldText(0, -1));
    EXPECT_EQ(1, table.FindField("B"));
    EXPECT_EQ(-1, table.FindField("d"));

    SetTableFields(&table, TextFields({"x"}));
    EXPECT_EQ(0, table.RecordCount()) << "new definitions discard every record";
}

TEST(RecordTableEditTest, SetValueRefusesWhatDoesNotFitAndKeepsThePreviousText) {
    RecordTable table;
    std::vector<StoredField> fields = TextFields({"住所２", "zip"}, 80);
    fields[1].type = 1;
    fields[1].width = 7;
    SetTableFields(&table, fields);
    table.ClearValues();
    std::string eighty;
    for (int i = 0; i < 40; ++i)
        eighty += "漢";
    ASSERT_EQ(80u, eighty.size());
    EXPECT_EQ(0, table.SetValue(0, eighty.c_str())) << "exactly the width";
    EXPECT_EQ(100, table.SetValue(0, (eighty + "x").c_str())) << "one byte more";
    EXPECT_EQ(0, table.SetValue(1, ""));
    EXPECT_EQ(0, table.SetValue(1, "0123456"));
    EXPECT_EQ(100, table.SetValue(1, "01234567"));
    EXPECT_EQ(101, table.SetValue(1, "12a"));
    EXPECT_EQ(101, table.SetValue(1, "１２")) << "full-width digits are not digits";
    EXPECT_EQ(101, table.SetValue(1, "-1"));
    EXPECT_EQ(202, table.SetValue(-1, "x"));
    EXPECT_EQ(50, table.SetValue(2, "x"));
    EXPECT_EQ(50, table.SetValue(-2, "x"));
    ASSERT_EQ(0, table.StoreRecord());
    EXPECT_EQ(std::vector<std::string>({eighty, "0123456"}), Texts(table, 0));
}

TEST_F(RecordTableTest, SavesTheFileByteForByteWithoutDeletedRecords) {
    std::vector<StoredField> fields = TextFields({"name", "tel"}, 20);
    fields[1].type = 1;
    fields[1].width = 9;
    fields[1].flag = 1;
    std::string live = RecordImage({"山田", "0312"});
    std::string deleted = RecordImage({"gone", ""}, 0x80);
    std::string flagged = RecordImage({"kept", "1"}, 0x41);
    ASSERT_TRUE(WriteBytes(Path("in.ndb"), AddressFileBytes(fields, {live, deleted, flagged})));

    RecordTable table;
    ASSERT_EQ(0, table.Load(Path("in.ndb").c_str()));
    ASSERT_EQ(3, table.RecordCount()) << "records load as stored, deleted ones too";
    EXPECT_EQ(deleted, StoredImage(table, 1));
    EXPECT_EQ(2, table.CountLiveRecords());
    EXPECT_EQ(std::vector<std::string>({"gone", ""}), Texts(table, 1));
    table.SetCurrentRecord(1);
    EXPECT_EQ(-1, table.StoreRecord()) << "a deleted record is never replaced";
    EXPECT_EQ(deleted, StoredImage(table, 1));

    ASSERT_EQ(0, table.Save(Path("out.ndb").c_str()));
    EXPECT_EQ(AddressFileBytes(fields, {live, flagged}), ReadBytes(Path("out.ndb")));

    EXPECT_EQ(300, table.Save(Temp().WindowsPath().c_str())) << "a folder cannot be created as a file";
    // The device takes the file's creation and refuses every write: the disk is full.
    HANDLE full = CreateFileA("Z:\\dev\\full", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, full) << "the failure must come from a write";
    CloseHandle(full);
    EXPECT_EQ(300, table.Save("Z:\\dev\\full"));
    EXPECT_EQ(300, table.Load(Path("missing.ndb").c_str()));
    EXPECT_EQ(2, table.FieldCount()) << "a file that cannot be opened leaves the table as it was";
    EXPECT_EQ(3, table.RecordCount());
}

TEST_F(RecordTableTest, ShortOrEmptyFilesLoadAsTablesWithoutDefinitions) {
    std::string zeroCount;
    kx::AppendU32(zeroCount, 0);
    const std::string cases[] = {"", std::string("\x05", 1), std::string("\x05\x00\x00", 3), zeroCount,
                                 AddressFileBytes({}, {})};
    for (const std::string& bytes : cases) {
        ASSERT_TRUE(WriteBytes(Path("f.ndb"), bytes));
        RecordTable table;
        SetTableFields(&table, TextFields({"old"}));
        table.StoreRecord();
        EXPECT_EQ(0, table.Load(Path("f.ndb").c_str())) << bytes.size() << " bytes";
        EXPECT_EQ(0, table.FieldCount());
        EXPECT_EQ(0, table.RecordCount());
    }
}

TEST_F(RecordTableTest, DroppedDefinitionsDoNotShiftTheValuesOfTheKeptOnes) {
    std::vector<StoredField> fields = TextFields({"名前", "bad", "カナ", "名前", "tel"}, 20);
    fields[1].type = 7;  // fails validation
    // fields[3] repeats the first name
    ASSERT_TRUE(WriteBytes(Path("f.ndb"), AddressFileBytes(fields, {RecordImage({"山田", "x", "ヤマダ", "y", "03"}),
                                                                    RecordImage({"", "b", "", "c", "06"}, 0x80)})));
    RecordTable table;
    ASSERT_EQ(0, table.Load(Path("f.ndb").c_str()));
    EXPECT_EQ(std::vector<std::string>({"名前", "カナ", "tel"}), FieldNames(table));
    ASSERT_EQ(2, table.RecordCount());
    EXPECT_EQ(std::vector<std::string>({"山田", "ヤマダ", "03"}), Texts(table, 0));
    EXPECT_EQ(std::vector<std::string>({"", "", "06"}), Texts(table, 1));
    EXPECT_EQ(1, table.CountLiveRecords()) << "the status byte is kept";
}

TEST_F(RecordTableTest, DamagedFilesFailWholeInsteadOfLosingTheRecordsAfterTheDamage) {
    std::vector<StoredField> fields = TextFields({"a", "b"}, 4);
    std::string good = RecordImage({"ab", "c"});
    std::string file = AddressFileBytes(fields, {good, good});
    size_t firstEntry = 4 + 2 * 116 + 8;
    // The record buffer holds (4 + 1) * 2 + 2 * 2 + 25 = 39 bytes: an image of 38 and its NUL.
    std::string bufferSized = RecordImage({"abcd", "abcd"}) + std::string(23, 'x');

    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string hugeCount = file;
    hugeCount.replace(0, 4, "\xFF\xFF\xFF\x7F", 4);
    std::string oneShort = file.substr(0, 4 + 116 + 115);
    std::vector<std::string> names;
    for (int i = 0; i < 1025; ++i)
        names.push_back("f" + std::to_string(i));
    std::string tooManyFields = AddressFileBytes(TextFields(names, 1), {});
    std::string longEntry = file.substr(0, firstEntry) + RecordEntry(bufferSized + "y") + RecordEntry(good);
    std::string cutEntry = file.substr(0, file.size() - 6);
    std::string cutLength = file.substr(0, firstEntry + 2);
    std::string noTable = file.substr(0, firstEntry) + RecordEntry(std::string("\0\x05\0", 3)) + RecordEntry(good);
    std::string outside = RecordImage({"ab", "c"});
    outside[3] = 10;  // one past the image's last byte
    std::string unended = RecordImage({"ab", "c"});
    unended.back() = 'z';  // the last text runs to the end of the image without its NUL
    std::string unendedFile = file.substr(0, firstEntry) + RecordEntry(unended);
    unendedFile[unendedFile.size() - 1] = 'z';  // and no NUL after the image either
    const Case cases[] = {
        {"definition count beyond the file", hugeCount},
        {"file ends inside a definition", oneShort},
        {"more definitions than any address book has", tooManyFields},
        {"entry longer than the record buffer", longEntry},
        {"entry cut short", cutEntry},
        {"length word cut short", cutLength},
        {"offset table longer than the image", noTable},
        {"offset outside the image", file.substr(0, firstEntry) + RecordEntry(outside) + RecordEntry(good)},
        {"text without its NUL", unendedFile + std::string(4, '\0')},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(Path("bad.ndb"), c.bytes));
        RecordTable table;
        EXPECT_EQ(302, table.Load(Path("bad.ndb").c_str())) << c.what;
        EXPECT_EQ(0, table.FieldCount()) << c.what;
        EXPECT_EQ(0, table.RecordCount()) << c.what;
    }

    // The record buffer is exactly large enough: an entry of its size still loads.
    ASSERT_TRUE(
        WriteBytes(Path("full.ndb"), file.substr(0, firstEntry) + RecordEntry(bufferSized) + std::string(4, '\0')));
    RecordTable table;
    ASSERT_EQ(0, table.Load(Path("full.ndb").c_str()));
    EXPECT_EQ(1, table.RecordCount());
    // A file that ends cleanly between entries lost nothing that could be read.
    ASSERT_TRUE(WriteBytes(Path("open.ndb"), file.substr(0, file.size() - 4)));
    ASSERT_EQ(0, table.Load(Path("open.ndb").c_str()));
    EXPECT_EQ(2, table.RecordCount());
}
