#pragma once
// The JSON document model: the holder `cJson` that loads a text and owns the tree
// read from it, the base class of that tree's nodes `cJson::Node`, and the four
// kinds of node. Every value is kept as the text that stood in the document and is
// converted only when asked. Asking a node for something it does not hold (a member
// of a value, a number of an object, an absent member) yields null or 0, never an
// error. Readers use `root` and the lookups of `cJson::Node`.

#include <cstddef>
#include <cstdint>

class JsonNode;

class cJson {
public:
    class Node {
    public:
        enum Kind : int32_t { eJsonValue = 0, eJsonNode = 1, eJsonValues = 2, eJsonNodes = 3 };

        Kind kind;
        char typeName[64];
        char name[256];     // the member's key; "head-node" for a document's root; empty for array elements

        virtual ~Node();
        virtual void Clear();
        // A value's text; for the other kinds their type name.
        virtual const char* GetString();
        virtual const wchar_t* GetWString();
        virtual int32_t GetInt();
        virtual int64_t GetInt64();
        virtual int32_t GetHex();
        virtual int64_t GetHex64();
        // A member of an object, or null.
        virtual Node* GetNode(const char* key);
        // An element of an array of objects, or null.
        virtual Node* GetNode(int index);
        virtual Node* operator[](const char* key);
        virtual Node* operator[](int index);

        Node(const Node&) = delete;
        Node& operator=(const Node&) = delete;

    protected:
        // Type name "cJson::Node"; the derived kinds other than a value replace it.
        Node(Kind kind, const char* name);
        void SetTypeName(const char* text);
    };

    JsonNode* root;         // owned; null until a text that begins with an object was parsed
    char fileName[128];     // the path given to the last Load that opened its file

    cJson();
    ~cJson();
    cJson(const cJson&) = delete;
    cJson& operator=(const cJson&) = delete;

    // Builds a new tree from a zero-terminated text. False, with nothing changed,
    // when the text does not begin with an object.
    bool Parse(const char* text);
    // Empties the current root, then reads a whole file and parses it. False only
    // when the file cannot be opened.
    bool Load(const char* path);
    // Reads the built-in UI description (resource 104). A failed read shows
    // "json error -34" and ends the process, so it always returns true.
    bool LoadFromResource();
};

// One member of an object.
struct NodeEntry {
    char* key;              // owned buffer of NodeTable::kKeySize bytes
    cJson::Node* node;      // owned; null once the table's nodes were destroyed
    NodeEntry* chainNext;   // neighbours in the bucket's chain
    NodeEntry* chainPrev;
    NodeEntry* older;       // neighbours in the age list
    NodeEntry* newer;
};

// The members of one object: a hash table of a fixed 999 buckets, plus an age
// list of its entries, newest first, that Clear and the destructor walk.
class NodeTable {
public:
    static constexpr int32_t kBucketCount = 999;
    static constexpr int32_t kKeySize = 128;    // so a key has at most 127 bytes

    NodeEntry** buckets;    // owned array of kBucketCount chain heads
    int32_t bucketCount;
    NodeEntry* newest;
    NodeEntry* cursor;      // walking position while the nodes are destroyed

    NodeTable();
    ~NodeTable();
    NodeTable(const NodeTable&) = delete;
    NodeTable& operator=(const NodeTable&) = delete;

    // The node stored under `key`, or null.
    cJson::Node* Find(const char* key) const;
    // Takes ownership of `node` under a copy of `key`. False, with ownership left
    // to the caller, when `key` is already present or longer than kKeySize - 1 bytes.
    bool Add(const char* key, cJson::Node* node);
    // Destroys every entry's node; the entries and their keys stay.
    void DestroyNodes();

    // The key's last eight bytes (zero-padded when shorter), read as a
    // little-endian unsigned 64-bit number, modulo the bucket count.
    static int32_t BucketOf(const char* key);

private:
    NodeEntry* FindEntry(const char* key) const;
};

// One scalar (a string, number, true, false or null) kept as the text that stood
// in the document, without escape processing.
class JsonValue : public cJson::Node {
public:
    char* text;             // owned, zero-terminated; null after Clear
    wchar_t* wideText;      // owned; null until the first GetWString
    int32_t textSize;       // strlen(text) + 1

    // Copies `length` bytes of `value`.
    JsonValue(const char* name, const char* value, size_t length);
    ~JsonValue() override;

    void Clear() override;
    const char* GetString() override;
    // Converted from the ANSI code page on the first call; the same pointer on every call.
    const wchar_t* GetWString() override;
    // Decimal, read like atoi (blanks, a sign, digits up to the first other byte).
    // The hexadecimal ones read like strtol in base 16 (also an optional 0x).
    // Out-of-range numbers saturate at the limits of the result type.
    int32_t GetInt() override;
    int64_t GetInt64() override;
    int32_t GetHex() override;
    int64_t GetHex64() override;
};

// One object: its members, looked up by key.
class JsonNode : public cJson::Node {
public:
    NodeTable children;

    JsonNode();             // an element of an array of objects: no name
    explicit JsonNode(const char* name);
    ~JsonNode() override;

    // Destroys every member; every lookup yields null afterwards.
    void Clear() override;
    using cJson::Node::GetNode;
    using cJson::Node::operator[];
    // The object's own member `key` (exact, case-sensitive), or null.
    cJson::Node* GetNode(const char* key) override;
    cJson::Node* operator[](const char* key) override;

    // Takes ownership of `node` as member `key`. False when the object already holds
    // that key (the first member stays) or the key is too long to keep; the caller
    // then still owns `node`.
    bool AddMember(const char* key, cJson::Node* node);
};

// An array of scalars. The parser never reads its elements, so it stays empty and
// only tells that the member exists.
class JsonValues : public cJson::Node {
public:
    int32_t count;
    char** items;           // owned: `count` owned strings

    explicit JsonValues(const char* name);
    ~JsonValues() override;

    void Clear() override;
};

// An array of objects, held as one block of unnamed elements.
class JsonNodes : public cJson::Node {
public:
    JsonNode* items;        // owned block of `count` elements
    int32_t count;

    explicit JsonNodes(const char* name);
    ~JsonNodes() override;

    // Replaces the elements with `elementCount` empty ones.
    void Allocate(int32_t elementCount);
    // Destroys every element; `count` becomes 0.
    void Clear() override;
    using cJson::Node::GetNode;
    using cJson::Node::operator[];
    // Element `index`, counting from 0; null outside 0 .. count - 1.
    cJson::Node* GetNode(int index) override;
    cJson::Node* operator[](int index) override;
};
