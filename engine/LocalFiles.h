#pragma once
// The local side of a transfer: sizes of files left by earlier runs, and the
// folders that a relative path names.

#include <cstdint>

// Bytes in the file at `path`; 0 when there is no file there (or a folder, or
// anything whose size cannot be read).
int64_t GetLocalFileSize(const char* path);

// Creates every folder that the relative `path` names before its last component,
// outermost first: for a/b/c.bin first a, then a/b. Slash and backslash both
// separate. Folders that exist already are fine; the file itself is not created.
void CreateFolderTree(const char* path);
