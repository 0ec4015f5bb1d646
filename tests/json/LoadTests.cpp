// Loading documents from files.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "json/cJson.h"
#include "tests/json/NodePath.h"
#include "tests/support/ChildProcess.h"

namespace {

using testing_support::TempFolder;
using testing_support::WriteFile;

TEST(JsonLoad, ReadsAFileAndRemembersItsPath) {
    TempFolder folder;
    std::string path = folder.Path() + "file.json";
    ASSERT_TRUE(WriteFile(path, "{\r\n  \"Version\": \"3\",\r\n  \"URL\": \"http://127.0.0.1:8471/client/\"\r\n}\r\n"));
    cJson document;
    ASSERT_TRUE(document.Load(path.c_str()));
    EXPECT_STREQ(document.fileName, path.c_str());
    EXPECT_EQ(TextAt(document.root, "URL"), "http://127.0.0.1:8471/client/");
}

TEST(JsonLoad, MissingFileEmptiesTheDocumentAndKeepsTheName) {
    TempFolder folder;
    std::string path = folder.Path() + "file.json";
    ASSERT_TRUE(WriteFile(path, R"({"Version":"3"})"));
    cJson document;
    ASSERT_TRUE(document.Load(path.c_str()));
    JsonNode* root = document.root;

    EXPECT_FALSE(document.Load((folder.Path() + "missing.json").c_str()));
    EXPECT_STREQ(document.fileName, path.c_str());
    EXPECT_EQ(document.root, root);
    EXPECT_EQ(TextAt(document.root, "Version"), "(absent)");

    cJson fresh;
    EXPECT_FALSE(fresh.Load((folder.Path() + "missing.json").c_str()));
    EXPECT_EQ(fresh.root, nullptr);
    EXPECT_STREQ(fresh.fileName, "");
}

TEST(JsonLoad, FileThatIsNoObjectLeavesNoTreeOrAnEmptyOne) {
    TempFolder folder;
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"empty file", ""},
        {"an array", R"([{"Name":"a"}])"},
        {"a zero byte before the object", std::string("\0{\"Version\":\"3\"}", 16)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder.Path() + "other.json";
        ASSERT_TRUE(WriteFile(path, c.content));

        cJson fresh;
        EXPECT_TRUE(fresh.Load(path.c_str()));
        EXPECT_EQ(fresh.root, nullptr);

        cJson reloaded;
        ASSERT_TRUE(reloaded.Parse(R"({"Version":"2"})"));
        EXPECT_TRUE(reloaded.Load(path.c_str()));
        ASSERT_NE(reloaded.root, nullptr);
        EXPECT_EQ(TextAt(reloaded.root, "Version"), "(absent)");
    }
}

TEST(JsonLoad, LongPathIsOpenedAndItsNameCut) {
    TempFolder folder;
    ASSERT_LT(folder.Path().size(), 150u);
    std::string path = folder.Path() + std::string(200 - folder.Path().size(), 'n') + ".json";
    ASSERT_TRUE(WriteFile(path, R"({"Version":"5"})"));
    cJson document;
    ASSERT_TRUE(document.Load(path.c_str()));
    EXPECT_EQ(TextAt(document.root, "Version"), "5");
    EXPECT_EQ(strlen(document.fileName), 127u);
    EXPECT_EQ(path.compare(0, 127, document.fileName), 0);
}

}  // namespace
