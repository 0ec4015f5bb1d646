#pragma once
// Test helpers that walk a tree: the node at a path, its text, its objects.

#include <cstdlib>
#include <string>

#include "json/cJson.h"

// The node at a path of keys separated by "/" below `node`; a segment "#N" takes
// element N of an array of objects. Null when any step finds nothing.
inline cJson::Node* NodeAt(cJson::Node* node, const std::string& path) {
    size_t start = 0;
    while (node && start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        std::string segment = path.substr(start, slash - start);
        node = segment[0] == '#' ? node->GetNode(atoi(segment.c_str() + 1)) : node->GetNode(segment.c_str());
        start = slash + 1;
    }
    return node;
}

// The text of the value at `path`, or "(absent)".
inline std::string TextAt(cJson::Node* node, const std::string& path) {
    cJson::Node* found = NodeAt(node, path);
    const char* text = found ? found->GetString() : nullptr;
    return text ? text : "(absent)";
}

// The objects of a tree, array elements included.
inline size_t CountObjects(cJson::Node* node) {
    size_t objects = 0;
    if (node->kind == cJson::Node::eJsonNode) {
        objects = 1;
        for (NodeEntry* entry = static_cast<JsonNode*>(node)->children.newest; entry; entry = entry->older) {
            objects += CountObjects(entry->node);
        }
    } else if (node->kind == cJson::Node::eJsonNodes) {
        for (int i = 0; i < static_cast<JsonNodes*>(node)->count; ++i) objects += CountObjects(node->GetNode(i));
    }
    return objects;
}
