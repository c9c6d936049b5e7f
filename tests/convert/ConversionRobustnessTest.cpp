// Mutated address files through the conversion: whatever the bytes, the address file comes out
// either converted and loadable in the current layout, or exactly as it was. Every case is
// replayable from its number: KX_MUTATION_SEED=<n> runs that one case alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "AddressFileBytes.h"
#include "ByteBuffer.h"
#include "MessageBoxObserver.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "convert/ConversionRun.h"
#include "convert/RecordTable.h"

namespace {
const int kCaseCount = 5000;

std::vector<std::string> BaseFiles() {
    std::vector<StoredField> old = TextFields({"名前", "住所１", "メール", "旧メモ", "名前"}, 60);
    old[3].type = 1;
    old[3].width = 9;
    std::vector<StoredField> current = CurrentLayoutDefinitions();
    std::vector<std::string> sixty(60, "");
    sixty[2] = "山田";
    sixty[53] = "メモ*";
    return {
        AddressFileBytes(old, {RecordImage({"山田 太郎", "東京都千代田区", "a@b.jp", "123", "x"}),
                               RecordImage({"削除", "", "", "", ""}, 0x80), RecordImage({"表示", "", "", "", ""}),
                               RecordImage({"佐藤", "大阪府", "", "9", "y"})}),
        AddressFileBytes(TextFields({"カナ", "hフラグ１"}, 20), {RecordImage({"ヤマダ", "1"}), RecordImage({"", ""})}),
        AddressFileBytes(current, {RecordImage(sixty)}),
        AddressFileBytes({}, {}),
    };
}

uint32_t Interesting(std::mt19937& random, uint32_t fileSize) {
    const uint32_t values[] = {0,   1,    2,     59,    60,         61,          115,         116,      255,
                               256, 3293, 65535, 65536, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, fileSize, fileSize - 12};
    return values[random() % (sizeof values / sizeof values[0])];
}

std::string Mutate(std::string bytes, std::mt19937& random) {
    int mutations = 1 + static_cast<int>(random() % 2);
    for (int m = 0; m < mutations; ++m) {
        size_t size = bytes.size();
        size_t at = size == 0 ? 0 : random() % size;
        // Changes that shift or cut the file make it unreadable nearly every time, and each
        // unreadable file costs a real message box: they come less often than the others.
        const int kinds[] = {0, 0, 0, 1, 1, 1, 2, 3, 3, 4, 5};
        switch (kinds[random() % (sizeof kinds / sizeof kinds[0])]) {
            case 0:  // one byte changed
                if (size > 0) bytes[at] = static_cast<char>(random());
                break;
            case 1: {  // a 32-bit word set to a value that counts or lengths are made of
                if (size < 4) break;
                at = (random() % 2 == 0) ? (at & ~size_t(3)) : at;
                if (at + 4 > size) at = size - 4;
                std::string word;
                kx::AppendU32(word, Interesting(random, static_cast<uint32_t>(size)));
                bytes.replace(at, 4, word);
                break;
            }
            case 2:  // cut short
                bytes.resize(at);
                break;
            case 3:  // a range zeroed
                for (size_t i = at; i < size && i < at + 1 + random() % 40; ++i)
                    bytes[i] = '\0';
                break;
            case 4:  // bytes inserted
                bytes.insert(at, std::string(1 + random() % 8, static_cast<char>(random())));
                break;
            default:  // a piece repeated
                bytes.insert(at, bytes.substr(random() % (size + 1), random() % 300));
                break;
        }
    }
    return bytes;
}

class ConversionRobustnessTest : public TempFolderTest {};
}  // namespace

// Runs one case; true when the address file was converted, false when it stayed as it was.
static bool ConvertOneCase(int seed, const std::string& original, const std::string& folder, MessageBoxScript& boxes) {
    std::string address = folder + "Korvex.ndb";
    std::string backup = folder + "Korvex_Conv.bak";
    EXPECT_TRUE(WriteBytes(address, original)) << "seed " << seed;
    // The conversion warns exactly when the address file cannot be read.
    RecordTable probe;
    bool readable = probe.Load(address.c_str()) == kTableOk;
    size_t boxesBefore = boxes.Count();
    std::string backupBefore = ReadBytes(backup);
    if (!readable) boxes.Answer(IDOK);
    EXPECT_EQ(readable ? 1 : 0, ConvertAddressFile(folder.c_str(), 1)) << "seed " << seed;
    EXPECT_EQ(readable ? boxesBefore : boxesBefore + 1, boxes.Count()) << "seed " << seed;
    if (!readable && boxes.Count() > boxesBefore) {
        EXPECT_EQ("データコンバートに失敗しました。", boxes[boxesBefore].text) << "seed " << seed;
    }
    // Only a file that loads may replace the backup.
    EXPECT_TRUE(SameBytes(readable ? original : backupBefore, ReadBytes(backup))) << "seed " << seed;
    std::string after = ReadBytes(address);
    if (after == original) return false;
    EXPECT_TRUE(readable) << "seed " << seed << ": a failed conversion changed the address file";
    // A file whose entries run past its end has lost records: it must not be converted.
    int liveEntries = CountLiveEntries(original);
    EXPECT_NE(-1, liveEntries) << "seed " << seed << ": converted although records were cut off";
    RecordTable table;
    EXPECT_EQ(kTableOk, table.Load(address.c_str())) << "seed " << seed;
    EXPECT_EQ(60, table.FieldCount()) << "seed " << seed;
    EXPECT_EQ(liveEntries, table.RecordCount()) << "seed " << seed << ": every live record carried";
    return true;
}

TEST_F(ConversionRobustnessTest, MutatedFilesComeOutConvertedOrUntouched) {
    std::vector<std::string> bases = BaseFiles();
    CreateDirectoryA(Path("data").c_str(), NULL);
    std::string folder = Path("data") + "\\";
    int first = 0;
    int last = kCaseCount;
    if (const char* only = std::getenv("KX_MUTATION_SEED")) {
        first = std::atoi(only);
        last = first + 1;
    }
    MessageBoxScript boxes;
    int converted = 0;
    for (int seed = first; seed < last && !HasFailure(); ++seed) {
        std::mt19937 random(static_cast<uint32_t>(seed) * 2654435761u + 17);
        std::string original = Mutate(bases[static_cast<size_t>(seed) % bases.size()], random);
        if (ConvertOneCase(seed, original, folder, boxes)) ++converted;
    }
    // Both outcomes must really occur, or the mutations test nothing.
    if (last - first == kCaseCount) {
        EXPECT_GT(converted, kCaseCount / 10);
        EXPECT_LT(converted, kCaseCount - kCaseCount / 20);
    }
}
