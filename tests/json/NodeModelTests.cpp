// The node model: what each kind answers, the conversions of a value, the member
// table's buckets, chains and age list, and Clear.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "json/cJson.h"
#include "tests/json/NodePath.h"

namespace {

JsonValue MakeValue(const char* text) {
    return JsonValue("k", text, strlen(text));
}

TEST(JsonNodeModel, EachKindAnswersOnlyWhatItHolds) {
    cJson document;
    ASSERT_TRUE(document.Parse(R"({"o":{"a":"1"},"n":[{"a":"1"}],"v":"343","s":[1,2]})"));

    struct Case {
        const char* key;
        cJson::Node::Kind kind;
        const char* typeName;
    };
    const Case cases[] = {
        {"o", cJson::Node::eJsonNode, "cJson::Node::eJsonNode"},
        {"n", cJson::Node::eJsonNodes, "cJson::Node::eJsonNodes"},
        {"s", cJson::Node::eJsonValues, "cJson::Node::eJsonValues"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        cJson::Node* node = document.root->GetNode(c.key);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->kind, c.kind);
        EXPECT_STREQ(node->typeName, c.typeName);
        EXPECT_STREQ(node->GetString(), c.typeName);
        EXPECT_STREQ(node->name, c.key);
        EXPECT_EQ(node->GetWString(), nullptr);
        EXPECT_EQ(node->GetInt(), 0);
        EXPECT_EQ(node->GetInt64(), 0);
        EXPECT_EQ(node->GetHex(), 0);
        EXPECT_EQ(node->GetHex64(), 0);
    }

    cJson::Node* value = document.root->GetNode("v");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->kind, cJson::Node::eJsonValue);
    EXPECT_STREQ(value->typeName, "cJson::Node");
    EXPECT_EQ(static_cast<JsonValue*>(value)->textSize, 4);

    // Lookups of the wrong kind find nothing: by key in a value or an array, by
    // index in an object or a value.
    EXPECT_EQ(value->GetNode("v"), nullptr);
    EXPECT_EQ((*value)["v"], nullptr);
    EXPECT_EQ(document.root->GetNode("n")->GetNode("a"), nullptr);
    EXPECT_EQ((*document.root->GetNode("n"))["a"], nullptr);
    EXPECT_EQ(document.root->GetNode(0), nullptr);
    EXPECT_EQ((*document.root)[0], nullptr);
    EXPECT_EQ(value->GetNode(0), nullptr);
    EXPECT_STREQ(document.root->name, "head-node");
}

TEST(JsonNodeModel, ValueConversions) {
    struct Case {
        const char* text;
        int32_t asInt;
        int64_t asInt64;
        int32_t asHex;
        int64_t asHex64;
    };
    const Case cases[] = {
        {"343", 343, 343, 0x343, 0x343},
        {"0x33FFff", 0, 0, 0x33FFFF, 0x33FFFF},
        {"0X1f", 0, 0, 0x1F, 0x1F},
        {"12.5", 12, 12, 0x12, 0x12},
        {"true", 0, 0, 0, 0},
        {"", 0, 0, 0, 0},
        {"abc", 0, 0, 0xABC, 0xABC},
        {" \t-42abc", -42, -42, -0x42ABC, -0x42ABC},
        {"+7", 7, 7, 7, 7},
        {"0x", 0, 0, 0, 0},
        {"2147483647", INT32_MAX, INT32_MAX, INT32_MAX, 0x2147483647LL},
        // Beyond the result type the readers saturate instead of wrapping.
        {"2147483648", INT32_MAX, 2147483648LL, INT32_MAX, 0x2147483648LL},
        {"-2147483649", INT32_MIN, -2147483649LL, INT32_MIN, -0x2147483649LL},
        {"0xFFFFFFFF", 0, 0, INT32_MAX, 0xFFFFFFFFLL},
        {"9223372036854775808", INT32_MAX, INT64_MAX, INT32_MAX, INT64_MAX},
        {"-99999999999999999999", INT32_MIN, INT64_MIN, INT32_MIN, INT64_MIN},
        {"10000000000000000", INT32_MAX, 10000000000000000LL, INT32_MAX, INT64_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        JsonValue value = MakeValue(c.text);
        EXPECT_EQ(value.GetInt(), c.asInt);
        EXPECT_EQ(value.GetInt64(), c.asInt64);
        EXPECT_EQ(value.GetHex(), c.asHex);
        EXPECT_EQ(value.GetHex64(), c.asHex64);
    }
}

TEST(JsonNodeModel, WideTextIsConvertedOnceAndKept) {
    JsonValue value = MakeValue("Arial");
    const wchar_t* first = value.GetWString();
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, L"Arial");
    EXPECT_EQ(value.GetWString(), first);

    // A byte beyond ASCII becomes one character, whatever the code page makes of it.
    JsonValue accented = MakeValue("caf\xE9");
    ASSERT_NE(accented.GetWString(), nullptr);
    EXPECT_EQ(wcslen(accented.GetWString()), 4u);
    EXPECT_EQ(wcsncmp(accented.GetWString(), L"caf", 3), 0);
}

TEST(JsonNodeModel, ClearedValueAnswersNullAndZero) {
    JsonValue value = MakeValue("0x20");
    ASSERT_NE(value.GetWString(), nullptr);
    value.Clear();
    EXPECT_EQ(value.GetString(), nullptr);
    EXPECT_EQ(value.GetWString(), nullptr);
    EXPECT_EQ(value.GetInt(), 0);
    EXPECT_EQ(value.GetInt64(), 0);
    EXPECT_EQ(value.GetHex(), 0);
    EXPECT_EQ(value.GetHex64(), 0);
    value.Clear();  // a second Clear, and the destructor after it, free nothing twice
}

TEST(JsonNodeModel, BucketIsTheLastEightBytesModulo999) {
    struct Case {
        const char* key;
        int32_t bucket;
    };
    // Expected values computed by hand: little-endian numbers of the last eight bytes.
    const Case cases[] = {
        {"x", 120},            // 0x78
        {"ab", 210},           // 0x6261 = 25185
        {"version", 591},
        {"window-title", 764},
        {"progressbar", 524},
        {"Progressbar", 524},  // the same last eight bytes
        {"12345678", 285},
        {"012345678", 285},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(NodeTable::BucketOf(c.key), c.bucket);
    }
}

TEST(JsonNodeModel, MembersSitInTheirBucketsAndInTheAgeList) {
    cJson document;
    ASSERT_TRUE(document.Parse(R"({"x":"1","progressbar":"2","y":"3","Progressbar":"4"})"));
    NodeTable& table = document.root->children;
    EXPECT_EQ(table.bucketCount, 999);

    // Keys that share a bucket are told apart by exact comparison; the later one
    // heads the chain.
    EXPECT_EQ(TextAt(document.root, "progressbar"), "2");
    EXPECT_EQ(TextAt(document.root, "Progressbar"), "4");
    EXPECT_EQ(TextAt(document.root, "PROGRESSBAR"), "(absent)");
    EXPECT_EQ(TextAt(document.root, "X"), "(absent)");
    NodeEntry* head = table.buckets[524];
    ASSERT_NE(head, nullptr);
    EXPECT_STREQ(head->key, "Progressbar");
    ASSERT_NE(head->chainNext, nullptr);
    EXPECT_STREQ(head->chainNext->key, "progressbar");
    EXPECT_EQ(head->chainNext->chainPrev, head);
    EXPECT_EQ(head->chainNext->chainNext, nullptr);
    ASSERT_NE(table.buckets[120], nullptr);
    EXPECT_STREQ(table.buckets[120]->key, "x");

    // The age list runs from the member read last back to the first.
    std::vector<std::string> fromNewest;
    for (NodeEntry* entry = table.newest; entry; entry = entry->older) {
        fromNewest.push_back(entry->key);
        if (entry->older) {
            EXPECT_EQ(entry->older->newer, entry);
        }
    }
    EXPECT_EQ(fromNewest, (std::vector<std::string>{"Progressbar", "y", "progressbar", "x"}));
}

TEST(JsonNodeModel, ClearEmptiesObjectsAndArrays) {
    cJson document;
    ASSERT_TRUE(document.Parse(R"({"a":{"b":"1"},"list":[{"n":"1"},{"n":"2"}],"c":"2"})"));
    cJson::Node* list = document.root->GetNode("list");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(static_cast<JsonNodes*>(list)->count, 2);
    EXPECT_EQ(TextAt(list, "#1/n"), "2");
    EXPECT_EQ(list->GetNode(-1), nullptr);
    EXPECT_EQ(list->GetNode(2), nullptr);

    list->Clear();
    EXPECT_EQ(static_cast<JsonNodes*>(list)->count, 0);
    EXPECT_EQ(list->GetNode(0), nullptr);

    document.root->Clear();
    for (const char* key : {"a", "list", "c"}) EXPECT_EQ(document.root->GetNode(key), nullptr) << key;
    document.root->Clear();  // clearing twice, then destroying the holder, frees nothing twice
}

}  // namespace
