// The conditions that end the whole process, seen from a child process: the message
// box (caption, text, no owner), the exit code, and what the local file holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/ChildRuns.h"
#include "tests/engine/EngineTestSupport.h"

using namespace engine_testing;
using namespace testing_support;

namespace {

const char kUnreachable[] =
    "Currently you are not able to reach the server.\nPlease check your network and retry again.";

struct TransferChild {
    std::string url;
    std::string mode;        // "resume" (a file worker) or "whole" (Download)
    int64_t local = -1;      // bytes of junk on disk before, -1: none
};

ChildOutcome RunTransfer(const TestRecord& record, const TransferChild& child) {
    std::string resultPath = record.temp.Path() + "result.txt";
    if (child.local >= 0) {
        EXPECT_TRUE(WriteFile(record.downloadFolder + "file.bin", std::string(child.local, 'J')));
    }
    ChildOutcome outcome = RunChild("transfer",
                                    {"ZT_WORK=" + record.workFolder, "ZT_DOWNLOAD=" + record.downloadFolder,
                                     "ZT_RESULT=" + resultPath, "ZT_URL=" + child.url, "ZT_NAME=file.bin",
                                     "ZT_MODE=" + child.mode, "ZT_TOTAL=1000000"},
                                    resultPath);
    DeleteFileA(resultPath.c_str());
    EXPECT_TRUE(outcome.exited);
    EXPECT_TRUE(outcome.ownerless);
    for (const std::string& caption : outcome.captions) EXPECT_EQ(caption, "engine test");
    return outcome;
}

TEST(ProcessEndTest, AReplyWithoutAUsableLengthEndsTheProcessWhileTheTransferRuns) {
    REQUIRE_SERVERS();
    struct Row {
        const char* what;
        TransferChild child;
    } rows[] = {
        {"nothing listens on the port", {"http://127.0.0.1:1/file.bin", "resume"}},
        {"nothing listens, manifest fetch", {"http://127.0.0.1:1/file.json", "whole"}},
        {"404 from nginx", {NginxUrl("transfer/missing.bin"), "resume", 300}},
    };
    for (const Row& row : rows) {
        TestRecord record;
        ChildOutcome outcome = RunTransfer(record, row.child);
        EXPECT_EQ(outcome.texts, std::vector<std::string>{kUnreachable}) << row.what;
        EXPECT_EQ(outcome.exitCode, -11) << row.what;
        // Nothing of an error reply reaches the local file.
        std::string local = ReadFile(record.downloadFolder + "file.bin");
        EXPECT_EQ(local, std::string(row.child.local < 0 ? 0 : row.child.local, 'J')) << row.what;
    }
}

// Eight broken passes, one that writes 100000 bytes before it breaks, then `more`
// broken passes of the resumed range (every second request: the first of each pass
// only asks for the length) and a last pass that completes.
std::string BrokenPassRules(int more) {
    std::string rules = R"([{"path": "PATH", "fault": "drop_after", "bytes": 0, "on_request": 1, "times": 8},
                            {"path": "PATH", "fault": "drop_after", "bytes": 100000, "on_request": 9})";
    for (int i = 0; i < more; ++i) {
        rules += R"(, {"path": "PATH", "fault": "drop_after", "bytes": 0, "on_request": )" + std::to_string(11 + 2 * i) + "}";
    }
    return rules + "]";
}

TEST(ProcessEndTest, FaultsOfTheServerEndTheProcessOrNotAsTheyMust) {
    REQUIRE_SERVERS();
    const int64_t kSize = 300000;
    const std::string kBroken = "cHttp::OnExecute :: network error (-92)\r\n";
    struct Row {
        const char* what;
        std::string rules;
        int64_t local;          // bytes of the resource on disk before, -1: none
        std::vector<std::string> texts;
        int exitCode;
        bool identical;         // the file ends as the served one; otherwise as it was before
        int brokenPasses = 0;   // "-92" lines in the log
    } rows[] = {
        {"404", R"([{"path": "PATH", "fault": "status", "code": 404}])", -1, {kUnreachable}, -11, false},
        {"500 to the resumed range", R"([{"path": "PATH", "fault": "status", "code": 500, "on_request": 2}])", 1000,
         {kUnreachable}, -11, false},
        {"416 to the length query", R"([{"path": "PATH", "fault": "status", "code": 416}])", 1000, {kUnreachable},
         -11, false},
        {"chunked, no Content-Length", R"([{"path": "PATH", "fault": "no_length"}])", -1, {kUnreachable}, -11, false},
        {"reset before the headers", R"([{"path": "PATH", "fault": "reset_before_headers", "times": 1}])", -1,
         {kUnreachable}, -11, false},
        {"Content-Range from byte 1 for bytes=0-", R"([{"path": "PATH", "fault": "wrong_content_range", "offset": 1}])",
         -1, {kUnreachable}, -11, false},
        {"Content-Range past the resumed offset",
         R"([{"path": "PATH", "fault": "wrong_content_range", "offset": 7, "on_request": 2}])", 1000, {kUnreachable},
         -11, false},
        {"every pass broken", R"([{"path": "PATH", "fault": "drop_after", "bytes": 0}])", -1,
         {"cHttp::OnExecute :: network error (-9)"}, -9, false, 8},
        {"8 broken, data, 7 broken, then complete", BrokenPassRules(7), -1, {}, 0, true, 16},
        {"8 broken, data, 8 broken", BrokenPassRules(8), -1, {"cHttp::OnExecute :: network error (-9)"}, -9, false,
         16},
    };
    int index = 0;
    for (const Row& row : rows) {
        const std::string name = "faults/end" + std::to_string(index) + ".bin";
        ASSERT_TRUE(WriteContentFile(ServedPath(name), 8000 + index, kSize));
        ++index;
        std::string served = ReadFile(ServedPath(name));
        ASSERT_TRUE(ResetContentServer());
        ASSERT_TRUE(SetFaults(Rules(row.rules, "/" + name))) << row.what;
        TestRecord record;
        std::string before = row.local >= 0 ? served.substr(0, row.local) : std::string();
        if (row.local >= 0) {
            ASSERT_TRUE(WriteFile(record.downloadFolder + "file.bin", before));
        }
        ChildOutcome outcome = RunTransfer(record, {ContentUrl(name), "resume"});
        EXPECT_EQ(outcome.texts, row.texts) << row.what;
        EXPECT_EQ(outcome.exitCode, row.exitCode) << row.what;
        std::string local = ReadFile(record.downloadFolder + "file.bin");
        if (row.identical) {
            EXPECT_TRUE(local == served) << row.what;
        } else if (row.exitCode == -9) {
            EXPECT_EQ(served.compare(0, local.size(), local), 0) << row.what << ": not a prefix";
        } else {
            EXPECT_TRUE(local == before) << row.what << ": the file changed";
        }
        EXPECT_EQ(CountOf(record.Log(), kBroken), row.brokenPasses) << row.what;
    }
    SetFaults("[]");
}

}  // namespace
