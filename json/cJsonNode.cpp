#include "json/cJson.h"

#include <cstring>

namespace {
// Copies a text into a fixed array, cutting it to fit.
template <size_t size>
void CopyCut(char (&to)[size], const char* from) {
    strncpy(to, from ? from : "", size - 1);
    to[size - 1] = '\0';
}
}  // namespace

cJson::Node::Node(Kind kind, const char* name) : kind(kind), typeName{}, name{} {
    CopyCut(typeName, "cJson::Node");
    CopyCut(this->name, name);
}

cJson::Node::~Node() = default;

void cJson::Node::SetTypeName(const char* text) {
    CopyCut(typeName, text);
}

void cJson::Node::Clear() {}
const char* cJson::Node::GetString() { return typeName; }
const wchar_t* cJson::Node::GetWString() { return nullptr; }
int32_t cJson::Node::GetInt() { return 0; }
int64_t cJson::Node::GetInt64() { return 0; }
int32_t cJson::Node::GetHex() { return 0; }
int64_t cJson::Node::GetHex64() { return 0; }
cJson::Node* cJson::Node::GetNode(const char*) { return nullptr; }
cJson::Node* cJson::Node::GetNode(int) { return nullptr; }
cJson::Node* cJson::Node::operator[](const char*) { return nullptr; }
cJson::Node* cJson::Node::operator[](int) { return nullptr; }
