// The parser: the documents' dialect, arrays of objects, and what it keeps of
// text outside the dialect.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "json/cJson.h"
#include "tests/json/NodePath.h"

namespace {

std::string Repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}

// The keys of an object's members in the order they were read.
std::vector<std::string> KeysInOrder(JsonNode* object) {
    std::vector<std::string> keys;
    for (NodeEntry* entry = object->children.newest; entry; entry = entry->older) keys.insert(keys.begin(), entry->key);
    return keys;
}

TEST(JsonParser, ReadsTheDialect) {
    struct Case {
        const char* name;
        const char* text;
        const char* path;
        const char* value;  // "(absent)" when nothing is found
    };
    const Case cases[] = {
        {"blanks before the document", " \t\r\n{\"a\":\"1\"}", "a", "1"},
        {"blanks around the colon", R"({"x" : 128})", "x", "128"},
        {"folder path ending in a backslash", R"({"default":"c:\MOXI\download\VM_cn_cbt\"})", "default",
         R"(c:\MOXI\download\VM_cn_cbt\)"},
        {"blanks inside quotes", R"({"t":"  two blanks  "})", "t", "  two blanks"},
        {"URL with colons and slashes", R"({"u":"http://127.0.0.1:8471/client/"})", "u",
         "http://127.0.0.1:8471/client/"},
        {"unquoted true", R"({"b":true})", "b", "true"},
        {"unquoted number", R"({"n":-12,"m":7})", "n", "-12"},
        {"empty value", R"({"e":"","f":"1"})", "e", ""},
        {"same key twice keeps the first", R"({"a":"first","a":"second"})", "a", "first"},
        {"same object twice keeps the first", R"({"o":{"v":"1"},"o":{"v":"2"},"z":"3"})", "o/v", "1"},
        {"a dropped duplicate is read over", R"({"o":{"v":"1"},"o":{"v":"2"},"z":"3"})", "z", "3"},
        {"stray text after an inner object", R"({"o":{"a":"1"} stray text ,"b":"2"})", "b", "2"},
        {"text after the document is not read", R"({"a":"1"} ,"b":"2"})", "b", "(absent)"},
        {"nested objects with CRLF and indentation", "{\r\n  \"f\": {\r\n    \"x\": 128,\r\n    \"y\": 343\r\n  }\r\n}",
         "f/y", "343"},
        {"member after an array of objects", R"({"n":[{"a":"1"}],"b":"2"})", "b", "2"},
        {"blanks inside an array", "{\"n\":[ \r\n {\"a\":\"1\"} , {\"a\":\"2\"} \r\n ] , \"b\":\"2\"}", "n/#1/a", "2"},
        {"member after an array with blanks", "{\"n\":[ \r\n {\"a\":\"1\"} , {\"a\":\"2\"} \r\n ] , \"b\":\"2\"}", "b",
         "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cJson document;
        ASSERT_TRUE(document.Parse(c.text));
        EXPECT_EQ(TextAt(document.root, c.path), c.value);
    }
}

TEST(JsonParser, ManifestListBecomesArrayOfUnnamedObjects) {
    cJson document;
    ASSERT_TRUE(document.Parse("{\r\n  \"Version\": \"7\",\r\n  \"TotalSize\": 6442450944,\r\n  \"FileList\": [\r\n"
                               "    {\"Name\": \"game.exe\", \"Size\": 1},\r\n"
                               "    {\"Name\": \"data\\pack 01.bin\", \"Size\": 4294967296},\r\n"
                               "    {\"Name\": \"readme.txt\", \"Size\": 3}\r\n  ]\r\n}"));
    EXPECT_EQ(NodeAt(document.root, "TotalSize")->GetInt64(), 6442450944LL);
    cJson::Node* list = document.root->GetNode("FileList");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->kind, cJson::Node::eJsonNodes);
    ASSERT_EQ(static_cast<JsonNodes*>(list)->count, 3);
    EXPECT_EQ(TextAt(list, "#1/Name"), "data\\pack 01.bin");
    EXPECT_EQ(NodeAt(list, "#1/Size")->GetInt64(), 4294967296LL);
    EXPECT_EQ(TextAt(list, "#2/Name"), "readme.txt");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->GetNode(i)->kind, cJson::Node::eJsonNode);
        EXPECT_STREQ(list->GetNode(i)->name, "");
    }
}

TEST(JsonParser, TextThatIsNoObjectLeavesTheTreeAlone) {
    cJson document;
    EXPECT_FALSE(document.Parse("x{\"a\":\"1\"}"));
    EXPECT_EQ(document.root, nullptr);

    ASSERT_TRUE(document.Parse(R"({"a":"1"})"));
    JsonNode* first = document.root;
    EXPECT_FALSE(document.Parse("[{\"b\":\"2\"}]"));
    EXPECT_EQ(document.root, first);
    EXPECT_EQ(TextAt(document.root, "a"), "1");

    ASSERT_TRUE(document.Parse(R"({"b":"2"})"));
    EXPECT_EQ(TextAt(document.root, "a"), "(absent)");
    EXPECT_EQ(TextAt(document.root, "b"), "2");
}

// Text outside the dialect: the parser never reads past the text (the sanitizer
// build replays these shapes from the fuzzing corpus) and keeps what it could read.
TEST(JsonParser, KeepsWhatItCanOfMalformedText) {
    const std::string key127 = Repeat("k", 127);
    const std::string key128 = Repeat("q", 128);
    const std::string deepPath = Repeat("a/", 63) + "a";  // the object at the 65th level
    struct Case {
        const char* name;
        std::string text;
        bool parsed;
        const char* keys;  // the top-level keys in order, separated by blanks; null: not checked
        std::vector<std::pair<std::string, std::string>> kept;
    };
    const Case cases[] = {
        {"empty text", "", false, nullptr, {}},
        {"only blanks", " \r\n\t", false, nullptr, {}},
        {"an array instead of an object", R"([{"a":"1"}])", false, nullptr, {}},
        {"text ends after the brace", "{", true, "", {}},
        {"text ends inside a key", R"({"a":"1","bc)", true, "a", {{"a", "1"}}},
        {"no colon after a key", R"({"a":"1","b"})", true, "a", {{"a", "1"}}},
        {"text ends after the colon", R"({"a":"1","b":)", true, "a", {{"a", "1"}}},
        {"no terminator after a value", R"({"a":"1","b":"2)", true, "a", {{"a", "1"}, {"b", "(absent)"}}},
        {"inner object never closed", R"({"a":{"b":"1","c":"2")", true, "a", {{"a/b", "1"}, {"a/c", "(absent)"}}},
        {"outer object never closed", R"({"a":{"b":"1"},"c":"2")", true, "a", {{"a/b", "1"}, {"c", "(absent)"}}},
        {"extra closing braces and brackets", R"({"a":{"b":"1"}}}]],"c":"3"})", true, "a", {{"a/b", "1"}}},
        {"empty document", "{}", true, "", {}},
        {"empty inner object", R"({"a":{},"b":"2"})", true, "a b", {{"a", "cJson::Node::eJsonNode"}, {"b", "2"}}},
        {"comma before the closing brace", R"({"o":{"a":"1",},"b":"2",})", true, "o b", {{"o/a", "1"}, {"b", "2"}}},
        {"comma and brace inside values", R"({"a":"x,y","b":"z}w","c":"3"})", true, nullptr,
         {{"a", "x"}, {"c", "(absent)"}}},
        {"key of 127 bytes kept, of 128 dropped", "{\"" + key127 + "\":\"1\",\"" + key128 + "\":\"2\",\"b\":\"3\"}", true,
         nullptr, {{key127, "1"}, {key128, "(absent)"}, {"b", "3"}}},
        {"value over 1023 bytes is cut", "{\"v\":\"" + Repeat("v", 2000) + "\",\"b\":\"2\"}", true, "v b",
         {{"v", Repeat("v", 1023)}, {"b", "2"}}},
        {"array of scalars ends its object", R"({"a":"1","v":[1,2,3],"b":"2"})", true, "a v",
         {{"v", "cJson::Node::eJsonValues"}}},
        {"array of arrays", R"({"n":[[{"a":"1"}]],"b":"2"})", true, "n", {{"n", "cJson::Node::eJsonValues"}}},
        {"array never closed", R"({"n":[{"a":"1"})", true, "n",
         {{"n", "cJson::Node::eJsonNodes"}, {"n/#0", "(absent)"}}},
        {"array closed, document not", R"({"n":[{"a":"1"}])", true, "n", {{"n/#0/a", "1"}}},
        {"text ends inside an element", R"({"n":[{"a":"1"},{"b":"2"])", true, "n",
         {{"n/#0/a", "1"}, {"n/#1", "cJson::Node::eJsonNode"}, {"n/#1/b", "(absent)"}}},
        {"object inside an element", R"({"n":[{"a":{"x":"1"}},{"b":"2"}],"c":"3"})", true, "n c",
         {{"n/#0/a/x", "1"}, {"n/#1/b", "2"}, {"n/#2", "(absent)"}, {"c", "3"}}},
        {"100 levels of objects", Repeat("{\"a\":", 100) + "\"1\"" + Repeat("}", 100), true, "a",
         {{deepPath, "cJson::Node::eJsonNode"}, {deepPath + "/a", "(absent)"}}},
        {"100000 levels of objects", Repeat("{\"a\":", 100000), true, "a",
         {{deepPath, "cJson::Node::eJsonNode"}, {deepPath + "/a", "(absent)"}}},
        {"separators only", "{:::,,,}}}]]][[[{{{", true, nullptr, {}},
        {"a lone quote", "{\"", true, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cJson document;
        ASSERT_EQ(document.Parse(c.text.c_str()), c.parsed);
        ASSERT_EQ(document.root != nullptr, c.parsed);
        if (!c.parsed) continue;
        if (c.keys) {
            std::string keys;
            for (const std::string& key : KeysInOrder(document.root)) keys += (keys.empty() ? "" : " ") + key;
            EXPECT_EQ(keys, c.keys);
        }
        for (const auto& [path, value] : c.kept) EXPECT_EQ(TextAt(document.root, path), value) << path;
    }
}

// Every object costs a table of 999 pointers, so a text must not make more objects
// than it has braces: arrays nested in array elements once counted the same braces
// again at every level (a text of 20 kB took gigabytes).
TEST(JsonParser, MakesNoMoreObjectsThanTheTextHasBraces) {
    const std::string cases[] = {
        "{\"a\":" + Repeat("[{\"a\":", 63) + Repeat("{", 2000) + "]",
        "{\"a\":" + Repeat("[{\"a\":", 63) + "\"1\"" + Repeat("}]", 63) + "}",
        "{\"n\":[" + Repeat("{\"a\":[", 40) + Repeat("{\"b\":\"1\"},", 40) + "]}",
        "{\"n\":[" + Repeat("{", 500) + "]}",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 60));
        cJson document;
        ASSERT_TRUE(document.Parse(text.c_str()));
        EXPECT_LE(CountObjects(document.root), size_t(std::count(text.begin(), text.end(), '{')));
    }
}

}  // namespace
