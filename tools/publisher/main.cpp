// zentav-publish: writes the download manifest "file.json" for a client folder.
//
//   zentav-publish [--version N] [--output FILE] FOLDER BASE_URL
//
// FOLDER holds the client's files as the content server serves them under
// BASE_URL (which must end with a slash). The manifest goes to FOLDER/file.json
// unless --output names another file; a manifest inside FOLDER is not listed.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "ManifestWriter.h"

namespace {

int Usage() {
    fprintf(stderr, "usage: zentav-publish [--version N] [--output FILE] FOLDER BASE_URL\n");
    return 2;
}

bool WriteWhole(const std::string& path, const std::string& text) {
    std::string temporary = path + ".tmp";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (!file) return false;
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    written = fclose(file) == 0 && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Manifest manifest;
    std::string output;
    std::string folder;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--version") == 0 && i + 1 < argc) {
            char* end = nullptr;
            errno = 0;
            long version = strtol(argv[++i], &end, 10);
            if (errno || *end || version < 0 || version > 2147483647L) {
                fprintf(stderr, "zentav-publish: the version must be a whole number from 0 to 2147483647\n");
                return 2;
            }
            manifest.version = static_cast<int32_t>(version);
        } else if (strcmp(argv[i], "--output") == 0 && i + 1 < argc) {
            output = argv[++i];
        } else if (argv[i][0] == '-') {
            return Usage();
        } else if (positional == 0) {
            folder = argv[i];
            ++positional;
        } else if (positional == 1) {
            manifest.url = argv[i];
            ++positional;
        } else {
            return Usage();
        }
    }
    if (positional != 2) return Usage();

    std::string why = RefuseUrl(manifest.url);
    if (!why.empty()) {
        fprintf(stderr, "zentav-publish: cannot use \"%s\": %s\n", manifest.url.c_str(), why.c_str());
        return 1;
    }
    if (!std::filesystem::is_directory(folder)) {
        fprintf(stderr, "zentav-publish: %s is not a folder\n", folder.c_str());
        return 1;
    }
    if (output.empty()) output = (std::filesystem::path(folder) / "file.json").string();

    std::string error;
    if (!CollectFiles(folder, output, manifest, error)) {
        fprintf(stderr, "zentav-publish: %s\n", error.c_str());
        return 1;
    }
    if (!WriteWhole(output, FormatManifest(manifest))) {
        fprintf(stderr, "zentav-publish: cannot write %s: %s\n", output.c_str(), strerror(errno));
        return 1;
    }

    int64_t totalSize = 0;
    std::string launchTarget;
    for (const ManifestEntry& file : manifest.files) {
        totalSize += file.size;
        if (file.name.size() >= 4 && file.name.compare(file.name.size() - 4, 4, ".exe") == 0) launchTarget = file.name;
    }
    printf("%s: version %d, %zu files, %lld bytes\n", output.c_str(), manifest.version, manifest.files.size(),
           static_cast<long long>(totalSize));
    if (launchTarget.empty()) {
        printf("warning: no file ends with .exe, so the downloader will have nothing to launch\n");
    } else {
        printf("launch target: %s\n", launchTarget.c_str());
    }
    return 0;
}
