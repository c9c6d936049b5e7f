// The 60 fields of the current layout, typed here from the layout table, and the file it saves.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AddressFileBytes.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "convert/CurrentLayout.h"
#include "convert/RecordTable.h"

namespace {
struct ExpectedField {
    const char* name;
    int32_t width;
};

const ExpectedField kExpected[] = {
    {"宛名区分", 1},
    {"印字区分", 1},
    {"名前", 80},
    {"カナ", 80},
    {"敬称", 6},
    {"郵便番号", 10},
    {"都道府県", 15},
    {"住所１", 100},
    {"住所２", 80},
    {"電話番号", 15},
    {"ＦＡＸ", 15},
    {"携帯番号", 15},
    {"メール", 100},
    {"ＨＰ", 100},
    {"勤務先名", 100},
    {"部署", 100},
    {"役職", 80},
    {"勤務先郵便番号", 10},
    {"勤務先都道府県", 15},
    {"勤務先住所１", 100},
    {"勤務先住所２", 80},
    {"勤務先電話番号", 15},
    {"勤務先ＦＡＸ", 15},
    {"勤務先携帯番号", 15},
    {"勤務先メール", 100},
    {"勤務先ＨＰ", 100},
    {"大分類", 30},
    {"小分類", 30},
    {"小分類２", 30},
    {"Hチェック欄", 30},
    {"Hフラグ１", 30},
    {"送信不可", 30},
    {"ニックネーム", 40},
    {"性別", 4},
    {"生年月日", 10},
    {"連名１", 30},
    {"敬称１", 6},
    {"連名２", 30},
    {"敬称２", 6},
    {"連名３", 30},
    {"敬称３", 6},
    {"連名４", 30},
    {"敬称４", 6},
    {"連名５", 30},
    {"敬称５", 6},
    {"連名６", 30},
    {"敬称６", 6},
    {"H連名フラグ", 20},
    {"備考１", 100},
    {"備考２", 100},
    {"備考３", 100},
    {"備考４", 100},
    {"備考５", 100},
    {"メモ", 250},
    {"メモ番号", 30},
    {"顔写真", 250},
    {"H歴更新１", 100},
    {"H歴更新２", 100},
    {"更新日", 20},
    {"登録日", 20},
};

class CurrentLayoutTest : public TempFolderTest {};
}  // namespace

std::vector<StoredField> CurrentLayoutDefinitions() {
    std::vector<StoredField> definitions;
    for (const ExpectedField& field : kExpected) {
        StoredField definition;
        definition.name = field.name;
        definition.width = field.width;
        definitions.push_back(definition);
    }
    return definitions;
}

TEST(CurrentLayoutFieldsTest, HasTheSixtyFieldsWithTheirExactNamesAndWidths) {
    ASSERT_EQ(60u, sizeof kExpected / sizeof kExpected[0]);
    // The digits and the letters of ＦＡＸ are full-width, the H of the H fields half-width.
    EXPECT_EQ(std::string("\x8F\x5A\x8F\x8A\x82\x50", 6), kExpected[7].name);
    EXPECT_EQ(std::string("\x82\x65\x82\x60\x82\x77", 6), kExpected[10].name);
    EXPECT_EQ('H', kExpected[29].name[0]);

    RecordTable table;
    BuildCurrentLayout(&table);
    ASSERT_EQ(60, table.FieldCount());
    int32_t widthSum = 0;
    for (int32_t i = 0; i < 60; ++i) {
        const FieldDef& field = table.Field(i);
        EXPECT_STREQ(kExpected[i].name, field.name) << "field " << i;
        EXPECT_EQ(kExpected[i].width, field.width) << "field " << i;
        EXPECT_EQ(0, field.type) << "field " << i;
        EXPECT_EQ(0, field.flag) << "field " << i;
        EXPECT_EQ(std::string(80 - std::strlen(kExpected[i].name), '\0'),
                  std::string(field.name + std::strlen(kExpected[i].name), field.name + 80))
            << "field " << i;
        EXPECT_EQ(std::string(24, '\0'), std::string(field.reserved, 24)) << "field " << i;
        widthSum += field.width;
    }
    EXPECT_EQ(3088, widthSum);
    EXPECT_EQ(8, table.FindField("住所２"));
    EXPECT_EQ(29, table.FindField("hチェック欄")) << "names compare ignoring case";
    EXPECT_EQ(-1, table.FindField("住所2")) << "a half-width digit is another name";
}

TEST_F(CurrentLayoutTest, SavesSixtyDefinitionsAndRoundTripsFullRecordsByteForByte) {
    RecordTable table;
    BuildCurrentLayout(&table);
    ASSERT_EQ(0, table.Save(Path("empty.ndb").c_str()));
    std::string empty = ReadBytes(Path("empty.ndb"));
    EXPECT_EQ(6976u, empty.size());
    EXPECT_EQ(AddressFileBytes(CurrentLayoutDefinitions(), {}), empty);

    // The widest record: every field filled to its width, double-byte characters where even.
    std::vector<std::string> full;
    for (int32_t i = 0; i < 60; ++i) {
        std::string text;
        while (static_cast<int32_t>(text.size()) + 2 <= kExpected[i].width)
            text += "表";
        if (static_cast<int32_t>(text.size()) < kExpected[i].width) text += "*";
        full.push_back(text);
    }
    std::vector<std::string> partial(60, "");
    partial[2] = "山田 太郎";
    partial[59] = "20240101";
    std::vector<std::vector<std::string>> records = {full, partial, std::vector<std::string>(60, "")};
    std::vector<std::string> images;
    for (const std::vector<std::string>& texts : records) {
        table.ClearValues();
        for (int32_t i = 0; i < 60; ++i)
            ASSERT_EQ(0, table.SetValue(i, texts[i].c_str())) << "field " << i;
        ASSERT_EQ(0, table.StoreRecord());
        images.push_back(RecordImage(texts));
    }
    EXPECT_EQ(3269u, images[0].size()) << "the longest image of the layout";
    ASSERT_EQ(0, table.Save(Path("full.ndb").c_str()));
    EXPECT_EQ(AddressFileBytes(CurrentLayoutDefinitions(), images), ReadBytes(Path("full.ndb")));

    RecordTable loaded;
    ASSERT_EQ(0, loaded.Load(Path("full.ndb").c_str()));
    ASSERT_EQ(60, loaded.FieldCount());
    ASSERT_EQ(3, loaded.RecordCount());
    for (int32_t r = 0; r < 3; ++r) {
        int32_t length = 0;
        const char* image = loaded.RecordImage(r, &length);
        ASSERT_TRUE(image != NULL);
        EXPECT_EQ(images[r], std::string(image, length)) << "record " << r;
    }
    ASSERT_EQ(0, loaded.Save(Path("again.ndb").c_str()));
    EXPECT_EQ(ReadBytes(Path("full.ndb")), ReadBytes(Path("again.ndb")));
}
