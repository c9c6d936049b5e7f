// Converts address files of 1,000 to 1,000,000 records of an earlier 30-field layout and prints
// records per second and the converting process's peak working set beside the file size, then
// how much longer a tenfold file took: work that grows faster than the data shows there. Each
// conversion runs in a child process of its own, so that its peak is its own.
//   kx_convert_bench.exe             all three sizes
//   kx_convert_bench.exe largest     the largest book that converts, for this build's pointer
//                                    size, with and without the large-address-aware flag
//   kx_convert_bench.exe convert FOLDER   (child) converts FOLDER\Korvex.ndb
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "convert/ConversionRun.h"
#include "convert/FieldDefList.h"
#include "convert/RecordTable.h"

namespace {
// An earlier layout: most names still current, two that the current layout no longer has.
const char* const kOldFields[] = {
    "宛名区分",     "名前",         "カナ",           "敬称",   "郵便番号", "都道府県",     "住所１", "住所２",
    "電話番号",     "ＦＡＸ",       "携帯番号",       "メール", "勤務先名", "部署",         "役職",   "勤務先郵便番号",
    "勤務先住所１", "勤務先住所２", "勤務先電話番号", "大分類", "小分類",   "ニックネーム", "性別",   "生年月日",
    "連名１",       "敬称１",       "備考１",         "備考２", "旧分類",   "旧メモ"};
const int kOldFieldCount = sizeof kOldFields / sizeof kOldFields[0];

const char* const kFamilyNames[] = {"佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村"};
const char* const kGivenNames[] = {"太郎", "花子", "一郎", "美咲", "健太", "由美", "翔", "陽菜"};
const char* const kAddresses[] = {"東京都千代田区丸の内一丁目９番２号", "大阪府大阪市北区梅田三丁目１番３号",
                                  "愛知県名古屋市中村区名駅四丁目７番１号", "福岡県福岡市博多区博多駅中央街１番１号"};

void BuildOldFile(const std::string& path, int recordCount) {
    FieldDefList* list = new FieldDefList();
    for (int i = 0; i < kOldFieldCount; ++i) {
        FieldDef field;
        std::memset(&field, 0, sizeof field);
        std::strcpy(field.name, kOldFields[i]);
        field.width = 100;
        list->Add(field);
    }
    RecordTable* table = new RecordTable();
    table->SetFields(*list);
    delete list;
    char text[256];
    for (int r = 0; r < recordCount; ++r) {
        table->ClearValues();
        std::snprintf(text, sizeof text, "%s %s", kFamilyNames[r % 8], kGivenNames[(r / 8) % 8]);
        table->SetValue(1, text);
        table->SetValue(2, "ヤマダ タロウ");
        table->SetValue(3, "様");
        std::snprintf(text, sizeof text, "%03d-%04d", r % 1000, r % 10000);
        table->SetValue(4, text);
        table->SetValue(6, kAddresses[r % 4]);
        std::snprintf(text, sizeof text, "コーポ%d号室", r % 500);
        table->SetValue(7, text);
        std::snprintf(text, sizeof text, "03-%04d-%04d", r % 10000, (r * 7) % 10000);
        table->SetValue(8, text);
        std::snprintf(text, sizeof text, "user%d@example.jp", r);
        table->SetValue(11, text);
        table->SetValue(12, "株式会社サンプル商事");
        table->SetValue(13, "営業部");
        table->SetValue(26, "年賀状は毎年送付。転居の連絡あり。");
        table->SetValue(28, "取引先");
        table->StoreRecord();
    }
    table->Save(path.c_str());
    delete table;
}

// A conversion that fails says so in a message box: it is answered here, so that a size too large
// for the process ends the child instead of waiting for a click.
LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char className[16];
    if (code == HCBT_ACTIVATE && GetClassNameA(box, className, sizeof className) > 0 &&
        lstrcmpA(className, "#32770") == 0) {
        std::fputs("the conversion showed a message box\n", stderr);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

int RunChild(const char* folderArgument) {
    SetWindowsHookExA(WH_CBT, AnswerBoxes, NULL, GetCurrentThreadId());
    // The folder comes without its backslash: one before the closing quote would escape it.
    std::string folder = std::string(folderArgument) + "\\";
    PROCESS_MEMORY_COUNTERS memory;
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    SIZE_T before = memory.WorkingSetSize;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int result = ConvertAddressFile(folder.c_str(), 1);
    QueryPerformanceCounter(&end);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    std::printf("%d %.6f %llu %llu\n", result, seconds, static_cast<unsigned long long>(memory.PeakWorkingSetSize),
                static_cast<unsigned long long>(before));
    return 0;
}

std::string SelfPath() {
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    return self;
}

// folder without its backslash
std::string RunChildFor(const std::string& folder, const std::string& program = SelfPath()) {
    std::string command = "\"" + program + "\" convert \"" + folder + "\"";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE readEnd, writeEnd;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    std::string output;
    if (CreateProcessA(NULL, &command[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        CloseHandle(writeEnd);
        char chunk[256];
        DWORD got = 0;
        while (ReadFile(readEnd, chunk, sizeof chunk, &got, NULL) && got > 0)
            output.append(chunk, got);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    } else {
        CloseHandle(writeEnd);
    }
    CloseHandle(readEnd);
    return output;
}

unsigned long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
std::string ReadWhole(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(static_cast<size_t>(FileSize(path)));
    DWORD got = 0;
    if (!bytes.empty() &&
        (!ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, NULL) || got != bytes.size()))
        bytes.clear();
    CloseHandle(file);
    return bytes;
}

// A copy of this program with the large-address-aware flag of its file header set or cleared.
std::string ProgramWithAddressFlag(const std::string& folder, bool largeAddressAware) {
    std::string image = ReadWhole(SelfPath());
    std::string path = folder + (largeAddressAware ? "\\child_laa.exe" : "\\child.exe");
    uint32_t peOffset = 0;
    std::memcpy(&peOffset, &image[0x3C], sizeof peOffset);
    // The file header's Characteristics: 22 bytes past the signature's start.
    uint16_t characteristics = 0;
    std::memcpy(&characteristics, &image[peOffset + 22], sizeof characteristics);
    characteristics = largeAddressAware ? (characteristics | IMAGE_FILE_LARGE_ADDRESS_AWARE)
                                        : (characteristics & ~IMAGE_FILE_LARGE_ADDRESS_AWARE);
    std::memcpy(&image[peOffset + 22], &characteristics, sizeof characteristics);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD put = 0;
    WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &put, NULL);
    CloseHandle(file);
    return path;
}

// A book of copies times the records of base: its header once, its records again and again.
bool WriteRepeatedBook(const std::string& path, const std::string& base, int copies) {
    uint32_t fieldCount = 0;
    std::memcpy(&fieldCount, base.data(), sizeof fieldCount);
    size_t header = 4 + fieldCount * sizeof(FieldDef) + 8;
    std::string records = base.substr(header, base.size() - header - 4);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    bool written = WriteFile(file, base.data(), static_cast<DWORD>(header), &put, NULL) != FALSE;
    for (int i = 0; written && i < copies; ++i)
        written = WriteFile(file, records.data(), static_cast<DWORD>(records.size()), &put, NULL) != FALSE;
    const char end[4] = {0, 0, 0, 0};
    written = written && WriteFile(file, end, sizeof end, &put, NULL);
    CloseHandle(file);
    return written;
}

// Halves the step between the largest size that converted and the smallest that failed, in
// steps of 100,000 records, and prints each try.
int FindLargest() {
    const int kStepRecords = 100000;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "kx_convert_largest";
    CreateDirectoryA(folder.c_str(), NULL);
    std::string address = folder + "\\Korvex.ndb";
    BuildOldFile(address, kStepRecords);
    std::string base = ReadWhole(address);
    std::printf("%s build, steps of %d records (%zu bytes)\n", sizeof(void*) == 4 ? "i686" : "x86_64", kStepRecords,
                base.size());
    for (bool largeAddressAware : {false, true}) {
        std::string program = ProgramWithAddressFlag(folder, largeAddressAware);
        // Doubles from 1,000,000 records until a size fails, then halves the gap; a build that
        // converts 16,000,000 records is not limited by its address space here.
        int converted = 0, failed = 0, copies = 10;
        while (failed == 0 ? converted < 160 : failed - converted > 1) {
            if (!WriteRepeatedBook(address, base, copies)) {
                std::printf("cannot write a book of %d records\n", copies * kStepRecords);
                return 1;
            }
            unsigned long long bytes = FileSize(address);
            DeleteFileA((folder + "\\Korvex_Conv.bak").c_str());
            std::string output = RunChildFor(folder, program);
            int result = 0;
            double seconds = 0;
            unsigned long long peak = 0, before = 0;
            bool ok =
                std::sscanf(output.c_str(), "%d %lf %llu %llu", &result, &seconds, &peak, &before) == 4 && result == 1;
            std::printf("large address aware %-3s %9d records %11llu bytes: %s", largeAddressAware ? "yes" : "no",
                        copies * kStepRecords, bytes, ok ? "converted" : "failed");
            if (ok) std::printf(", %.1f s, peak %llu bytes", seconds, peak);
            std::printf("\n");
            std::fflush(stdout);
            (ok ? converted : failed) = copies;
            copies = failed == 0 ? converted * 2 : (converted + failed) / 2;
        }
        std::printf("largest book converted, large address aware %s: %d records\n", largeAddressAware ? "yes" : "no",
                    converted * kStepRecords);
    }
    DeleteFileA(address.c_str());
    DeleteFileA((folder + "\\Korvex_Conv.bak").c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "convert") == 0) return RunChild(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "largest") == 0) return FindLargest();
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "kx_convert_bench";
    CreateDirectoryA(folder.c_str(), NULL);
    // The peak is the whole process's; "growth" leaves out what the process held before converting.
    std::printf("%9s %11s %11s %8s %11s %12s %12s %11s\n", "records", "old bytes", "new bytes", "seconds", "records/s",
                "peak bytes", "growth", "growth/old");
    const int sizes[] = {1000, 10000, 100000, 1000000};
    double secondsOf[sizeof sizes / sizeof sizes[0]] = {0};
    for (size_t row = 0; row < sizeof sizes / sizeof sizes[0]; ++row) {
        int recordCount = sizes[row];
        std::string address = folder + "\\Korvex.ndb";
        BuildOldFile(address, recordCount);
        unsigned long long oldBytes = FileSize(address);
        int result = 0;
        double seconds = 0;
        unsigned long long peak = 0;
        unsigned long long before = 0;
        std::string output = RunChildFor(folder);
        if (std::sscanf(output.c_str(), "%d %lf %llu %llu", &result, &seconds, &peak, &before) != 4 || result != 1) {
            std::printf("%10d conversion failed: %s\n", recordCount, output.c_str());
            continue;
        }
        std::printf("%9d %11llu %11llu %8.3f %11.0f %12llu %12llu %11.2f\n", recordCount, oldBytes, FileSize(address),
                    seconds, recordCount / seconds, peak, peak - before, static_cast<double>(peak - before) / oldBytes);
        secondsOf[row] = seconds;
    }
    for (size_t row = 1; row < sizeof sizes / sizeof sizes[0]; ++row) {
        if (secondsOf[row] > 0 && secondsOf[row - 1] > 0)
            std::printf("time ratio %d/%d records: %.2f\n", sizes[row], sizes[row - 1],
                        secondsOf[row] / secondsOf[row - 1]);
    }
    DeleteFileA((folder + "\\Korvex.ndb").c_str());
    DeleteFileA((folder + "\\Korvex_Conv.bak").c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}
