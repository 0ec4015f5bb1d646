#include "json/cJson.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "json/JsonParser.h"

cJson::cJson() : root(nullptr), fileName{} {}

cJson::~cJson() {
    delete root;
}

bool cJson::Parse(const char* text) {
    if (!text) return false;
    JsonNode* head = JsonParser(text).ReadDocument();
    if (!head) return false;
    delete root;
    root = head;
    return true;
}

bool cJson::Load(const char* path) {
    // Every lookup yields null until a new tree has been read.
    if (root) root->Clear();

    FILE* file = fopen(path, "rb");
    if (!file) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> closer(file, fclose);
    // A longer path is cut: the name is only a record of what was loaded.
    strncpy(fileName, path, sizeof fileName - 1);
    fileName[sizeof fileName - 1] = '\0';

    // A file whose size cannot be told or held is read as an empty text.
    long size = 0;
    if (fseek(file, 0, SEEK_END) == 0) size = ftell(file);
    if (size < 0 || fseek(file, 0, SEEK_SET) != 0) size = 0;
    std::unique_ptr<char[]> text(new (std::nothrow) char[size_t(size) + 1]);
    if (!text) return true;
    size_t read = fread(text.get(), 1, size_t(size), file);
    text[read] = '\0';
    Parse(text.get());
    return true;
}
