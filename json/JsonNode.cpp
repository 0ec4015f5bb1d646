#include "json/cJson.h"

JsonNode::JsonNode() : JsonNode("") {}

JsonNode::JsonNode(const char* name) : Node(eJsonNode, name) {
    SetTypeName("cJson::Node::eJsonNode");
}

JsonNode::~JsonNode() = default;    // the table destroys the members

void JsonNode::Clear() {
    children.DestroyNodes();
}

cJson::Node* JsonNode::GetNode(const char* key) {
    return children.Find(key);
}

cJson::Node* JsonNode::operator[](const char* key) {
    return children.Find(key);
}

bool JsonNode::AddMember(const char* key, cJson::Node* node) {
    return children.Add(key, node);
}
