#include "json/cJson.h"

#include <cstring>

NodeTable::NodeTable()
    : buckets(new NodeEntry*[kBucketCount]()), bucketCount(kBucketCount), newest(nullptr), cursor(nullptr) {}

NodeTable::~NodeTable() {
    DestroyNodes();
    while (newest) {
        NodeEntry* entry = newest;
        newest = entry->older;
        delete[] entry->key;
        delete entry;
    }
    delete[] buckets;
}

int32_t NodeTable::BucketOf(const char* key) {
    size_t length = strlen(key);
    size_t start = length > 8 ? length - 8 : 0;
    uint64_t number = 0;
    for (size_t i = start; i < length; ++i) {
        number |= uint64_t(static_cast<unsigned char>(key[i])) << (8 * (i - start));
    }
    return int32_t(number % kBucketCount);
}

NodeEntry* NodeTable::FindEntry(const char* key) const {
    for (NodeEntry* entry = buckets[BucketOf(key)]; entry; entry = entry->chainNext) {
        if (strcmp(entry->key, key) == 0) return entry;
    }
    return nullptr;
}

cJson::Node* NodeTable::Find(const char* key) const {
    if (!key) return nullptr;
    NodeEntry* entry = FindEntry(key);
    return entry ? entry->node : nullptr;
}

bool NodeTable::Add(const char* key, cJson::Node* node) {
    size_t length = strlen(key);
    if (length >= size_t(kKeySize) || FindEntry(key)) return false;

    NodeEntry* entry = new NodeEntry();
    entry->key = new char[kKeySize]();
    memcpy(entry->key, key, length);
    entry->node = node;

    NodeEntry*& head = buckets[BucketOf(key)];
    entry->chainNext = head;
    if (head) head->chainPrev = entry;
    head = entry;

    entry->older = newest;
    if (newest) newest->newer = entry;
    newest = entry;
    return true;
}

void NodeTable::DestroyNodes() {
    for (cursor = newest; cursor; cursor = cursor->older) {
        delete cursor->node;
        cursor->node = nullptr;
    }
}
