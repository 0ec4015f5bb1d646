#include "ManifestWriter.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The downloader's fields: the request URL (base + name) and the local path.
constexpr size_t kMaxUrl = 1023;
constexpr size_t kMaxLocalPath = 255;

// Bytes that would end or split a value, or break the array of file entries.
constexpr char kReservedBytes[] = ",{}[]\"";

}  // namespace

std::string RefuseUrl(const std::string& url) {
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) return "the URL must start with http:// or https://";
    if (url.empty() || url.back() != '/') return "the URL must end with a slash";
    for (unsigned char c : url) {
        if (c <= ' ' || c >= 0x7F) return "the URL may hold printable ASCII characters only";
        if (std::char_traits<char>::find(kReservedBytes, sizeof kReservedBytes - 1, static_cast<char>(c))) {
            return std::string("the URL may not hold the character ") + static_cast<char>(c);
        }
    }
    if (url.size() >= kMaxUrl) return "the URL is too long";
    return {};
}

std::string RefuseName(const std::string& name, const std::string& url) {
    if (name.empty()) return "an empty name";
    for (unsigned char c : name) {
        if (std::char_traits<char>::find(kReservedBytes, sizeof kReservedBytes - 1, static_cast<char>(c))) {
            return std::string("the character ") + static_cast<char>(c) + " cannot stand in a manifest value";
        }
        // Names become Windows paths through the system's ANSI code page, and URLs
        // without escaping: plain printable ASCII is what arrives intact.
        if (c < ' ' || c >= 0x7F) return "only printable ASCII characters can stand in a name";
        if (c == ':' || c == '\\' || c == '*' || c == '?' || c == '<' || c == '>' || c == '|') {
            return std::string("the character ") + static_cast<char>(c) + " is not allowed in Windows file names";
        }
    }
    if (name.back() == ' ' || name.front() == ' ') return "a name may not start or end with a blank";
    if (name.size() > kMaxLocalPath) return "the name is longer than " + std::to_string(kMaxLocalPath) + " characters";
    if (url.size() + name.size() > kMaxUrl) return "the URL and the name together are longer than " + std::to_string(kMaxUrl) + " characters";
    return {};
}

bool CollectFiles(const std::string& folder, const std::string& skip, Manifest& manifest, std::string& error) {
    std::error_code failure;
    fs::path root(folder);
    fs::path skipPath = skip.empty() ? fs::path() : fs::weakly_canonical(fs::path(skip), failure);
    for (fs::recursive_directory_iterator it(root, failure), end; it != end; it.increment(failure)) {
        if (failure) break;
        if (!it->is_regular_file()) continue;
        if (!skip.empty() && fs::weakly_canonical(it->path(), failure) == skipPath) continue;
        std::string name = it->path().lexically_relative(root).generic_string();
        std::string why = RefuseName(name, manifest.url);
        if (!why.empty()) {
            error = "cannot publish \"" + name + "\": " + why;
            return false;
        }
        manifest.files.push_back({name, static_cast<int64_t>(it->file_size())});
    }
    if (failure) {
        error = "cannot read " + folder + ": " + failure.message();
        return false;
    }
    std::sort(manifest.files.begin(), manifest.files.end(),
              [](const ManifestEntry& a, const ManifestEntry& b) { return a.name < b.name; });
    return true;
}

std::string FormatManifest(const Manifest& manifest) {
    int64_t totalSize = 0;
    for (const ManifestEntry& file : manifest.files) totalSize += file.size;
    std::string text = "{\r\n";
    text += "  \"Version\": " + std::to_string(manifest.version) + ",\r\n";
    text += "  \"TotalCount\": " + std::to_string(manifest.files.size()) + ",\r\n";
    text += "  \"TotalSize\": " + std::to_string(totalSize) + ",\r\n";
    text += "  \"URL\": \"" + manifest.url + "\",\r\n";
    // The file list is the last member: an array may only be followed by the
    // closing brace of the top-level object.
    text += "  \"FileList\": [\r\n";
    for (size_t i = 0; i < manifest.files.size(); ++i) {
        const ManifestEntry& file = manifest.files[i];
        text += "    { \"Name\": \"" + file.name + "\", \"Size\": " + std::to_string(file.size) + " }";
        text += i + 1 < manifest.files.size() ? ",\r\n" : "\r\n";
    }
    text += "  ]\r\n}\r\n";
    return text;
}
