#pragma once
// The local paths of one download run: which manifest names may become files under
// the download folder, and which of them name a file that an earlier entry of the
// run already writes.

#include <set>
#include <string>

class cLocalNames {
public:
    // True when `name`, taken relative to the download folder, stays inside it: not
    // empty, no drive, no colon, no leading separator, no component made only of dots
    // and blanks other than ".", no device name, and it names a file, not a folder.
    static bool IsInsideFolder(const char* name);

    // Records `name` as a file of this run. False when an earlier name denotes the
    // same file as the file system sees it (letter case, either separator, doubled
    // separators, "." components, trailing dots and blanks); nothing is recorded then.
    bool Add(const char* name);

private:
    std::set<std::wstring> seen;  // canonical forms of the names added
};
