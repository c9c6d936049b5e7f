#include "convert/RecordTable.h"

#include <windows.h>

#include <cstring>

#include "util/FileHandle.h"
#include "util/GlobalMemory.h"
#include "util/StringPool.h"
#include "util/WholeFile.h"

namespace {
const int32_t kPoolBlockSize = 2048;
const int32_t kMaxImageBytes = 65535;  // offsets are 16-bit
const int32_t kRecordSlack = 25;       // the record buffer's room beyond the image itself
// No address book comes near this many fields (the current layout has 60). Each definition's
// name is compared with every one before it, so a crafted file with tens of thousands of
// definitions would keep the installer busy for minutes: such a file is taken as damaged.
const uint32_t kMaxStoredFields = 1024;
const DWORD kIoChunkBytes = 64 * 1024;

uint16_t ReadU16(const char* at) {
    uint16_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void WriteU16(char* at, uint32_t value) {
    uint16_t narrow = static_cast<uint16_t>(value);
    std::memcpy(at, &narrow, sizeof narrow);
}
}  // namespace

// Reads the address file through one chunk buffer: records are small, and a system call per
// record would cost more than the conversion itself.
class AddressFileReader {
public:
    explicit AddressFileReader(HANDLE file) : file_(file), chunk_(NULL), filled_(0), next_(0), remaining_(0) {
        LARGE_INTEGER size;
        if (GetFileSizeEx(file, &size)) remaining_ = static_cast<uint64_t>(size.QuadPart);
        chunk_ = static_cast<char*>(AllocateLocked(kIoChunkBytes));
    }
    ~AddressFileReader() { FreeLocked(chunk_); }
    bool IsReady() const { return chunk_ != NULL; }

    // Bytes not yet read, as the file's size tells.
    uint64_t Remaining() const { return remaining_ + (filled_ - next_); }

    // Copies up to count bytes to out and returns how many there were.
    uint32_t Read(void* out, uint32_t count) {
        char* to = static_cast<char*>(out);
        uint32_t done = 0;
        while (done < count) {
            if (next_ == filled_ && !Refill()) break;
            uint32_t take = filled_ - next_;
            if (take > count - done) take = count - done;
            std::memcpy(to + done, chunk_ + next_, take);
            next_ += take;
            done += take;
        }
        return done;
    }

    bool ReadU32(uint32_t* value) { return Read(value, sizeof *value) == sizeof *value; }

    AddressFileReader(const AddressFileReader&) = delete;
    AddressFileReader& operator=(const AddressFileReader&) = delete;

private:
    bool Refill() {
        DWORD got = 0;
        if (!ReadFile(file_, chunk_, kIoChunkBytes, &got, NULL)) got = 0;
        filled_ = got;
        next_ = 0;
        remaining_ = remaining_ > got ? remaining_ - got : 0;
        return got > 0;
    }

    HANDLE file_;
    char* chunk_;
    uint32_t filled_;
    uint32_t next_;
    uint64_t remaining_;
};

// How the records of a file are laid out: by every stored definition, of which the table kept
// those whose stored positions are listed (the others failed validation or repeated a name).
class StoredLayout {
public:
    StoredLayout() : storedCount(0), keptCount(0), keptPositions(NULL), entryLimit(0) {}
    ~StoredLayout() { FreeLocked(keptPositions); }
    bool DroppedAny() const { return keptCount != storedCount; }

    uint32_t storedCount;
    uint32_t keptCount;
    uint32_t* keptPositions;
    uint32_t entryLimit;  // largest L: the record buffer the stored definitions call for

    StoredLayout(const StoredLayout&) = delete;
    StoredLayout& operator=(const StoredLayout&) = delete;
};

RecordTable::RecordTable()
    : fieldCount_(0),
      fields_(NULL),
      currentRecord_(-1),
      records_(new StringPool(kPoolBlockSize)),
      values_(new StringPool(kPoolBlockSize)),
      recordBuffer_(NULL),
      recordBufferSize_(0) {}

RecordTable::~RecordTable() {
    values_->Reset();
    ReleaseFields();
    FreeLocked(recordBuffer_);
    delete records_;
    delete values_;
}

void RecordTable::ReleaseFields() {
    FreeLocked(fields_);
    fields_ = NULL;
    fieldCount_ = 0;
}

int RecordTable::SetFields(const FieldDefList& list) {
    int32_t count = list.Count();
    if (count == 0) return kNoDefinitions;
    int64_t widthSum = 0;
    FieldDef definition;
    for (int32_t i = 0; i < count; ++i) {
        list.Get(i, &definition);
        widthSum += definition.width + 1;
    }
    if (!EmptyValues(count)) return kNoMemory;
    FreeLocked(recordBuffer_);
    recordBufferSize_ = static_cast<int32_t>(widthSum + 2 * static_cast<int64_t>(count) + kRecordSlack);
    recordBuffer_ = static_cast<char*>(AllocateLocked(static_cast<size_t>(recordBufferSize_)));
    ReleaseFields();
    fields_ = static_cast<FieldDef*>(AllocateLocked(static_cast<size_t>(count) * sizeof(FieldDef)));
    if (fields_ == NULL || recordBuffer_ == NULL) {
        ReleaseFields();
        recordBufferSize_ = 0;
        return kNoMemory;
    }
    for (int32_t i = 0; i < count; ++i)
        list.Get(i, &fields_[i]);
    records_->Reset();
    currentRecord_ = -1;
    fieldCount_ = count;
    return kTableOk;
}

int RecordTable::FindField(const char* name) const {
    for (int32_t i = 0; i < fieldCount_; ++i) {
        if (SameFieldName(fields_[i].name, name)) return i;
    }
    return -1;
}

int RecordTable::ClearValues() {
    currentRecord_ = -1;
    return EmptyValues(fieldCount_) ? kTableOk : kNoMemory;
}

// Stops at the first value that cannot be had: every further one would fail too, each with the
// pool's own out-of-memory box.
bool RecordTable::EmptyValues(int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        if (!values_->Put(i, "", 0)) return false;
    }
    return true;
}

static bool IsAllDigits(const char* text, int32_t length) {
    for (int32_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

int RecordTable::SetValue(int32_t index, const char* text) {
    if (index == -1) return kNoSuchField;
    if (index < 0 || index >= fieldCount_) return kIndexPastEnd;
    const FieldDef& field = fields_[index];
    // Look no further than one byte past the width: the text may come from a long stored one.
    int32_t length = 0;
    while (length <= field.width && text[length] != '\0')
        ++length;
    if (length > field.width) return kTextTooLong;
    if (field.type == kFieldTypeDigits && !IsAllDigits(text, length)) return kNotDigits;
    return values_->Put(index, text, length) ? kTableOk : kNoMemory;
}

int RecordTable::EncodeRecord() {
    if (recordBuffer_ == NULL) return 0;
    recordBuffer_[0] = 0;
    uint32_t position = 1 + 2 * static_cast<uint32_t>(fieldCount_);
    for (int32_t i = 0; i < fieldCount_; ++i) {
        WriteU16(recordBuffer_ + 1 + 2 * i, position);
        const StringEntry* value = values_->Entry(i);
        int32_t length = value != NULL && value->data != NULL ? value->length : 0;
        if (length > 0) std::memcpy(recordBuffer_ + position, value->data, static_cast<size_t>(length));
        recordBuffer_[position + length] = '\0';
        position += length + 1;
    }
    return static_cast<int>(position);
}

int RecordTable::CountLiveRecords() const {
    int count = 0;
    for (int32_t i = 0; i < records_->Count; ++i) {
        const char* image = records_->Data(i);
        if (image != NULL && (static_cast<uint8_t>(image[0]) & kDeletedRecord) == 0) ++count;
    }
    return count;
}

int RecordTable::StoreRecord() {
    if (recordBuffer_ == NULL || fieldCount_ == 0) return -1;
    if (currentRecord_ != -1) {
        const char* image = records_->Data(currentRecord_);
        if (image == NULL || (static_cast<uint8_t>(image[0]) & kDeletedRecord) != 0) return -1;
    }
    int length = EncodeRecord();
    // Wide layouts could give positions that no 16-bit offset can hold.
    if (length > kMaxImageBytes) return -1;
    int32_t target = currentRecord_ == -1 ? records_->Count : currentRecord_;
    return records_->Put(target, recordBuffer_, length) ? 0 : -1;
}

int32_t RecordTable::RecordCount() const {
    return records_->Count;
}

const char* RecordTable::RecordImage(int32_t record, int32_t* length) const {
    const StringEntry* entry = records_->Entry(record);
    if (entry == NULL || entry->data == NULL) return NULL;
    *length = entry->length;
    return entry->data;
}

const char* RecordTable::GetFieldText(int32_t field, int32_t record) const {
    if (field < 0 || field >= fieldCount_ || record < 0) return NULL;
    int32_t length = 0;
    const char* image = RecordImage(record, &length);
    if (image == NULL || length < 1 + 2 * (field + 1)) return NULL;
    uint16_t offset = ReadU16(image + 1 + 2 * field);
    return offset < length ? image + offset : NULL;
}

int RecordTable::Load(const char* path) {
    FileHandle file(
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    if (!file.IsOpen()) return kFileFailed;
    ReleaseFields();
    records_->Reset();
    currentRecord_ = -1;
    AddressFileReader reader(file.Get());
    if (!reader.IsReady()) return kNoMemory;
    int result = LoadTable(reader);
    if (result != kTableOk) {
        ReleaseFields();
        records_->Reset();
    }
    return result;
}

// Widths of dropped definitions are not trusted; they still size the entries they may hold.
static int64_t StoredWidth(const FieldDef& definition) {
    if (definition.width < 0) return 0;
    return definition.width > kMaxImageBytes ? kMaxImageBytes : definition.width;
}

static int ReadDefinitions(AddressFileReader& reader, FieldDefList& list, StoredLayout& layout) {
    layout.keptPositions = static_cast<uint32_t*>(AllocateLocked((layout.storedCount + 1) * sizeof(uint32_t)));
    if (layout.keptPositions == NULL) return kNoMemory;
    int64_t limit = 2 * static_cast<int64_t>(layout.storedCount) + kRecordSlack;
    FieldDef definition;
    for (uint32_t i = 0; i < layout.storedCount; ++i) {
        if (reader.Read(&definition, sizeof definition) != sizeof definition) return kFileDamaged;
        limit += StoredWidth(definition) + 1;
        if (list.Add(definition) == kTableOk) layout.keptPositions[layout.keptCount++] = i;
    }
    layout.entryLimit = static_cast<uint32_t>(limit > kMaxImageBytes + 1 ? kMaxImageBytes + 1 : limit);
    return kTableOk;
}

int RecordTable::LoadTable(AddressFileReader& reader) {
    StoredLayout layout;
    // A file too short for its definition count holds no data at all.
    if (!reader.ReadU32(&layout.storedCount)) return kTableOk;
    // Checked before reading, so that a huge count fails at once instead of after a long scan.
    if (layout.storedCount > kMaxStoredFields || layout.storedCount > reader.Remaining() / sizeof(FieldDef))
        return kFileDamaged;
    FieldDefList* list = new FieldDefList();
    list->Clear();
    int result = ReadDefinitions(reader, *list, layout);
    if (result == kTableOk && list->Count() > 0) result = SetFields(*list);
    delete list;
    if (result != kTableOk) return result;
    uint32_t reserved[2];
    if (reader.Read(reserved, sizeof reserved) != sizeof reserved) return kTableOk;
    return LoadRecords(reader, layout);
}

// Every offset must lie inside the image with a NUL after it there, so that every text read
// from the image ends inside it.
static bool IsSoundImage(const char* image, uint32_t length, uint32_t fieldCount) {
    if (length < 1 + 2 * static_cast<uint64_t>(fieldCount)) return false;
    uint32_t lastNul = length;
    while (lastNul > 0 && image[lastNul - 1] != '\0')
        --lastNul;
    if (lastNul == 0) return fieldCount == 0;
    for (uint32_t i = 0; i < fieldCount; ++i) {
        if (ReadU16(image + 1 + 2 * i) >= lastNul) return false;
    }
    return true;
}

// The image again with only the kept fields, each text taken from its own stored position.
// 0 when the result would not fit in an image.
static uint32_t KeepFields(const char* image, const StoredLayout& layout, char* out) {
    out[0] = image[0];
    uint32_t position = 1 + 2 * layout.keptCount;
    for (uint32_t i = 0; i < layout.keptCount; ++i) {
        const char* text = image + ReadU16(image + 1 + 2 * layout.keptPositions[i]);
        size_t length = std::strlen(text);
        if (position + length + 1 > kMaxImageBytes) return 0;
        WriteU16(out + 1 + 2 * i, position);
        std::memcpy(out + position, text, length + 1);
        position += static_cast<uint32_t>(length) + 1;
    }
    return position;
}

int RecordTable::LoadRecords(AddressFileReader& reader, const StoredLayout& layout) {
    char* entry = static_cast<char*>(AllocateLocked(layout.entryLimit));
    char* kept = layout.DroppedAny() ? static_cast<char*>(AllocateLocked(kMaxImageBytes)) : NULL;
    int result = entry != NULL && (kept != NULL || !layout.DroppedAny()) ? kTableOk : kNoMemory;
    while (result == kTableOk) {
        uint32_t length = 0;
        uint32_t got = reader.Read(&length, sizeof length);
        // A file that ends cleanly between entries has lost nothing that could be read.
        if (got == 0 || (got == sizeof length && length == 0)) break;
        if (got != sizeof length || length > layout.entryLimit || reader.Read(entry, length) != length ||
            !IsSoundImage(entry, length - 1, layout.storedCount)) {
            result = kFileDamaged;
            break;
        }
        const char* image = entry;
        uint32_t imageLength = length - 1;
        if (layout.DroppedAny()) {
            image = kept;
            imageLength = KeepFields(entry, layout, kept);
            if (imageLength == 0) result = kFileDamaged;
        }
        if (result == kTableOk && !records_->Append(image, static_cast<int32_t>(imageLength))) result = kNoMemory;
    }
    FreeLocked(entry);
    FreeLocked(kept);
    return result;
}

// Collects output in one chunk buffer and remembers any write that failed.
class AddressFileWriter {
public:
    explicit AddressFileWriter(HANDLE file) : file_(file), chunk_(NULL), used_(0), failed_(false) {
        chunk_ = static_cast<char*>(AllocateLocked(kIoChunkBytes));
        failed_ = chunk_ == NULL;
    }
    ~AddressFileWriter() { FreeLocked(chunk_); }

    void Write(const void* bytes, uint32_t count) {
        const char* from = static_cast<const char*>(bytes);
        while (count > 0 && !failed_) {
            if (used_ == kIoChunkBytes) Flush();
            uint32_t take = kIoChunkBytes - used_;
            if (take > count) take = count;
            std::memcpy(chunk_ + used_, from, take);
            used_ += take;
            from += take;
            count -= take;
        }
    }
    void WriteU32(uint32_t value) { Write(&value, sizeof value); }

    // True when every byte reached the file.
    bool Finish() {
        Flush();
        return !failed_;
    }

    AddressFileWriter(const AddressFileWriter&) = delete;
    AddressFileWriter& operator=(const AddressFileWriter&) = delete;

private:
    void Flush() {
        if (failed_ || used_ == 0) return;
        if (!WriteAll(file_, chunk_, used_)) failed_ = true;
        used_ = 0;
    }

    HANDLE file_;
    char* chunk_;
    uint32_t used_;
    bool failed_;
};

// The file is replaced whole or not at all; a write that fails gives 300 and leaves it as it was.
int RecordTable::Save(const char* path) {
    WholeFileWriter file(path);
    if (!file.IsOpen()) return kFileFailed;
    AddressFileWriter writer(file.Get());
    writer.WriteU32(static_cast<uint32_t>(fieldCount_));
    writer.Write(fields_, static_cast<uint32_t>(fieldCount_) * sizeof(FieldDef));
    writer.WriteU32(0);
    writer.WriteU32(0);
    for (int32_t i = 0; i < records_->Count; ++i) {
        int32_t length = 0;
        const char* image = RecordImage(i, &length);
        if (image == NULL || (static_cast<uint8_t>(image[0]) & kDeletedRecord) != 0) continue;
        writer.WriteU32(static_cast<uint32_t>(length) + 1);
        // The pool keeps a NUL after every entry: it is the entry's trailing byte.
        writer.Write(image, static_cast<uint32_t>(length) + 1);
    }
    writer.WriteU32(0);
    return writer.Finish() && file.Commit() ? kTableOk : kFileFailed;
}
