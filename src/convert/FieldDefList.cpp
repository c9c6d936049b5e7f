#include "convert/FieldDefList.h"

#include <windows.h>

#include "util/StringPool.h"

FieldDefList::FieldDefList() : definitions_(new StringPool(2048)) {}

FieldDefList::~FieldDefList() {
    delete definitions_;
}

void FieldDefList::Clear() {
    definitions_->Reset();
}

int FieldDefList::Validate(const FieldDef& definition) {
    if (definition.type != kFieldTypeText && definition.type != kFieldTypeDigits) return kBadType;
    int32_t limit = definition.type == kFieldTypeText ? kMaxTextWidth : kMaxDigitsWidth;
    // A negative width would shrink the record buffer below the texts it must hold.
    if (definition.width < 0 || definition.width > limit) return kBadWidth;
    if (definition.flag != 0 && definition.flag != 1) return kBadFlag;
    return kTableOk;
}

// A stored name may fill all 80 bytes without its NUL: compare a terminated copy.
bool SameFieldName(const char* storedName, const char* name) {
    char terminated[kFieldNameBytes + 1];
    CopyMemory(terminated, storedName, kFieldNameBytes);
    terminated[kFieldNameBytes] = '\0';
    return lstrcmpiA(terminated, name) == 0;
}

int FieldDefList::Add(const FieldDef& definition) {
    int result = Validate(definition);
    if (result != kTableOk) return result;
    char name[kFieldNameBytes + 1];
    CopyMemory(name, definition.name, kFieldNameBytes);
    name[kFieldNameBytes] = '\0';
    for (int32_t i = 0; i < definitions_->Count; ++i) {
        if (SameFieldName(definitions_->Data(i), name)) return kDuplicateName;
    }
    return definitions_->Append(&definition, sizeof definition) ? kTableOk : kNoMemory;
}

int32_t FieldDefList::Count() const {
    return definitions_->Count;
}

bool FieldDefList::Get(int32_t index, FieldDef* out) const {
    const char* image = definitions_->Data(index);
    if (image == NULL) return false;
    CopyMemory(out, image, sizeof *out);
    return true;
}
