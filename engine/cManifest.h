#pragma once
// The download manifest as a run reads it: the totals, the base URL of the files
// and each entry's name. Missing keys and a TotalCount that does not match the file
// list are noted, and the entries that the run handles are only those that exist.

#include <cstdint>

#include "json/cJson.h"

class cManifest {
public:
    cJson document;
    int fileCount;          // entries to handle: TotalCount, but never more than FileList holds
    int64_t totalSize;      // TotalSize, 0 when missing
    const char* url;        // URL, "" when missing; owned by `document`
    char problems[512];     // one line per missing key or inconsistency; empty when none

    cManifest();
    cManifest(const cManifest&) = delete;
    cManifest& operator=(const cManifest&) = delete;

    // Loads the manifest at `path` (relative to the current folder). False when the
    // file cannot be opened or holds no object.
    bool Load(const char* path);

    // The Name of entry `index` (0 <= index < fileCount); null when it has none.
    const char* Name(int index) const;

private:
    JsonNodes* fileList;    // owned by `document`; null when missing
    void Note(const char* format, ...);
};
