#include "HostFiles.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>
#include <utime.h>

#include <cerrno>
#endif

#include "PackageFormat.h"

namespace kx {

// No package can store a deeper path; a walk that goes deeper follows a loop of links.
const int kMaxFolderDepth = 64;

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *bytes = buffer.str();
    return !in.bad();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

enum class PathKind { kMissing, kUnreadable, kFile, kFolder, kOther };

#if defined(_WIN32)

// The Win32 calls themselves, not the C library's POSIX layer: that layer takes a trail byte
// 0x5C at the end of a name ("表") for a separator, and then lists or looks at another path.

static PathKind KindOf(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND ? PathKind::kMissing
                                                                                                : PathKind::kUnreadable;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

static bool NamesIn(const std::string& folder, std::vector<std::string>* names) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names->push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

bool LastWriteFileTime(const std::string& path, uint64_t* fileTime) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    *fileTime = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool SetLastWriteFileTime(const std::string& path, uint64_t fileTime) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME written = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    bool done = SetFileTime(file, NULL, NULL, &written) != 0;
    CloseHandle(file);
    return done;
}

bool MakeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), NULL) || KindOf(path) == PathKind::kFolder;
}

bool ExactLastWriteFileTime(const std::string& path, uint64_t* fileTime) {
    return LastWriteFileTime(path, fileTime);
}

bool IsShiftJisText(const std::string& text) {
    return text.empty() ||
           MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), NULL, 0) > 0;
}

std::string ForTerminal(const std::string& stored) {
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0 || codePage == 932) return stored;
    int wideLength =
        MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, stored.data(), static_cast<int>(stored.size()), NULL, 0);
    if (wideLength <= 0) return stored;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(932, 0, stored.data(), static_cast<int>(stored.size()), wide.data(), wideLength);
    int length = WideCharToMultiByte(codePage, 0, wide.data(), wideLength, NULL, 0, NULL, NULL);
    if (length <= 0) return stored;
    std::string shown(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), wideLength, &shown[0], length, NULL, NULL);
    return shown;
}

#else

const uint64_t kTicksPerSecond = 10000000;
const uint64_t kSecondsFrom1601To1970 = 11644473600ULL;

static PathKind KindOf(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return errno == ENOENT ? PathKind::kMissing : PathKind::kUnreadable;
    if (S_ISDIR(info.st_mode)) return PathKind::kFolder;
    return S_ISREG(info.st_mode) ? PathKind::kFile : PathKind::kOther;
}

static bool NamesIn(const std::string& folder, std::vector<std::string>* names) {
    DIR* dir = opendir(folder.c_str());
    if (dir == NULL) return false;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names->push_back(name);
    }
    closedir(dir);
    return true;
}

// Whole seconds: what the times of the files that a package is made from have always been.
bool LastWriteFileTime(const std::string& path, uint64_t* fileTime) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
    *fileTime = (static_cast<uint64_t>(info.st_mtime) + kSecondsFrom1601To1970) * kTicksPerSecond;
    return true;
}

bool SetLastWriteFileTime(const std::string& path, uint64_t fileTime) {
    uint64_t seconds = fileTime / kTicksPerSecond;
    if (seconds < kSecondsFrom1601To1970) return false;  // before 1970: not a time this machine keeps
    struct utimbuf times;
    times.actime = times.modtime = static_cast<time_t>(seconds - kSecondsFrom1601To1970);
    return utime(path.c_str(), &times) == 0;
}

bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0 || KindOf(path) == PathKind::kFolder;
}

bool ExactLastWriteFileTime(const std::string& path, uint64_t* fileTime) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || info.st_mtim.tv_sec < 0) return false;
    *fileTime = (static_cast<uint64_t>(info.st_mtim.tv_sec) + kSecondsFrom1601To1970) * kTicksPerSecond +
                static_cast<uint64_t>(info.st_mtim.tv_nsec) / 100;
    return true;
}

bool IsShiftJisText(const std::string& text) {
    std::string recoded;
    return HostNames(true).ToHost(text, &recoded);
}

std::string ForTerminal(const std::string& stored) {
    std::string shown;
    return HostNames(true).ToHost(stored, &shown) ? shown : stored;
}

#endif

bool IsFolder(const std::string& path) {
    return KindOf(path) == PathKind::kFolder;
}

bool IsMissingOrEmptyFolder(const std::string& path) {
    PathKind kind = KindOf(path);
    if (kind != PathKind::kFolder) return kind == PathKind::kMissing;
    std::vector<std::string> names;
    return NamesIn(path, &names) && names.empty();
}

static std::string ListLevel(const std::string& folder, const std::string& prefix, int depth,
                             std::vector<std::string>* files) {
    if (depth > kMaxFolderDepth) return folder + ": more than " + std::to_string(kMaxFolderDepth) + " levels deep";
    std::vector<std::string> names;
    if (!NamesIn(folder, &names)) return "cannot read the folder " + folder;
    for (const std::string& name : names) {
        std::string path = folder + "/" + name;
        PathKind kind = KindOf(path);
        if (kind == PathKind::kMissing || kind == PathKind::kUnreadable) return "cannot read " + path;
        if (kind == PathKind::kFile) files->push_back(prefix + name);
        if (kind != PathKind::kFolder) continue;
        std::string problem = ListLevel(path, prefix + name + "/", depth + 1, files);
        if (!problem.empty()) return problem;
    }
    return "";
}

std::string ListFilesBelow(const std::string& folder, std::vector<std::string>* files) {
    return ListLevel(folder, "", 0, files);
}

static bool Recode(const std::string& text, const char* from, const char* to, std::string* out) {
#if defined(_WIN32)
    (void)text, (void)from, (void)to, (void)out;
    return false;
#else
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> result(text.size() * 4 + 4);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = result.data();
    size_t outLeft = result.size();
    size_t done = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (done == static_cast<size_t>(-1) || inLeft != 0) return false;
    out->assign(result.data(), outPtr);
    return true;
#endif
}

bool HostNames::ToStored(const std::string& host, std::string* stored) const {
    if (!utf8_) {
        *stored = host;
        return true;
    }
    return Recode(host, "UTF-8", "CP932", stored);
}

bool HostNames::ToHost(const std::string& stored, std::string* host) const {
    if (!utf8_) {
        *host = stored;
        return true;
    }
    return Recode(stored, "CP932", "UTF-8", host);
}

// The stored names (Shift-JIS) that a name of this machine may stand for: its own bytes, as
// "extract" writes them without --utf8 and as the Windows build names every file, and on Linux
// its UTF-8 in Shift-JIS.
static std::vector<std::string> StoredForms(const std::string& hostName) {
    std::vector<std::string> forms(1, hostName);
    std::string recoded;
    if (HostNames(true).ToStored(hostName, &recoded) && recoded != hostName) forms.push_back(recoded);
    return forms;
}

// The entry of folder, of the kind asked for, that the stored name finds as Windows looks files
// up: the one of exactly that name, else one whose name differs only in the case of its letters
// (a folder copied from Windows holds "HELP\KORVEX.CHM" for "Help\korvex.chm").
static bool FindEntry(const std::string& folder, const std::string& stored, PathKind kind, std::string* path) {
    std::vector<std::string> names;
    if (!NamesIn(folder, &names)) return false;
    // Where names differ in case only, the same one is found on every machine.
    std::sort(names.begin(), names.end());
    std::string key = CaselessPathKey(stored), caseless;
    for (const std::string& name : names) {
        for (const std::string& form : StoredForms(name)) {
            if (CaselessPathKey(form) != key || KindOf(folder + "/" + name) != kind) continue;
            if (form == stored) {
                *path = folder + "/" + name;
                return true;
            }
            if (caseless.empty()) caseless = folder + "/" + name;
        }
    }
    *path = caseless;
    return !caseless.empty();
}

bool FindMemberFile(const std::string& folder, const std::string& subfolder, const std::string& name,
                    std::string* path) {
    std::vector<std::string> levels;
    if (!subfolder.empty()) {
        std::string problem;
        levels = StoredPathLevels(subfolder, &problem);
        if (!problem.empty()) return false;
    }
    std::string reached = folder;
    for (const std::string& level : levels) {
        std::string below;
        if (!FindEntry(reached, level, PathKind::kFolder, &below)) return false;
        reached = below;
    }
    return FindEntry(reached, name, PathKind::kFile, path);
}

std::string HostNames::WithSlashes(const std::string& host) const {
    std::string out;
    for (size_t i = 0; i < host.size(); ++i) {
        char c = host[i];
        if (!utf8_ && IsShiftJisLeadByte(static_cast<unsigned char>(c)) && i + 1 < host.size()) {
            out += c;
            out += host[++i];
        } else {
            out += c == '\\' ? '/' : c;
        }
    }
    return out;
}

}  // namespace kx
