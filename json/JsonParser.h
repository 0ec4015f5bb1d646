#pragma once
// The reader of the dialect in which the system's documents are written: one
// forward pass with a cursor, in which a value runs to the next "," or "}" and a
// backslash is an ordinary byte. No syntax error is reported: whatever could be
// read stays in the tree.
//
// Input outside the dialect is read as far as it makes sense, and never beyond the
// text's terminating zero:
// - a key longer than 127 bytes: its member is read (so that the cursor moves over
//   it) and dropped, since a cut key could shadow or impersonate another member;
// - a value longer than 1023 bytes keeps its first 1023 bytes;
// - no colon after a key, or no "," or "}" after a value: the reading ends there,
//   and the incomplete member is dropped (a cut number must not pass for a whole one);
// - an empty object, or a "," before an object's "}": the object ends at that "}";
// - objects nested deeper than kMaxDepth: the reading ends at the first one too deep
//   (it stays, empty), so that a hostile text cannot exhaust the stack;
// - objects nested inside the elements of an array: an array's elements are the
//   objects at its own level up to its first "]", so an inner "{" is read as a
//   member object, not counted as one more element.
// Memory stays proportional to the text: each object costs a fixed table, and no
// more objects are made than the text has "{" (a nested array of objects would
// otherwise count the same braces again at every level); once they are used up,
// the reading ends.

#include <cstddef>

#include "json/cJson.h"

class JsonParser {
public:
    static constexpr int kMaxDepth = 64;
    static constexpr size_t kMaxValueLength = 1023;

    // `text` is zero-terminated and must outlive the parser.
    explicit JsonParser(const char* text);

    // The document's top-level object, named "head-node" (owned by the caller), or
    // null when the text does not begin with an object after blanks.
    JsonNode* ReadDocument();

private:
    const char* cursor;
    const char* end;        // the text's terminating zero
    size_t objectsLeft;     // objects that may still be made: the text's "{" not yet used

    // Takes `count` objects from the budget; false, taking none, when fewer are left.
    bool TakeObjects(size_t count);
    // The objects at the cursor's level from the cursor up to `close`.
    size_t CountElements(const char* close) const;

    // Reads the members of `object`; the cursor stands just after its "{".
    void ReadObject(JsonNode* object, int depth);
    // Reads the elements of an array of objects; the cursor stands at the first "{".
    void ReadArray(JsonNodes* array, int depth);
    // Offers `node` to `object` under `key`; false when the object did not take it.
    static bool Offer(JsonNode* object, const char* key, cJson::Node* node);

    bool At(char c) const { return cursor < end && *cursor == c; }
    void SkipBlanks();
    // The first of `bytes` from the cursor on, or null when the text ends first.
    const char* FindFirstOf(const char* bytes) const;
};
