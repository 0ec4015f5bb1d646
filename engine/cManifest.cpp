#include "engine/cManifest.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

cManifest::cManifest() : fileCount(0), totalSize(0), url(""), problems{}, fileList(nullptr) {}

void cManifest::Note(const char* format, ...) {
    size_t used = strlen(problems);
    if (used + 1 >= sizeof problems) return;
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(problems + used, sizeof problems - used, format, arguments);
    va_end(arguments);
}

bool cManifest::Load(const char* path) {
    fileCount = 0;
    totalSize = 0;
    url = "";
    problems[0] = '\0';
    fileList = nullptr;
    if (!document.Load(path) || !document.root) return false;
    cJson::Node* root = document.root;
    if (!root->GetNode("Version") && !root->GetNode("TotalCount") && !root->GetNode("FileList")) return false;

    cJson::Node* node = root->GetNode("TotalSize");
    if (node) {
        totalSize = node->GetInt64();
    } else {
        Note("\nTotalSize missing: progress is not counted");
    }

    node = root->GetNode("URL");
    if (node && node->GetString()) {
        url = node->GetString();
    } else {
        Note("\nURL missing");
    }

    // The entries are read by index without a range check: never past `count`. An
    // empty list ("[ ]") is read as an array of values, and holds no entry either.
    cJson::Node* list = root->GetNode("FileList");
    fileList = dynamic_cast<JsonNodes*>(list);
    int listed = fileList ? fileList->count : 0;
    if (!list) Note("\nFileList missing");

    node = root->GetNode("TotalCount");
    if (!node) {
        Note("\nTotalCount missing: using the %d entries of FileList", listed);
        fileCount = listed;
    } else if (node->GetInt() < 0) {
        Note("\nTotalCount %d: using the %d entries of FileList", node->GetInt(), listed);
        fileCount = listed;
    } else if (node->GetInt() > listed) {
        Note("\nTotalCount %d, but FileList holds %d entries: using those", node->GetInt(), listed);
        fileCount = listed;
    } else {
        fileCount = node->GetInt();
    }
    return true;
}

const char* cManifest::Name(int index) const {
    if (!fileList || index < 0 || index >= fileCount) return nullptr;
    cJson::Node* entry = fileList->GetNode(index);
    cJson::Node* name = entry ? entry->GetNode("Name") : nullptr;
    return name ? name->GetString() : nullptr;
}
