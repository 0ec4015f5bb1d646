#pragma once
// Writes the download manifest "file.json" for a folder of client files, in the
// JSON dialect that the downloader reads: every value ends at the next comma or
// closing brace, there are no escapes, and names pass through fixed-size fields.

#include <cstdint>
#include <string>
#include <vector>

struct ManifestEntry {
    std::string name;  // relative path, folders separated by slashes
    int64_t size = 0;
};

struct Manifest {
    int32_t version = 1;
    std::string url;  // base URL of the files, ending with a slash
    std::vector<ManifestEntry> files;
};

// Why a file name cannot be carried by the manifest, or an empty text when it can.
std::string RefuseName(const std::string& name, const std::string& url);
// Why the base URL cannot be used, or an empty text when it can.
std::string RefuseUrl(const std::string& url);

// Collects every regular file below `folder` (sorted by name, `skip` left out).
// Returns false with `error` set on the first file that the manifest cannot carry.
bool CollectFiles(const std::string& folder, const std::string& skip, Manifest& manifest, std::string& error);

// The manifest's text.
std::string FormatManifest(const Manifest& manifest);
