#include "json/cJson.h"

JsonValues::JsonValues(const char* name) : Node(eJsonValues, name), count(0), items(nullptr) {
    SetTypeName("cJson::Node::eJsonValues");
}

JsonValues::~JsonValues() {
    Clear();
}

void JsonValues::Clear() {
    for (int32_t i = 0; i < count; ++i) delete[] items[i];
    delete[] items;
    items = nullptr;
    count = 0;
}
