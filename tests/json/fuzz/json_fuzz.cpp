// Fuzz target of the JSON documents: parses the input, loads it again from a file,
// compares the two trees and walks one of them through every reader, checking the
// model's invariants on the way; any broken invariant aborts as a finding.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <string>

#include "json/JsonParser.h"
#include "json/cJson.h"
#include "tests/json/NodePath.h"

namespace {

std::string tempPath;

void Check(bool condition, const char* what) {
    if (condition) return;
    fprintf(stderr, "invariant broken: %s\n", what);
    abort();
}

// The same shape and texts in both trees.
void Compare(cJson::Node* a, cJson::Node* b) {
    Check((a == nullptr) == (b == nullptr), "Load and Parse agree on presence");
    if (!a) return;
    Check(a->kind == b->kind, "Load and Parse agree on kinds");
    Check(strcmp(a->name, b->name) == 0, "Load and Parse agree on names");
    if (a->kind == cJson::Node::eJsonValue) {
        Check(strcmp(a->GetString(), b->GetString()) == 0, "Load and Parse agree on values");
    } else if (a->kind == cJson::Node::eJsonNode) {
        JsonNode* objectA = static_cast<JsonNode*>(a);
        for (NodeEntry* entry = objectA->children.newest; entry; entry = entry->older) {
            Compare(entry->node, b->GetNode(entry->key));
        }
        int countA = 0, countB = 0;
        for (NodeEntry* entry = objectA->children.newest; entry; entry = entry->older) ++countA;
        for (NodeEntry* entry = static_cast<JsonNode*>(b)->children.newest; entry; entry = entry->older) ++countB;
        Check(countA == countB, "Load and Parse agree on member counts");
    } else if (a->kind == cJson::Node::eJsonNodes) {
        JsonNodes* arrayA = static_cast<JsonNodes*>(a);
        Check(arrayA->count == static_cast<JsonNodes*>(b)->count, "Load and Parse agree on element counts");
        for (int i = 0; i < arrayA->count; ++i) Compare(a->GetNode(i), b->GetNode(i));
    }
}

// Reads everything a node offers, then clears it and checks that it answers nothing.
// `depth` counts objects as the parser does: the root is 1, an array adds no level.
void WalkAndClear(cJson::Node* node, int depth) {
    Check(strlen(node->name) < NodeTable::kKeySize, "names fit a key");
    (void)node->GetInt();
    (void)node->GetInt64();
    (void)node->GetHex();
    (void)node->GetHex64();

    switch (node->kind) {
    case cJson::Node::eJsonValue: {
        JsonValue* value = static_cast<JsonValue*>(node);
        const char* text = value->GetString();
        Check(text != nullptr, "a value has a text");
        size_t length = strlen(text);
        Check(int32_t(length) + 1 == value->textSize, "textSize is the text's size");
        Check(length <= JsonParser::kMaxValueLength, "values are cut to the limit");
        const wchar_t* wide = value->GetWString();
        Check(wide != nullptr && wide == value->GetWString(), "the wide text is kept");
        Check(wcslen(wide) <= length, "the wide text fits");
        Check(value->GetNode("") == nullptr && value->GetNode(0) == nullptr, "a value has no members");
        value->Clear();
        Check(value->GetString() == nullptr && value->GetWString() == nullptr, "a cleared value has no text");
        Check(value->GetInt() == 0 && value->GetInt64() == 0 && value->GetHex() == 0 && value->GetHex64() == 0,
              "a cleared value reads 0");
        break;
    }
    case cJson::Node::eJsonNode: {
        JsonNode* object = static_cast<JsonNode*>(node);
        Check(depth <= JsonParser::kMaxDepth + 1, "nesting is bounded");
        Check(strcmp(object->GetString(), "cJson::Node::eJsonNode") == 0, "an object's text is its type");
        Check(object->GetWString() == nullptr && object->GetNode(0) == nullptr, "an object has no text or elements");
        for (NodeEntry* entry = object->children.newest; entry; entry = entry->older) {
            Check(strlen(entry->key) < NodeTable::kKeySize, "keys fit their buffer");
            Check(object->GetNode(entry->key) == entry->node, "every member is found by its key");
            Check((*object)[entry->key] == entry->node, "operator[] finds what GetNode finds");
            Check(strcmp(entry->node->name, entry->key) == 0, "a member is named by its key");
            bool inBucket = false;
            for (NodeEntry* chained = object->children.buckets[NodeTable::BucketOf(entry->key)]; chained;
                 chained = chained->chainNext) {
                inBucket = inBucket || chained == entry;
            }
            Check(inBucket, "every entry is in its key's bucket");
            WalkAndClear(entry->node, depth + 1);
        }
        object->Clear();
        for (NodeEntry* entry = object->children.newest; entry; entry = entry->older) {
            Check(object->GetNode(entry->key) == nullptr, "a cleared object has no members");
        }
        break;
    }
    case cJson::Node::eJsonNodes: {
        JsonNodes* array = static_cast<JsonNodes*>(node);
        Check(array->count >= 0, "element count");
        Check(array->GetNode("") == nullptr && array->GetNode(-1) == nullptr && array->GetNode(array->count) == nullptr,
              "no element outside the array");
        for (int i = 0; i < array->count; ++i) {
            cJson::Node* element = array->GetNode(i);
            Check(element == (*array)[i] && element->kind == cJson::Node::eJsonNode && element->name[0] == '\0',
                  "elements are unnamed objects");
            WalkAndClear(element, depth);
        }
        array->Clear();
        Check(array->count == 0 && array->GetNode(0) == nullptr, "a cleared array is empty");
        break;
    }
    case cJson::Node::eJsonValues: {
        JsonValues* array = static_cast<JsonValues*>(node);
        Check(array->count == 0 && array->items == nullptr, "arrays of scalars stay empty");
        array->Clear();
        break;
    }
    default:
        Check(false, "known kind");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (std::filesystem::temp_directory_path() / "json_fuzz_XXXXXX").string();
    int handle = mkstemp(pattern.data());
    if (handle < 0) abort();
    close(handle);
    tempPath = pattern;
    atexit([] { unlink(tempPath.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size, zero-terminated copy, so that reading past the text is caught.
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = '\0';

    cJson parsed;
    bool isObject = parsed.Parse(text.get());
    size_t start = strspn(text.get(), " \t\r\n");
    Check(isObject == (text[start] == '{'), "Parse accepts exactly the texts that begin with an object");
    Check(isObject == (parsed.root != nullptr), "a parsed text leaves a root");

    FILE* file = fopen(tempPath.c_str(), "wb");
    if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0) abort();
    // A holder that already has a tree: Load empties it before it reads the file.
    cJson loaded;
    loaded.Parse("{\"stale\":\"1\"}");
    Check(loaded.Load(tempPath.c_str()), "an existing file loads");
    if (!parsed.root) {
        Check(loaded.root && !loaded.root->children.newest->node, "Load empties the previous tree");
        return 0;
    }
    Compare(parsed.root, loaded.root);  // so Load also replaced the previous tree
    Check(CountObjects(parsed.root) <= size_t(std::count(text.get(), text.get() + size, '{')),
          "no more objects than the text has braces");
    WalkAndClear(parsed.root, 1);
    return 0;
}
