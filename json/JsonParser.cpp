#include "json/JsonParser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The length of [start, start + length) without its trailing blanks and double quotes.
size_t TrimmedLength(const char* start, size_t length) {
    while (length > 0 && (IsBlank(start[length - 1]) || start[length - 1] == '"')) --length;
    return length;
}
}  // namespace

JsonParser::JsonParser(const char* text)
    : cursor(text), end(text + strlen(text)), objectsLeft(size_t(std::count(text, end, '{'))) {}

bool JsonParser::TakeObjects(size_t count) {
    if (count > objectsLeft) return false;
    objectsLeft -= count;
    return true;
}

size_t JsonParser::CountElements(const char* close) const {
    size_t elements = 0;
    size_t level = 0;
    for (const char* at = cursor; at < close; ++at) {
        if (*at == '{') {
            if (level == 0) ++elements;
            ++level;
        } else if (*at == '}' && level > 0) {
            --level;
        }
    }
    return elements;
}

void JsonParser::SkipBlanks() {
    while (cursor < end && IsBlank(*cursor)) ++cursor;
}

const char* JsonParser::FindFirstOf(const char* bytes) const {
    // strcspn stops at the terminating zero at `end` at the latest.
    const char* found = cursor + strcspn(cursor, bytes);
    return found < end ? found : nullptr;
}

bool JsonParser::Offer(JsonNode* object, const char* key, cJson::Node* node) {
    return key && object->AddMember(key, node);
}

JsonNode* JsonParser::ReadDocument() {
    SkipBlanks();
    if (!At('{') || !TakeObjects(1)) return nullptr;
    ++cursor;
    JsonNode* head = new JsonNode("head-node");
    ReadObject(head, 1);
    return head;
}

void JsonParser::ReadObject(JsonNode* object, int depth) {
    if (depth > kMaxDepth) {
        cursor = end;
        return;
    }
    while (cursor < end) {
        SkipBlanks();
        if (At('}')) {  // an empty object, or a comma after the last member
            ++cursor;
            return;
        }
        if (At('"')) ++cursor;

        // The key runs up to the colon, less the closing quote just before it.
        const char* colon = FindFirstOf(":");
        if (!colon) {
            cursor = end;
            return;
        }
        const char* keyStart = cursor;
        size_t keyLength = TrimmedLength(keyStart, colon > keyStart ? size_t(colon - 1 - keyStart) : 0);
        char keyBuffer[NodeTable::kKeySize] = {};
        const char* key = nullptr;  // null: too long, the member is read and dropped
        if (keyLength < sizeof keyBuffer) {
            memcpy(keyBuffer, keyStart, keyLength);
            key = keyBuffer;
        }
        cursor = colon + 1;
        SkipBlanks();

        if (At('{')) {
            if (!TakeObjects(1)) {
                cursor = end;
                return;
            }
            ++cursor;
            JsonNode* member = new JsonNode(key ? key : "");
            bool kept = Offer(object, key, member);
            ReadObject(member, depth + 1);
            if (!kept) delete member;
            // Whatever follows the inner object up to its terminator is ignored.
            const char* terminator = FindFirstOf(",}");
            if (!terminator) {
                cursor = end;
                return;
            }
            cursor = terminator + 1;
            if (*terminator == '}') return;
            continue;
        }

        if (At('[')) {
            ++cursor;
            SkipBlanks();
            if (At('{')) {
                JsonNodes* member = new JsonNodes(key ? key : "");
                bool kept = Offer(object, key, member);
                ReadArray(member, depth + 1);
                if (!kept) delete member;
            } else {
                // An array of scalars is only marked; its elements are not read.
                JsonValues* member = new JsonValues(key ? key : "");
                if (!Offer(object, key, member)) delete member;
            }
            SkipBlanks();
            if (!At(',')) return;
            ++cursor;
            continue;
        }

        // A scalar: up to the first "," or "}", less an opening quote and trailing blanks and quotes.
        const char* terminator = FindFirstOf(",}");
        if (!terminator) {
            cursor = end;
            return;
        }
        if (At('"')) ++cursor;
        size_t valueLength = std::min(TrimmedLength(cursor, size_t(terminator - cursor)), kMaxValueLength);
        JsonValue* member = new JsonValue(key ? key : "", cursor, valueLength);
        if (!Offer(object, key, member)) delete member;
        cursor = terminator + 1;
        if (*terminator == '}') return;
    }
}

void JsonParser::ReadArray(JsonNodes* array, int depth) {
    const char* close = FindFirstOf("]");
    if (!close) return;
    size_t elements = CountElements(close);
    if (elements > INT32_MAX || !TakeObjects(elements)) {
        cursor = end;
        return;
    }
    array->Allocate(int32_t(elements));
    ++cursor;
    for (int32_t i = 0; i < array->count; ++i) {
        SkipBlanks();
        if (At(',')) {
            ++cursor;
            SkipBlanks();
            if (At('{')) ++cursor;
        }
        ReadObject(&array->items[i], depth);
    }
    close = FindFirstOf("]");
    cursor = close ? close + 1 : end;
}
