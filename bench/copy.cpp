// The floor of the installation benchmark: the plainest way to put the same files in place, a
// CopyFileA of each file of a folder tree, under the same Wine.
//   kx_bench_copy SOURCE_FOLDER TARGET_FOLDER
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int copied = 0;

bool CopyTree(const std::string& source, const std::string& target) {
    CreateDirectoryA(target.c_str(), NULL);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((source + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string from = source + "\\" + name;
        std::string to = target + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = CopyTree(from, to);
        } else if (CopyFileA(from.c_str(), to.c_str(), FALSE)) {
            ++copied;
        } else {
            std::fprintf(stderr, "kx_bench_copy: %s: error %lu\n", from.c_str(), GetLastError());
            ok = false;
        }
    } while (ok && FindNextFileA(search, &found));
    FindClose(search);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: kx_bench_copy SOURCE_FOLDER TARGET_FOLDER\n", stderr);
        return 2;
    }
    if (!CopyTree(argv[1], argv[2])) return 1;
    std::printf("copied=%d\n", copied);
    return 0;
}
