#pragma once
// What the engine tests share: the loopback servers that run_http_tests.py starts,
// deterministic file contents, an application record of their own for each test,
// manifests, and the fault server's control and request log.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/cApp.h"
#include "engine/cMgrDownloader.h"
#include "tests/support/ChildProcess.h"

namespace engine_testing {

// The servers, as run_http_tests.py passes them in the environment.
struct Servers {
    int contentPort = 0;      // the fault-injecting test server
    int nginxPort = 0;
    std::string root;         // the folder both serve, a Windows path ending with a backslash
    std::string nginxLog;     // nginx's access log (a Windows path)
};
const Servers& GetServers();

// Tests that need the servers fail, loudly, when the program runs without them.
#define REQUIRE_SERVERS()                                                                          \
    ASSERT_NE(::engine_testing::GetServers().contentPort, 0)                                       \
        << "needs the loopback servers: run through run_http_tests.py (CTest: engine_http_tests)"

// The URL of `path` on the fault server or on nginx.
std::string ContentUrl(const std::string& path);
std::string NginxUrl(const std::string& path);

// Deterministic bytes: the same seed and size give the same content everywhere.
std::string Content(uint64_t seed, size_t size);
// Writes Content(seed, size) to `path` in chunks (for files too large to hold).
bool WriteContentFile(const std::string& path, uint64_t seed, int64_t size);
// Compares two files byte for byte; on a difference `why` says where.
bool SameBytes(const std::string& a, const std::string& b, std::string& why);
int64_t FileSize(const std::string& path);
// The served copy of `name` (relative, slashes) under the servers' root.
std::string ServedPath(const std::string& name);

// A manifest entry as the publisher writes it.
struct Entry {
    std::string name;
    int64_t size = 0;
};
// file.json for `entries` under the base `url`; totalSize < 0: the sum of the sizes.
std::string ManifestText(const std::string& url, const std::vector<Entry>& entries, int64_t totalSize = -1);

// A client published under a folder of the servers' root (nginx serves paths under
// "rate-4m/" and "rate-1m/" at that pace per connection).
struct Client {
    std::string folder;  // "nginx-mixed/": relative to the root, ends with a slash
    std::vector<Entry> entries;
    uint64_t seed = 0;

    int64_t Total() const;
    std::string Served(const Entry& entry) const;  // the served copy
    // Writes every file's content under the root (the same bytes for every run).
    bool Publish() const;
};

// An application record of the test's own, published as theApp: a working folder
// (manifests and transfer log) and a download folder two levels below one temp
// folder, so that anything written beside the download folder can be seen.
class TestRecord {
public:
    TestRecord();
    ~TestRecord();  // stops any manager, unpublishes the record, restores the current folder
    TestRecord(const TestRecord&) = delete;
    TestRecord& operator=(const TestRecord&) = delete;

    testing_support::TempFolder temp;
    cApp app;
    std::string workFolder;      // temp\work\ (also the resource folder)
    std::string downloadFolder;  // temp\outer\download\ (ends with a backslash)

    bool WriteManifest(const std::string& text) const;
    std::string Log() const;     // the transfer log's text
    // Every file and folder below `folder`, relative, with backslashes, sorted.
    static std::vector<std::string> Listing(const std::string& folder);

private:
    char previousFolder[MAX_PATH];
};

// One request as nginx logged it.
struct LoggedRequest {
    std::string path;        // "/rate-4m/a.bin"
    std::string range;       // the Range header, "" when none
    std::string agent;
    int status = 0;
    int64_t bytes = 0;       // body bytes sent
    double start = 0;        // seconds (Unix time) when the request arrived
    double end = 0;          // seconds when its last byte was sent
};
// Every request in nginx's access log from byte `logOffset` of the log on.
std::vector<LoggedRequest> NginxRequests(size_t logOffset);
// The current end of nginx's access log, for NginxRequests.
size_t NginxLogSize();

// The local copy of manifest name `name` in the record's download folder.
std::string LocalPath(const TestRecord& record, const std::string& name);
// Each file of `client` in the download folder is byte-identical to the served one.
void ExpectClientIdentical(const TestRecord& record, const Client& client);
// Nothing was written beside the download folder, and only the manifest and the log
// in the working folder.
void ExpectNothingOutside(const TestRecord& record);

// Fault rules for one path: `rules` is the text of a JSON list in which "PATH"
// stands for `path`.
std::string Rules(std::string rules, const std::string& path);
// How often `part` occurs in `text` (overlapping occurrences counted).
int CountOf(const std::string& text, const std::string& part);

// The fault server's control interface (tests/server/README.md): replaces its fault
// rules (a JSON list), clears rules and request log, reads the request log.
bool SetFaults(const std::string& rules);
bool ResetContentServer();
struct ServerRequest {
    std::string path;
    std::string range;       // "" when none
    std::string agent;
    std::string raw;         // the request head exactly as it arrived
    std::string fault;       // the fault applied, "" when none
    std::string outcome;
    int status = 0;
    int requestNumber = 0;   // per path, counted from the last SetFaults
    double time = 0;         // seconds (Unix time) of arrival and of the end
    double end = 0;
};
// The requests for `path` ("/a.bin") since the last reset, oldest first.
std::vector<ServerRequest> ContentRequests(const std::string& path);

// Plain HTTP from the test to the fault server (its control interface).
bool HttpRequest(const char* verb, int port, const std::string& path, const std::string& body,
                 std::string& reply, DWORD& status);

}  // namespace engine_testing

namespace engine_testing {

// Creates a manager (of class Manager), publishes it in the record and starts it,
// as the start action does.
template <typename Manager = cMgrDownloader>
Manager* StartRun(TestRecord& record) {
    Manager* manager = new Manager();
    record.app.manager = manager;
    manager->Start();
    return manager;
}

// Waits until the run's thread has ended by itself; false after `timeoutMs`.
bool WaitForRunEnd(const cMgrDownloader* manager, DWORD timeoutMs);

}  // namespace engine_testing
