// Field definitions of an address file and the ordered list that collects them. A FieldDef is
// the 116-byte image stored in the file, so it is copied, written and read as it stands.
#pragma once
#include <cstdint>

class StringPool;

const int32_t kFieldNameBytes = 80;
const int32_t kFieldTypeText = 0;
const int32_t kFieldTypeDigits = 1;
const int32_t kMaxTextWidth = 255;
const int32_t kMaxDigitsWidth = 9;

struct FieldDef {
    char name[kFieldNameBytes];  // NUL-terminated, the rest zero
    int32_t type;                // kFieldTypeText or kFieldTypeDigits
    int32_t width;               // largest length of the field's text in bytes
    int32_t flag;                // 0 or 1
    char reserved[20];           // carried along unchanged
    char unused[4];              // ignored when read
};
static_assert(sizeof(FieldDef) == 116, "a field definition is stored as 116 bytes");

// Result codes shared by the list and the record table; 0 is success everywhere.
enum TableResult {
    kTableOk = 0,
    kNoDefinitions = 50,  // SetFields: empty list
    kIndexPastEnd = 50,   // SetValue: field index beyond the last field
    kNoMemory = 51,
    kTextTooLong = 100,
    kNotDigits = 101,
    kDuplicateName = 200,
    kNoSuchField = 202,  // SetValue: index -1, as FindField reports a missing name
    kFileFailed = 300,   // cannot open, create or (Save) write the file
    kFileDamaged = 302,
    kBadType = 400,
    kBadWidth = 401,
    kBadFlag = 402,
};

// True when a stored name (80 bytes, perhaps without its NUL) equals name under lstrcmpiA.
bool SameFieldName(const char* storedName, const char* name);

// Definitions in the order they were added; names are unique under lstrcmpiA.
class FieldDefList {
public:
    FieldDefList();
    virtual ~FieldDefList();

    void Clear();
    static int Validate(const FieldDef& definition);  // 0, 400, 401 or 402
    int Add(const FieldDef& definition);              // 0, 200 or a Validate code; nothing added on failure

    int32_t Count() const;
    // Copies definition index into out; false outside 0 to Count - 1. Pool entries are not
    // aligned for a FieldDef, so they are copied out rather than handed out.
    bool Get(int32_t index, FieldDef* out) const;

    FieldDefList(const FieldDefList&) = delete;
    FieldDefList& operator=(const FieldDefList&) = delete;

private:
    StringPool* definitions_;
};
