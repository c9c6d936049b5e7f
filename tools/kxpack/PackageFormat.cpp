#include "PackageFormat.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "util/DeviceName.h"

namespace kx {

bool IsShiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::vector<std::string> StoredPathLevels(const std::string& name, std::string* problem) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(name[i]);
        if (IsShiftJisLeadByte(byte)) {
            if (i + 1 == name.size()) {
                *problem = "ends inside a double-byte character";
                return parts;
            }
            parts.back() += name.substr(i, 2);
            ++i;
        } else if (byte == '\\') {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(byte);
        }
    }
    return parts;
}

std::string CaselessPathKey(const std::string& path) {
    std::string key;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsShiftJisLeadByte(c) && i + 1 < path.size()) {
            key += path[i];
            key += path[++i];
        } else {
            key += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    return key;
}

static bool OnlyDotsAndSpaces(const std::string& part) {
    for (char c : part)
        if (c != '.' && c != ' ') return false;
    return true;
}

// Single-byte characters that no Windows file name may hold. The check runs on bytes outside
// double-byte characters only; a lead byte skips its trail byte.
static std::string ForbiddenByte(const std::string& part) {
    for (size_t i = 0; i < part.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(part[i]);
        if (IsShiftJisLeadByte(byte)) {
            ++i;
            continue;
        }
        if (byte < 0x20) return "holds a control byte";
        if (byte == ':') return "names a drive or stream (\":\")";
        if (byte == '/') return "holds a \"/\" separator";
        if (byte == '*' || byte == '?' || byte == '"' || byte == '<' || byte == '>' || byte == '|')
            return "holds a character that Windows forbids in names";
    }
    return "";
}

std::string NameProblem(const std::string& name, bool isSubfolder) {
    if (name.empty()) return isSubfolder ? "" : "is empty";
    std::string problem;
    std::vector<std::string> parts = StoredPathLevels(name, &problem);
    if (!problem.empty()) return problem;
    if (!isSubfolder && parts.size() > 1) return "holds a \"\\\" separator";
    for (const std::string& part : parts) {
        if (part.empty()) return "has an empty component (root, or doubled or trailing \"\\\")";
        if (OnlyDotsAndSpaces(part)) return "has a \".\" or \"..\" component";
        if (IsDeviceName(part.data(), part.size())) return "names a device (such as CON, NUL, COM1 or LPT1)";
        problem = ForbiddenByte(part);
        if (!problem.empty()) return problem;
    }
    return "";
}

bool ParseVersion(const std::string& text, uint32_t* code) {
    unsigned parts[4];
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
        return false;
    uint32_t result = 0;
    for (unsigned part : parts) {
        if (part > 255) return false;
        result = (result << 8) | part;
    }
    *code = result;
    return true;
}

std::string VersionText(uint32_t code) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", code >> 24, (code >> 16) & 0xFF, (code >> 8) & 0xFF, code & 0xFF);
    return text;
}

}  // namespace kx
