// The publisher's manifest read back through the downloader's own reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ManifestWriter.h"
#include "json/cJson.h"
#include "tests/support/ChildProcess.h"

using testing_support::TempFolder;

namespace {

void Put(const std::string& path, size_t size) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'z');
}

TEST(PublisherTest, ManifestRoundTripsThroughTheReader) {
    TempFolder folder;
    const std::string root = folder.Path() + "client";
    Put(root + "/bin/game.exe", 10);
    Put(root + "/data/maps/a b.pak", 123456);
    Put(root + "/data/empty.cfg", 0);
    Put(root + "/readme.txt", 7);

    Manifest manifest;
    manifest.version = 2147483647;
    manifest.url = "http://127.0.0.1:8471/client/";
    std::string error;
    ASSERT_TRUE(CollectFiles(root, "", manifest, error)) << error;
    ASSERT_EQ(manifest.files.size(), 4u);

    cJson document;
    ASSERT_TRUE(document.Parse(FormatManifest(manifest).c_str()));
    ASSERT_NE(document.root, nullptr);
    cJson::Node& top = *document.root;
    EXPECT_EQ(top.GetNode("Version")->GetInt(), 2147483647);
    EXPECT_EQ(top.GetNode("TotalCount")->GetInt(), 4);
    EXPECT_EQ(top.GetNode("TotalSize")->GetInt64(), 10 + 123456 + 0 + 7);
    EXPECT_STREQ(top.GetNode("URL")->GetString(), "http://127.0.0.1:8471/client/");
    cJson::Node* list = top.GetNode("FileList");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->kind, cJson::Node::eJsonNodes);
    const char* names[] = {"bin/game.exe", "data/empty.cfg", "data/maps/a b.pak", "readme.txt"};
    const long long sizes[] = {10, 0, 123456, 7};
    for (int i = 0; i < 4; ++i) {
        cJson::Node* entry = list->GetNode(i);
        ASSERT_NE(entry, nullptr);
        EXPECT_STREQ(entry->GetNode("Name")->GetString(), names[i]);
        EXPECT_EQ(entry->GetNode("Size")->GetInt64(), sizes[i]);
    }
}

TEST(PublisherTest, RefusesWhatTheManifestCannotCarry) {
    const std::string url = "http://127.0.0.1:8471/client/";
    struct Case {
        std::string name;
        bool refused;
    } cases[] = {
        {"plain/file.bin", false},
        {"with,comma.bin", true},
        {"brace{.bin", true},
        {"brace}.bin", true},
        {"bracket].bin", true},
        {"quote\".bin", true},
        {"colon:.bin", true},
        {"trailing blank ", true},
        {std::string(255, 'n'), false},
        {std::string(256, 'n'), true},
        {"caf\xC3\xA9.bin", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(!RefuseName(c.name, url).empty(), c.refused) << c.name;
    }
    // The request URL (base and name) must fit 1023 characters.
    std::string longUrl = "http://127.0.0.1/" + std::string(1000, 'u') + "/";
    EXPECT_FALSE(RefuseName("short.bin", longUrl).empty());

    EXPECT_TRUE(RefuseUrl(url).empty());
    EXPECT_FALSE(RefuseUrl("http://127.0.0.1:8471/client").empty());
    EXPECT_FALSE(RefuseUrl("ftp://127.0.0.1/client/").empty());
    EXPECT_FALSE(RefuseUrl("http://127.0.0.1/a,b/").empty());
}

TEST(PublisherTest, CollectingStopsAtTheFirstNameItCannotCarry) {
    TempFolder folder;
    const std::string root = folder.Path() + "client";
    Put(root + "/good.bin", 1);
    Put(root + "/bad,name.bin", 1);
    Manifest manifest;
    manifest.url = "http://127.0.0.1:8471/client/";
    std::string error;
    EXPECT_FALSE(CollectFiles(root, "", manifest, error));
    EXPECT_NE(error.find("bad,name.bin"), std::string::npos) << error;
}

}  // namespace
