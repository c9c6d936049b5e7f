#include "convert/CurrentLayout.h"

#include <cstring>

#include "convert/FieldDefList.h"
#include "convert/RecordTable.h"

namespace {
struct LayoutRow {
    const char* name;
    int32_t width;
};

// Digits and the letters of ＦＡＸ and ＨＰ are full-width; the leading H of the H fields is
// the single-byte letter. The application finds its fields by these exact names.
const LayoutRow kCurrentLayout[kCurrentFieldCount] = {
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
}  // namespace

void BuildCurrentLayout(RecordTable* table) {
    FieldDefList* list = new FieldDefList();
    list->Clear();
    for (const LayoutRow& row : kCurrentLayout) {
        FieldDef definition;
        std::memset(&definition, 0, sizeof definition);
        std::memcpy(definition.name, row.name, std::strlen(row.name));
        definition.type = kFieldTypeText;
        definition.width = row.width;
        definition.flag = 0;
        // Without memory for one definition there is none for the next: a layout cut short
        // fails the conversion, with one out-of-memory box instead of one per field.
        if (list->Add(definition) == kNoMemory) break;
    }
    table->SetFields(*list);
    delete list;
}
