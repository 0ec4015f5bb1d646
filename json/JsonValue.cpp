#include "json/cJson.h"

#include <cstdlib>
#include <cstring>

#include "json/WideText.h"

namespace {
int32_t SaturateToInt32(long long number) {
    if (number > INT32_MAX) return INT32_MAX;
    if (number < INT32_MIN) return INT32_MIN;
    return int32_t(number);
}

// strtoll is atoi's reading (and strtol's in base 16) with a defined result on
// overflow: it saturates instead of wrapping.
long long ReadNumber(const char* text, int base) {
    return text ? strtoll(text, nullptr, base) : 0;
}
}  // namespace

JsonValue::JsonValue(const char* name, const char* value, size_t length)
    : Node(eJsonValue, name), text(new char[length + 1]), wideText(nullptr), textSize(int32_t(length + 1)) {
    memcpy(text, value, length);
    text[length] = '\0';
}

JsonValue::~JsonValue() {
    Clear();
}

void JsonValue::Clear() {
    delete[] text;
    text = nullptr;
    delete[] wideText;
    wideText = nullptr;
}

const char* JsonValue::GetString() {
    return text;
}

const wchar_t* JsonValue::GetWString() {
    if (!wideText && text) {
        wideText = new wchar_t[textSize];
        AnsiToWide(text, wideText, textSize);
    }
    return wideText;
}

int32_t JsonValue::GetInt() {
    return SaturateToInt32(ReadNumber(text, 10));
}

int64_t JsonValue::GetInt64() {
    return ReadNumber(text, 10);
}

int32_t JsonValue::GetHex() {
    return SaturateToInt32(ReadNumber(text, 16));
}

int64_t JsonValue::GetHex64() {
    return ReadNumber(text, 16);
}
