#include "Manifest.h"

#include <cstdio>
#include <cstdlib>

#include "HostFiles.h"
#include "PackageFormat.h"

namespace kx {

const uint64_t kTicksPerSecond = 10000000;
const int64_t kSecondsFrom1601To1970 = 11644473600LL;

static std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == '\t')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

static bool ParseSmall(const std::string& text, uint8_t* value) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    int number = std::atoi(text.c_str());
    if (number > 255) return false;
    *value = static_cast<uint8_t>(number);
    return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
static int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

bool ParseFileTime(const std::string& text, uint64_t* fileTime) {
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos && text.size() <= 19) {
        *fileTime = std::strtoull(text.c_str(), NULL, 10);
        return true;
    }
    int year, month, day, hour, minute, second;
    char zone = 0, tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%c", &year, &month, &day, &hour, &minute, &second, &zone,
                    &tail) != 7 ||
        zone != 'Z')
        return false;
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return false;
    int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    *fileTime = static_cast<uint64_t>(seconds + kSecondsFrom1601To1970) * kTicksPerSecond;
    return true;
}

std::string FileTimeText(uint64_t fileTime) {
    int64_t seconds = static_cast<int64_t>(fileTime / kTicksPerSecond) - kSecondsFrom1601To1970;
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    int64_t rest = seconds - days * 86400;
    // Civil date from days since 1970-01-01.
    int64_t z = days + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned dayOfEra = static_cast<unsigned>(z - era * 146097);
    unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    unsigned mp = (5 * dayOfYear + 2) / 153;
    unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    unsigned month = mp < 10 ? mp + 3 : mp - 9;
    int64_t year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d.%07lluZ", static_cast<long long>(year), month,
                  day, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60),
                  static_cast<unsigned long long>(fileTime % kTicksPerSecond));
    return text;
}

// The optional fields from the fourth on, which file and folder lines share.
static std::string ParseOptions(const std::vector<std::string>& fields, ManifestEntry* entry) {
    if (fields.size() > 3 && !ParseSmall(fields[3], &entry->copyMode)) return "copy mode must be 0 to 255";
    if (fields.size() > 4 && !ParseSmall(fields[4], &entry->optionByte1)) return "option byte 1 must be 0 to 255";
    if (fields.size() > 5 && !ParseSmall(fields[5], &entry->groupFlag)) return "group flag must be 0 to 255";
    if (fields.size() > 6 && fields[6] != "-") {
        if (!ParseFileTime(fields[6], &entry->fileTime))
            return "time must be \"-\", a file time or YYYY-MM-DDTHH:MM:SSZ";
        entry->hasTime = true;
    }
    return "";
}

static std::string ParseFileLine(const std::vector<std::string>& fields, ManifestEntry* entry) {
    if (fields.size() < 3 || fields.size() > 7) return "a file line has 3 to 7 tab-separated fields";
    entry->subfolder = fields[1] == "." ? "" : fields[1];
    entry->name = fields[2];
    return ParseOptions(fields, entry);
}

static std::string ParseFolderLine(const std::vector<std::string>& fields, ManifestEntry* entry) {
    if (fields.size() < 3 || fields.size() > 7) return "a folder line has 3 to 7 tab-separated fields";
    entry->isFolder = true;
    entry->source = fields[1] == "." ? "" : fields[1];
    entry->subfolder = fields[2] == "." ? "" : fields[2];
    if (fields[1].empty()) return "a folder line needs a source folder (\".\" for the folder itself)";
    return ParseOptions(fields, entry);
}

std::string ParseManifest(const std::string& text, Manifest* manifest) {
    bool haveVersion = false;
    size_t start = 0;
    for (int lineNumber = 1; start < text.size(); ++lineNumber) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields = SplitTabs(line);
        std::string problem;
        if (fields[0] == "version") {
            if (fields.size() != 2 || !ParseVersion(fields[1], &manifest->versionCode))
                problem = "version must be four parts of 0 to 255, as in version<TAB>1.2.0.3";
            haveVersion = true;
        } else if (fields[0] == "file" || fields[0] == "folder") {
            ManifestEntry entry;
            entry.line = lineNumber;
            problem = fields[0] == "file" ? ParseFileLine(fields, &entry) : ParseFolderLine(fields, &entry);
            manifest->entries.push_back(entry);
        } else {
            problem = "unknown directive \"" + fields[0] + "\" (expected version, file or folder)";
        }
        if (!problem.empty()) return "line " + std::to_string(lineNumber) + ": " + problem;
    }
    if (!haveVersion) return "the manifest gives no version line";
    return "";
}

static const char kUtf8Mark[] = "\xEF\xBB\xBF";

#if defined(_WIN32)
static const char kUtf8Advice[] = "save it in Shift-JIS (the Windows build reads no UTF-8)";
#else
static const char kUtf8Advice[] = "build with --utf8";
#endif

// The length of the well-formed UTF-8 character at text[at], or 0: shortest forms only, no
// surrogates, nothing above U+10FFFF.
static size_t Utf8Length(const std::string& text, size_t at) {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return 1;
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || at + length > text.size()) return 0;
    // These leads narrow the range of the byte after them.
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    unsigned char second = static_cast<unsigned char>(text[at + 1]);
    if (second < low || second > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 0;
    return length;
}

static bool IsUtf8(const std::string& text) {
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        length = Utf8Length(text, at);
        if (length == 0) return false;
    }
    return true;
}

std::string Utf8ManifestProblem(const std::string& text) {
    if (text.compare(0, 3, kUtf8Mark) == 0)
        return "line 1 begins with a UTF-8 byte-order mark: the manifest is UTF-8, not Shift-JIS; " +
               std::string(kUtf8Advice);
    if (!IsUtf8(text)) return "";
    size_t start = 0;
    for (int lineNumber = 1; start < text.size(); ++lineNumber) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (!IsShiftJisText(text.substr(start, end - start)))
            return "line " + std::to_string(lineNumber) + " is not Shift-JIS, and the manifest is valid UTF-8; " +
                   kUtf8Advice;
        start = end + 1;
    }
    return "";
}

std::string WithoutUtf8Mark(const std::string& text) {
    return text.compare(0, 3, kUtf8Mark) == 0 ? text.substr(3) : text;
}

}  // namespace kx
