#include "engine/LocalFiles.h"

#include <windows.h>

#include <cstring>

int64_t GetLocalFileSize(const char* path) {
    // The attributes carry the size without opening the file, so a file that is
    // open elsewhere still reports what it holds.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void CreateFolderTree(const char* path) {
    char folder[MAX_PATH];
    size_t length = strnlen(path, sizeof folder);
    if (length >= sizeof folder) return;
    memcpy(folder, path, length + 1);
    // Cut at every separator in turn, whichever kind comes first, so that a path
    // that mixes them still creates each parent before its child.
    for (char* cut = folder; (cut = strpbrk(cut, "/\\")) != nullptr; ++cut) {
        if (cut == folder) continue;
        char separator = *cut;
        *cut = '\0';
        CreateDirectoryA(folder, nullptr);
        *cut = separator;
    }
}
