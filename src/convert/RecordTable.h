// The records of one address file in memory, with its field definitions, and the file format
// they are read from and written to. The table owns its definitions, its two pools and the
// record buffer; texts from GetFieldText point into the records pool.
//
// A record image: a status byte (bit 7 marks a deleted record), one 16-bit offset per field
// counted from the image's first byte, then every field's text followed by a NUL.
// The address file: int32 n, n FieldDef images, two reserved int32 words, then entries of
// int32 L and L bytes (the image and one NUL), ended by an int32 0. Integers are little-endian.
#pragma once
#include <cstdint>

#include "convert/FieldDefList.h"

class StringPool;
class AddressFileReader;
class StoredLayout;

const uint8_t kDeletedRecord = 0x80;

class RecordTable {
public:
    RecordTable();
    virtual ~RecordTable();

    void ReleaseFields();
    int SetFields(const FieldDefList& list);  // 0, 50 or 51; discards every record
    int FindField(const char* name) const;    // index of the first field of that name, or -1

    int ClearValues();                              // starts a new record; 0 or 51
    int SetValue(int32_t index, const char* text);  // 0, 50, 100, 101 or 202
    int EncodeRecord();                             // image of the current values in the record buffer
    int CountLiveRecords() const;
    int StoreRecord();  // appends (new record) or replaces the current one; -1 when it cannot
    const char* GetFieldText(int32_t field, int32_t record) const;  // null when there is no such text

    int Load(const char* path);  // 0, 300 or 302
    int Save(const char* path);  // 0 or 300

    int32_t FieldCount() const { return fieldCount_; }
    const FieldDef& Field(int32_t index) const { return fields_[index]; }  // 0 to FieldCount - 1
    int32_t RecordCount() const;
    const char* RecordImage(int32_t record, int32_t* length) const;  // null outside the records
    const char* RecordBuffer() const { return recordBuffer_; }
    void SetCurrentRecord(int32_t record) { currentRecord_ = record; }  // -1 for a new record

    RecordTable(const RecordTable&) = delete;
    RecordTable& operator=(const RecordTable&) = delete;

private:
    bool EmptyValues(int32_t count);  // values 0 to count-1 empty; false without memory
    int LoadTable(AddressFileReader& reader);
    int LoadRecords(AddressFileReader& reader, const StoredLayout& layout);

    int32_t fieldCount_;
    FieldDef* fields_;
    int32_t currentRecord_;
    StringPool* records_;
    StringPool* values_;
    char* recordBuffer_;
    int32_t recordBufferSize_;
};
