#include "tests/engine/EngineTestSupport.h"

#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/cMgrDownloader.h"

namespace engine_testing {

namespace {

std::string Environment(const char* name) {
    char value[1024];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// xorshift64*: fast enough to fill a hundred MiB in a moment.
struct Generator {
    uint64_t state;
    explicit Generator(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ULL + 0x2545F4914F6CDD1DULL) {}
    uint64_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    }
    void Fill(char* data, size_t size) {
        size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            uint64_t value = Next();
            memcpy(data + i, &value, 8);
        }
        if (i < size) {
            uint64_t value = Next();
            memcpy(data + i, &value, size - i);
        }
    }
};

void ListInto(const std::string& folder, const std::string& prefix, std::vector<std::string>& names) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        names.push_back(prefix + name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListInto(folder + name + "\\", prefix + name + "\\", names);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

}  // namespace

const Servers& GetServers() {
    static const Servers servers = [] {
        Servers s;
        s.contentPort = atoi(Environment("ZENTAV_CONTENT_PORT").c_str());
        s.nginxPort = atoi(Environment("ZENTAV_NGINX_PORT").c_str());
        s.root = Environment("ZENTAV_CONTENT_ROOT");
        if (!s.root.empty() && s.root.back() != '\\') s.root += '\\';
        s.nginxLog = Environment("ZENTAV_NGINX_LOG");
        return s;
    }();
    return servers;
}

std::string ContentUrl(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(GetServers().contentPort) + "/" + path;
}

std::string NginxUrl(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(GetServers().nginxPort) + "/" + path;
}

std::string ServedPath(const std::string& name) {
    std::string path = GetServers().root + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string Content(uint64_t seed, size_t size) {
    std::string content(size, '\0');
    Generator(seed).Fill(&content[0], size);
    return content;
}

bool WriteContentFile(const std::string& path, uint64_t seed, int64_t size) {
    std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    for (size_t cut = folder.find('\\', 3); cut != std::string::npos; cut = folder.find('\\', cut + 1)) {
        CreateDirectoryA(folder.substr(0, cut).c_str(), nullptr);
    }
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    Generator generator(seed);
    std::vector<char> chunk(1 << 20);
    bool ok = true;
    for (int64_t left = size; left > 0 && ok;) {
        size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(chunk.size())));
        generator.Fill(chunk.data(), n);
        ok = fwrite(chunk.data(), 1, n, file) == n;
        left -= n;
    }
    return fclose(file) == 0 && ok;
}

int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool SameBytes(const std::string& a, const std::string& b, std::string& why) {
    FILE* first = fopen(a.c_str(), "rb");
    FILE* second = fopen(b.c_str(), "rb");
    bool same = first && second;
    if (!same) why = std::string("cannot open ") + (first ? b : a);
    std::vector<char> x(1 << 20), y(1 << 20);
    for (int64_t offset = 0; same;) {
        size_t n = fread(x.data(), 1, x.size(), first);
        size_t m = fread(y.data(), 1, y.size(), second);
        size_t common = std::min(n, m);
        if (memcmp(x.data(), y.data(), common) != 0) {
            size_t at = 0;
            while (x[at] == y[at]) ++at;
            why = "first difference at byte " + std::to_string(offset + static_cast<int64_t>(at));
            same = false;
        } else if (n != m) {
            why = "sizes differ: " + std::to_string(FileSize(a)) + " and " + std::to_string(FileSize(b));
            same = false;
        } else if (n == 0) {
            break;
        }
        offset += static_cast<int64_t>(common);
    }
    if (first) fclose(first);
    if (second) fclose(second);
    return same;
}

std::string ManifestText(const std::string& url, const std::vector<Entry>& entries, int64_t totalSize) {
    if (totalSize < 0) {
        totalSize = 0;
        for (const Entry& entry : entries) totalSize += entry.size;
    }
    std::string text = "{\r\n  \"Version\": 1,\r\n  \"TotalCount\": " + std::to_string(entries.size()) +
                       ",\r\n  \"TotalSize\": " + std::to_string(totalSize) + ",\r\n  \"URL\": \"" + url +
                       "\",\r\n  \"FileList\": [\r\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        text += "    { \"Name\": \"" + entries[i].name + "\", \"Size\": " + std::to_string(entries[i].size) + " }";
        text += i + 1 < entries.size() ? ",\r\n" : "\r\n";
    }
    return text + "  ]\r\n}\r\n";
}

int64_t Client::Total() const {
    int64_t total = 0;
    for (const Entry& entry : entries) total += entry.size;
    return total;
}

std::string Client::Served(const Entry& entry) const {
    return ServedPath(folder + entry.name);
}

bool Client::Publish() const {
    uint64_t fileSeed = seed;
    for (const Entry& entry : entries) {
        if (!WriteContentFile(Served(entry), ++fileSeed, entry.size)) return false;
    }
    return true;
}

std::string LocalPath(const TestRecord& record, const std::string& name) {
    std::string path = record.downloadFolder + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void ExpectClientIdentical(const TestRecord& record, const Client& client) {
    for (const Entry& entry : client.entries) {
        std::string why;
        EXPECT_TRUE(SameBytes(LocalPath(record, entry.name), client.Served(entry), why)) << entry.name << ": " << why;
    }
}

void ExpectNothingOutside(const TestRecord& record) {
    for (const std::string& name : TestRecord::Listing(record.temp.Path())) {
        bool expected = name == "outer" || name.rfind("outer\\download", 0) == 0 || name == "work" ||
                        name == "work\\file.json" || name == "work\\zaririvoduz.izu";
        EXPECT_TRUE(expected) << "written outside the download folder: " << name;
    }
}

TestRecord::TestRecord() : app(GetModuleHandleA(nullptr)), previousFolder{} {
    GetCurrentDirectoryA(sizeof previousFolder, previousFolder);
    workFolder = temp.Path() + "work\\";
    CreateDirectoryA(workFolder.c_str(), nullptr);
    CreateDirectoryA((temp.Path() + "outer").c_str(), nullptr);
    downloadFolder = temp.Path() + "outer\\download\\";
    CreateDirectoryA(downloadFolder.c_str(), nullptr);
    snprintf(app.messageTitle, sizeof app.messageTitle, "engine test");
    snprintf(app.workFolder, sizeof app.workFolder, "%s", workFolder.c_str());
    snprintf(app.downloadFolder, sizeof app.downloadFolder, "%s", downloadFolder.c_str());
    app.resourceFolder = app.workFolder;
    theApp = &app;
}

TestRecord::~TestRecord() {
    app.StopManager();
    theApp = nullptr;
    // The run made its folders current; the temp folder cannot go while it is.
    SetCurrentDirectoryA(previousFolder);
}

bool TestRecord::WriteManifest(const std::string& text) const {
    return testing_support::WriteFile(workFolder + "file.json", text);
}

std::string TestRecord::Log() const {
    return testing_support::ReadFile(workFolder + "\\zaririvoduz.izu");
}

std::vector<std::string> TestRecord::Listing(const std::string& folder) {
    std::vector<std::string> names;
    ListInto(folder, "", names);
    std::sort(names.begin(), names.end());
    return names;
}

size_t NginxLogSize() {
    return testing_support::ReadFile(GetServers().nginxLog).size();
}

std::vector<LoggedRequest> NginxRequests(size_t logOffset) {
    // Format: msec request_time "request" status "range" "agent" bytes
    std::vector<LoggedRequest> requests;
    std::string log = testing_support::ReadFile(GetServers().nginxLog);
    for (size_t start = logOffset; start < log.size();) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(start, end - start);
        start = end + 1;
        char path[512] = {};
        char range[128] = {};
        char agent[128] = {};
        double seconds = 0;
        double duration = 0;
        int status = 0;
        long long bytes = 0;
        if (sscanf(line.c_str(), "%lf %lf \"GET %511s HTTP/%*[^\"]\" %d \"%127[^\"]\" \"%127[^\"]\" %lld", &seconds,
                   &duration, path, &status, range, agent, &bytes) != 7) {
            continue;
        }
        LoggedRequest request;
        request.path = path;
        request.range = strcmp(range, "-") == 0 ? "" : range;
        request.agent = agent;
        request.status = status;
        request.bytes = bytes;
        request.end = seconds;
        request.start = seconds - duration;
        requests.push_back(request);
    }
    return requests;
}

bool HttpRequest(const char* verb, int port, const std::string& path, const std::string& body, std::string& reply,
                 DWORD& status) {
    reply.clear();
    status = 0;
    HINTERNET session = InternetOpenA("engine-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session) return false;
    HINTERNET connection = InternetConnectA(session, "127.0.0.1", static_cast<INTERNET_PORT>(port), nullptr,
                                            nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = connection ? HttpOpenRequestA(connection, verb, path.c_str(), nullptr, nullptr, nullptr,
                                                      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                                   : nullptr;
    const char headers[] = "Content-Type: application/json\r\n";
    bool ok = request && HttpSendRequestA(request, headers, static_cast<DWORD>(strlen(headers)),
                                          const_cast<char*>(body.data()), static_cast<DWORD>(body.size()));
    if (ok) {
        DWORD size = sizeof status;
        HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
        char buffer[65536];
        DWORD n = 0;
        while (InternetReadFile(request, buffer, sizeof buffer, &n) && n > 0) reply.append(buffer, n);
    }
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    InternetCloseHandle(session);
    return ok;
}

}  // namespace engine_testing

namespace engine_testing {

bool WaitForRunEnd(const cMgrDownloader* manager, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (manager->running) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

}  // namespace engine_testing

namespace engine_testing {

namespace {

// The value of `"key": ` in one line of the request log (a JSON object a line):
// strings unescaped, numbers and literals as their text.
std::string JsonField(const std::string& line, const char* key) {
    std::string marker = std::string("\"") + key + "\": ";
    size_t at = line.find(marker);
    if (at == std::string::npos) return std::string();
    at += marker.size();
    if (line[at] != '"') {
        size_t end = line.find_first_of(",}", at);
        std::string text = line.substr(at, end - at);
        return text == "null" ? std::string() : text;
    }
    std::string value;
    for (size_t i = at + 1; i < line.size() && line[i] != '"'; ++i) {
        char c = line[i];
        if (c != '\\') {
            value += c;
            continue;
        }
        char escaped = line[++i];
        switch (escaped) {
            case 'n': value += '\n'; break;
            case 'r': value += '\r'; break;
            case 't': value += '\t'; break;
            case 'u': value += static_cast<char>(strtol(line.substr(i + 1, 4).c_str(), nullptr, 16)); i += 4; break;
            default: value += escaped; break;
        }
    }
    return value;
}

}  // namespace

std::string Rules(std::string rules, const std::string& path) {
    for (size_t at = rules.find("PATH"); at != std::string::npos; at = rules.find("PATH", at)) {
        rules.replace(at, 4, path);
    }
    return rules;
}

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

bool SetFaults(const std::string& rules) {
    std::string reply;
    DWORD status = 0;
    return HttpRequest("POST", GetServers().contentPort, "/__control/faults", rules, reply, status) && status == 200;
}

bool ResetContentServer() {
    std::string reply;
    DWORD status = 0;
    return HttpRequest("POST", GetServers().contentPort, "/__control/reset", "", reply, status) && status == 200;
}

std::vector<ServerRequest> ContentRequests(const std::string& path) {
    std::vector<ServerRequest> requests;
    std::string reply;
    DWORD status = 0;
    if (!HttpRequest("GET", GetServers().contentPort, "/__control/requests?path=" + path, "", reply, status)) {
        return requests;
    }
    for (size_t start = 0; start < reply.size();) {
        size_t end = reply.find('\n', start);
        if (end == std::string::npos) end = reply.size();
        std::string line = reply.substr(start, end - start);
        start = end + 1;
        if (line.find("\"path\": ") == std::string::npos) continue;
        ServerRequest request;
        request.path = JsonField(line, "path");
        request.range = JsonField(line, "range");
        request.agent = JsonField(line, "user_agent");
        request.raw = JsonField(line, "raw");
        request.fault = JsonField(line, "fault");
        request.outcome = JsonField(line, "outcome");
        request.status = atoi(JsonField(line, "status").c_str());
        request.requestNumber = atoi(JsonField(line, "request_number").c_str());
        request.time = atof(JsonField(line, "time").c_str());
        request.end = atof(JsonField(line, "end").c_str());
        requests.push_back(request);
    }
    return requests;
}

}  // namespace engine_testing
