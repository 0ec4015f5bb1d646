#pragma once
// Test helper: the node at a path of keys separated by "/" below `node`; a segment
// "#N" takes element N of an array of objects. Null when any step finds nothing.

#include <cstdlib>
#include <string>

#include "json/cJson.h"

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
