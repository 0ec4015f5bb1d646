#include "json/cJson.h"

JsonNodes::JsonNodes(const char* name) : Node(eJsonNodes, name), items(nullptr), count(0) {
    SetTypeName("cJson::Node::eJsonNodes");
}

JsonNodes::~JsonNodes() {
    Clear();
}

void JsonNodes::Allocate(int32_t elementCount) {
    Clear();
    if (elementCount <= 0) return;
    items = new JsonNode[elementCount];
    count = elementCount;
}

void JsonNodes::Clear() {
    delete[] items;
    items = nullptr;
    count = 0;
}

cJson::Node* JsonNodes::GetNode(int index) {
    return index >= 0 && index < count ? &items[index] : nullptr;
}

cJson::Node* JsonNodes::operator[](int index) {
    return GetNode(index);
}
