#include "engine/cLocalNames.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// A component as the file system stores it: Windows drops trailing dots and blanks.
std::string TrimmedComponent(const char* begin, const char* end) {
    while (end > begin && (end[-1] == '.' || end[-1] == ' ')) --end;
    return std::string(begin, end);
}

// Names that open a device instead of a file, with or without an extension.
bool IsDeviceName(const std::string& component) {
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (const char* device : devices) {
        if (_stricmp(base.c_str(), device) == 0) return true;
    }
    if (base.size() == 4 && (_strnicmp(base.c_str(), "COM", 3) == 0 || _strnicmp(base.c_str(), "LPT", 3) == 0)) {
        return base[3] >= '0' && base[3] <= '9';
    }
    return false;
}

// Splits `name` at both separators; empty components (doubled separators) and "."
// are dropped, the others are trimmed as the file system trims them.
std::vector<std::string> Components(const char* name) {
    std::vector<std::string> parts;
    const char* start = name;
    for (const char* p = name;; ++p) {
        if (*p == '\0' || IsSeparator(*p)) {
            bool dotOnly = p - start == 1 && *start == '.';
            if (p > start && !dotOnly) parts.push_back(TrimmedComponent(start, p));
            if (*p == '\0') break;
            start = p + 1;
        }
    }
    return parts;
}

}  // namespace

bool cLocalNames::IsInsideFolder(const char* name) {
    if (!name || name[0] == '\0') return false;
    // A leading separator roots the path at the drive; a colon names a drive or an
    // alternate stream; a trailing separator names a folder.
    if (IsSeparator(name[0]) || strchr(name, ':')) return false;
    if (IsSeparator(name[strlen(name) - 1])) return false;
    const char* last = name + strlen(name);
    while (last > name && !IsSeparator(last[-1])) --last;
    if (TrimmedComponent(last, name + strlen(name)).empty()) return false;  // "a/." names a folder
    std::vector<std::string> parts = Components(name);
    if (parts.empty()) return false;
    for (const std::string& part : parts) {
        // "..", "..." and ". ." all trim to nothing: each climbs or is unnamable.
        if (part.empty()) return false;
        if (IsDeviceName(part)) return false;
    }
    return true;
}

bool cLocalNames::Add(const char* name) {
    std::string joined;
    for (const std::string& part : Components(name)) {
        if (!joined.empty()) joined += '\\';
        joined += part;
    }
    // Compare as the file system does: case-insensitively on the UTF-16 form of the
    // name in the system's code page.
    int units = MultiByteToWideChar(CP_ACP, 0, joined.c_str(), static_cast<int>(joined.size()), nullptr, 0);
    std::wstring key(units > 0 ? units : 0, L'\0');
    if (units > 0) {
        MultiByteToWideChar(CP_ACP, 0, joined.c_str(), static_cast<int>(joined.size()), &key[0], units);
        CharUpperBuffW(&key[0], static_cast<DWORD>(units));
    }
    return seen.insert(key).second;
}
