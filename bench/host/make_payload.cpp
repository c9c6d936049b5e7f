// Writes a deterministic benchmark payload: the same names, sizes, bytes and file times on every
// machine, so that packages built from it are the same bytes and runs compare.
//   make_payload KIND FOLDER     KIND: large (500 files, about 256 MiB), small (500 x 4 KiB),
//                                smoke (a few MiB)
// Writes FOLDER/files (the payload) and FOLDER/files.tsv: one line per file with its subfolder
// ("." for the top folder), name, size and copy mode (1 version check, 2 date check).
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kSubfolders[] = {".", "bin", "data", "help", "lib", "res"};
const int kSubfolderCount = 6;
const time_t kFileTime = 1775034000;  // 2026-04-01 09:00 UTC: fixed, so packages are identical

struct PayloadFile {
    std::string subfolder;
    std::string name;
    uint64_t size;
    int copyMode;
};

// xorshift64*: fast, and the same stream everywhere for the same seed.
struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
};

int SubfolderRank(const std::string& subfolder) {
    for (int i = 0; i < kSubfolderCount; ++i) {
        if (subfolder == kSubfolders[i]) return i;
    }
    return kSubfolderCount;
}

std::vector<PayloadFile> PlanFiles(const std::string& kind) {
    std::vector<PayloadFile> files;
    std::vector<uint64_t> largeSizes;
    int smallCount = 0;
    uint64_t smallMin = 0, smallMax = 0;
    if (kind == "large") {
        // Ten large files of 5 to 40 MiB (246 MiB) and 490 small ones of 1 to 40 KiB.
        const uint64_t mib[] = {5, 12, 18, 22, 25, 28, 30, 33, 35, 38};
        for (uint64_t m : mib)
            largeSizes.push_back(m << 20);
        smallCount = 490, smallMin = 1024, smallMax = 40 * 1024;
    } else if (kind == "small") {
        smallCount = 500, smallMin = 4096, smallMax = 4096;
    } else if (kind == "smoke") {
        largeSizes = {1u << 20, 3u << 20};
        smallCount = 48, smallMin = 1, smallMax = 20 * 1024;
    } else {
        return files;
    }
    Random random(kind.size());
    for (size_t i = 0; i < largeSizes.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "blob%02zu.bin", i);
        files.push_back({kSubfolders[i % kSubfolderCount], name, largeSizes[i], 1 + static_cast<int>(i % 2)});
    }
    for (int i = 0; i < smallCount; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "item%03d.dat", i);
        uint64_t size = smallMin + random.Next() % (smallMax - smallMin + 1);
        files.push_back({kSubfolders[(i + 1) % kSubfolderCount], name, size, 1 + (i % 2)});
    }
    // A package lists its files folder by folder, as vendors lay them out.
    std::stable_sort(files.begin(), files.end(), [](const PayloadFile& a, const PayloadFile& b) {
        return SubfolderRank(a.subfolder) < SubfolderRank(b.subfolder);
    });
    return files;
}

bool WriteFileBytes(const std::string& path, uint64_t size, uint64_t seed) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    Random random(seed);
    std::vector<uint64_t> chunk(1 << 17);  // 1 MiB
    uint64_t left = size;
    bool ok = true;
    while (left > 0 && ok) {
        for (uint64_t& word : chunk)
            word = random.Next();
        size_t bytes = left < (1u << 20) ? static_cast<size_t>(left) : (1u << 20);
        ok = std::fwrite(chunk.data(), 1, bytes, out) == bytes;
        left -= bytes;
    }
    if (std::fclose(out) != 0) ok = false;
    struct utimbuf times = {kFileTime, kFileTime};
    return ok && utime(path.c_str(), &times) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: make_payload large|small|smoke FOLDER\n", stderr);
        return 2;
    }
    std::vector<PayloadFile> files = PlanFiles(argv[1]);
    if (files.empty()) {
        std::fprintf(stderr, "make_payload: unknown kind %s\n", argv[1]);
        return 2;
    }
    std::string root = std::string(argv[2]) + "/files";
    mkdir(argv[2], 0755);
    mkdir(root.c_str(), 0755);
    for (int i = 1; i < kSubfolderCount; ++i)
        mkdir((root + "/" + kSubfolders[i]).c_str(), 0755);
    std::string listPath = std::string(argv[2]) + "/files.tsv";
    FILE* list = std::fopen(listPath.c_str(), "w");
    if (list == nullptr) {
        std::perror(listPath.c_str());
        return 1;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        const PayloadFile& file = files[i];
        std::string path = root + "/" + (file.subfolder == "." ? "" : file.subfolder + "/") + file.name;
        if (!WriteFileBytes(path, file.size, i + 1)) {
            std::perror(path.c_str());
            return 1;
        }
        std::fprintf(list, "%s\t%s\t%llu\t%d\n", file.subfolder.c_str(), file.name.c_str(),
                     static_cast<unsigned long long>(file.size), file.copyMode);
    }
    return std::fclose(list) == 0 ? 0 : 1;
}
