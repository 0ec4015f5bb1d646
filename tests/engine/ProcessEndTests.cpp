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

}  // namespace
