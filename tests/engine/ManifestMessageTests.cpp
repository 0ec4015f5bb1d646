// What a run says about a manifest that it cannot follow as it stands, seen from a
// child process: each message box and its text, what was downloaded anyway, and that
// nothing was written outside the download folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/ChildRuns.h"
#include "tests/engine/EngineTestSupport.h"

using namespace engine_testing;
using namespace testing_support;

namespace {

const char kCaption[] = "engine test";

std::string DoDownloadFileText(const std::string& problem) {
    return "cMgrDownloader::DoDownloadFile :: " + problem;
}

// A run of the manifest `manifest` in a child process, with the record's folders.
ChildOutcome RunManifest(const TestRecord& record, const std::string& manifest) {
    EXPECT_TRUE(record.WriteManifest(manifest));
    std::string resultPath = record.temp.Path() + "result.txt";
    ChildOutcome outcome = RunChild("manager_run",
                                    {"ZT_WORK=" + record.workFolder, "ZT_DOWNLOAD=" + record.downloadFolder,
                                     "ZT_RESULT=" + resultPath},
                                    resultPath);
    DeleteFileA(resultPath.c_str());
    EXPECT_TRUE(outcome.exited) << "the run did not end";
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(outcome.ownerless);
    for (const std::string& caption : outcome.captions) EXPECT_EQ(caption, kCaption);
    return outcome;
}

TEST(ManifestMessageTest, NamesThatWouldLeaveTheFolderOrRepeatAFileAreRefused) {
    REQUIRE_SERVERS();
    const Client client{"refusals/", {{"good/a.bin", 3000}, {"good/b.exe", 2000}}, 5000};
    ASSERT_TRUE(client.Publish());
    // Each rule of a name is a row of the local path tests; these rows show what a
    // refusal does in a run. (Under Wine on a bare X server every box costs two
    // seconds, so they are few.)
    struct Row {
        const char* name;
        const char* refusal;  // null: downloaded
    } rows[] = {
        {"good/a.bin", nullptr},
        {"../escape.exe", "file.json Name format error (-61)"},
        {"C:\\absolute.exe", "file.json Name format error (-61)"},
        {"GOOD\\A.BIN", "file.json Name repeated (-62)"},
        {"good/b.exe", nullptr},
        {"good/../../late.exe", "file.json Name format error (-61)"},
    };
    std::vector<Entry> entries;
    std::vector<std::string> expected;
    for (const Row& row : rows) {
        entries.push_back({row.name, row.refusal ? 10 : 0});
        if (row.refusal) expected.push_back(DoDownloadFileText(row.refusal) + "\n" + row.name);
    }
    entries[0].size = 3000;
    entries[4].size = 2000;
    TestRecord record;
    ChildOutcome outcome = RunManifest(record, ManifestText(NginxUrl(client.folder), entries, client.Total()));
    EXPECT_EQ(outcome.texts, expected);
    ExpectClientIdentical(record, client);
    EXPECT_EQ(TestRecord::Listing(record.downloadFolder),
              (std::vector<std::string>{"good", "good\\a.bin", "good\\b.exe"}));
    ExpectNothingOutside(record);
    EXPECT_FALSE(FileExists("C:\\absolute.exe"));
    // A refused name never becomes the program to launch, even when it comes later.
    EXPECT_EQ(outcome.result["launchTarget"], "good/b.exe");
    EXPECT_EQ(outcome.result["received"], std::to_string(client.Total()));
}

TEST(ManifestMessageTest, UrlWithoutSlashIsReportedForEveryEntryAndNothingIsFetched) {
    REQUIRE_SERVERS();
    const Client client{"no-slash/", {{"a.bin", 100}, {"b.exe", 100}}, 5100};
    ASSERT_TRUE(client.Publish());
    size_t logOffset = NginxLogSize();
    TestRecord record;
    std::string url = NginxUrl(client.folder);
    url.pop_back();
    ChildOutcome outcome = RunManifest(record, ManifestText(url, client.entries));
    EXPECT_EQ(outcome.texts, std::vector<std::string>(2, DoDownloadFileText("file.json URL format error")));
    EXPECT_TRUE(NginxRequests(logOffset).empty());
    EXPECT_TRUE(TestRecord::Listing(record.downloadFolder).empty());
    EXPECT_EQ(outcome.result["launchTarget"], "");
}

TEST(ManifestMessageTest, IncompleteManifestsUseWhatExistsAndSaySo) {
    REQUIRE_SERVERS();
    const Client client{"incomplete/", {{"a.bin", 1500}, {"b.bin", 2500}}, 5200};
    ASSERT_TRUE(client.Publish());
    const std::string url = NginxUrl(client.folder);
    const std::string list =
        "\"FileList\": [ { \"Name\": \"a.bin\", \"Size\": 1500 }, { \"Name\": \"b.bin\", \"Size\": 2500 } ]";
    struct Row {
        const char* what;
        std::string manifest;
        std::vector<std::string> texts;
        int downloaded;  // files fetched
    } rows[] = {
        {"TotalCount above FileList",
         "{ \"Version\": 1, \"TotalCount\": 5, \"TotalSize\": 4000, \"URL\": \"" + url + "\", " + list + " }",
         {DoDownloadFileText("file.json incomplete (-66)\nTotalCount 5, but FileList holds 2 entries: using those")},
         2},
        {"negative TotalCount",
         "{ \"Version\": 1, \"TotalCount\": -3, \"TotalSize\": 4000, \"URL\": \"" + url + "\", " + list + " }",
         {DoDownloadFileText("file.json incomplete (-66)\nTotalCount -3: using the 2 entries of FileList")},
         2},
        {"no TotalCount, no TotalSize",
         "{ \"Version\": 1, \"URL\": \"" + url + "\", " + list + " }",
         {DoDownloadFileText("file.json incomplete (-66)\nTotalSize missing: progress is not counted\n"
                             "TotalCount missing: using the 2 entries of FileList")},
         2},
        {"no FileList",
         "{ \"Version\": 1, \"TotalCount\": 2, \"TotalSize\": 4000, \"URL\": \"" + url + "\" }",
         {DoDownloadFileText("file.json incomplete (-66)\nFileList missing\n"
                             "TotalCount 2, but FileList holds 0 entries: using those")},
         0},
        {"no URL",
         "{ \"Version\": 1, \"TotalCount\": 1, \"TotalSize\": 4000, " + list + " }",
         {DoDownloadFileText("file.json incomplete (-66)\nURL missing"), DoDownloadFileText("file.json URL format error")},
         0},
        {"no Name in an entry",
         "{ \"Version\": 1, \"TotalCount\": 2, \"TotalSize\": 4000, \"URL\": \"" + url +
             "\", \"FileList\": [ { \"Nam\": \"a.bin\", \"Size\": 1500 }, { \"Name\": \"b.bin\", \"Size\": 2500 } ] }",
         {DoDownloadFileText("file.json Name format error (-61)\n(no Name)")},
         1},
        {"not a manifest", "<html>404</html>", {DoDownloadFileText("file.json loading error (-65)")}, 0},
    };
    for (const Row& row : rows) {
        TestRecord record;
        ChildOutcome outcome = RunManifest(record, row.manifest);
        EXPECT_EQ(outcome.texts, row.texts) << row.what;
        std::vector<std::string> files = TestRecord::Listing(record.downloadFolder);
        EXPECT_EQ(static_cast<int>(files.size()), row.downloaded) << row.what;
        for (const std::string& name : files) {
            std::string why;
            EXPECT_TRUE(SameBytes(record.downloadFolder + name, ServedPath(client.folder + name), why))
                << row.what << " " << name << ": " << why;
        }
        ExpectNothingOutside(record);
    }
}

TEST(ManifestMessageTest, MoreBytesThanTheManifestAnnouncesAreReportedAndTheRunGoesOn) {
    REQUIRE_SERVERS();
    const Client client{"size-error/", {{"a.bin", 1000}, {"b.bin", 3000}}, 5300};
    ASSERT_TRUE(client.Publish());
    TestRecord record;
    // One byte short: only the very last chunk of the run goes beyond the total.
    ChildOutcome outcome = RunManifest(record, ManifestText(NginxUrl(client.folder), client.entries, client.Total() - 1));
    EXPECT_EQ(outcome.texts, std::vector<std::string>{"cMgrDownloader::OnReceived size error"});
    ExpectClientIdentical(record, client);
    EXPECT_EQ(outcome.result["received"], std::to_string(client.Total()));
}

TEST(ManifestMessageTest, FileThatCannotBeOpenedIsReportedAndTheRunGoesOn) {
    REQUIRE_SERVERS();
    const Client client{"blocked/", {{"first.bin", 4000}, {"blocked.bin", 5000}, {"last.bin", 6000}}, 5400};
    ASSERT_TRUE(client.Publish());
    TestRecord record;
    ASSERT_TRUE(CreateDirectoryA((record.downloadFolder + "blocked.bin").c_str(), nullptr));
    ChildOutcome outcome = RunManifest(record, ManifestText(NginxUrl(client.folder), client.entries));
    EXPECT_EQ(outcome.texts, std::vector<std::string>{"cHttp::OnExecute :: file open error (-31)"});
    std::string why;
    EXPECT_TRUE(SameBytes(LocalPath(record, "first.bin"), client.Served(client.entries[0]), why)) << why;
    EXPECT_TRUE(SameBytes(LocalPath(record, "last.bin"), client.Served(client.entries[2]), why)) << why;
    EXPECT_TRUE(FolderExists(LocalPath(record, "blocked.bin")));
}

TEST(ManifestMessageTest, DownloadFolderThatCannotBeEnteredEndsTheRunBeforeAnyFile) {
    REQUIRE_SERVERS();
    const Client client{"no-folder/", {{"a.bin", 100}}, 5500};
    ASSERT_TRUE(client.Publish());
    TestRecord record;
    std::string missing = record.temp.Path() + "outer\\missing\\";
    ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(client.folder), client.entries)));
    std::string resultPath = record.temp.Path() + "result.txt";
    ChildOutcome outcome = RunChild(
        "manager_run", {"ZT_WORK=" + record.workFolder, "ZT_DOWNLOAD=" + missing, "ZT_RESULT=" + resultPath},
        resultPath);
    DeleteFileA(resultPath.c_str());
    EXPECT_EQ(outcome.texts, std::vector<std::string>{DoDownloadFileText("download folder error (-67)\n" + missing)});
    EXPECT_EQ(outcome.exitCode, 0);
    ExpectNothingOutside(record);
    EXPECT_TRUE(TestRecord::Listing(record.downloadFolder).empty());
}

TEST(ManifestMessageTest, TextsThatDoNotFitTheirFieldsAreRefusedWhole) {
    REQUIRE_SERVERS();
    const Client client{"fields/", {{"fits.bin", 1234}}, 5600};
    ASSERT_TRUE(client.Publish());
    const std::string longName = std::string(120, 'n') + "/" + std::string(140, 'm') + ".bin";  // 265 characters
    // A base URL padded with slashes (WinINet sends them, nginx merges them) so that
    // with "fits.bin" the request URL has 1023 characters; "fits2.bin" makes 1024.
    std::string host = NginxUrl("");
    host.pop_back();
    const std::string tail = "/" + client.folder;
    std::string padded = host + std::string(1023 - host.size() - tail.size() - strlen("fits.bin"), '/') + tail;
    ASSERT_EQ(padded.size() + strlen("fits.bin"), 1023u);
    TestRecord record;
    std::string manifest = ManifestText(padded, {{"fits.bin", 1234}, {"fits2.bin", 10}, {longName, 10}}, 1254);
    ChildOutcome outcome = RunManifest(record, manifest);
    ASSERT_EQ(outcome.texts.size(), 2u);
    EXPECT_EQ(outcome.texts[0].rfind("cHttp::BeginDownload :: URL too long (-63)\n", 0), 0u) << outcome.texts[0];
    EXPECT_EQ(outcome.texts[1].rfind("cHttp::BeginDownload :: local path too long (-64)\n", 0), 0u) << outcome.texts[1];
    EXPECT_EQ(TestRecord::Listing(record.downloadFolder), std::vector<std::string>{"fits.bin"});
    ExpectNothingOutside(record);
}

}  // namespace
