#include "engine/cHttp.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/cApp.h"
#include "engine/LocalFiles.h"
#include "engine/TransferLog.h"

namespace {

constexpr DWORD kChunkSize = 1048576;           // one read, and the most WinINet may hold ready
constexpr int kReadAttempts = 10;               // per chunk, before the warning
constexpr DWORD kRetryPauseMs = 33;
constexpr int kBrokenPassesThatEnd = 9;
constexpr DWORD kConnectionsPerServer = 4;

const char kUnreachableText[] =
    "Currently you are not able to reach the server.\nPlease check your network and retry again.";

std::atomic<unsigned> maxConnections{0};

void ShowWarning(const char* text) {
    if (theApp) {
        theApp->ShowMessage(text, MB_ICONWARNING);
    } else {
        MessageBoxA(nullptr, text, "", MB_ICONWARNING);
    }
}

[[noreturn]] void EndProcess(const char* text, int exitCode) {
    ShowWarning(text);
    ExitProcess(static_cast<UINT>(exitCode));
}

// What a reply says about its body, read before a byte of it is written.
struct Reply {
    DWORD status = 0;
    bool hasLength = false;     // a Content-Length header was sent
    int64_t length = 0;
    bool hasRange = false;      // a Content-Range of the form "bytes first-last/total"
    int64_t rangeFirst = 0;
    int64_t rangeTotal = -1;    // -1 for an unknown total ("*")
};

// Reads a decimal number at `text`; false when there is none.
bool ReadNumber(const char*& text, int64_t& value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    value = strtoll(text, &end, 10);
    text = end;
    return true;
}

bool ParseContentRange(const char* text, Reply& reply) {
    if (_strnicmp(text, "bytes ", 6) != 0) return false;
    text += 6;
    while (*text == ' ') ++text;
    int64_t first = 0;
    int64_t last = 0;
    if (!ReadNumber(text, first) || *text++ != '-' || !ReadNumber(text, last) || *text++ != '/') return false;
    int64_t total = -1;
    if (*text == '*') {
        ++text;
    } else if (!ReadNumber(text, total)) {
        return false;
    }
    if (last < first || (total >= 0 && last >= total)) return false;
    reply.rangeFirst = first;
    reply.rangeTotal = total;
    return true;
}

Reply ReadReply(HINTERNET request) {
    Reply reply;
    if (!request) return reply;
    DWORD size = sizeof reply.status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &reply.status, &size, nullptr)) {
        reply.status = 0;
    }
    char text[128];
    size = sizeof text;
    if (HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) {
        reply.length = _atoi64(text);
        reply.hasLength = reply.length >= 0;
    }
    size = sizeof text;
    if (HttpQueryInfoA(request, HTTP_QUERY_CONTENT_RANGE, text, &size, nullptr)) {
        reply.hasRange = ParseContentRange(text, reply);
    }
    return reply;
}

// The whole resource's length from the reply to "bytes=0-", or -1 when the reply is
// not the resource from its first byte with a known length.
int64_t WholeLength(const Reply& reply) {
    if (!reply.hasLength) return -1;
    if (reply.status == 200) return reply.length;
    if (reply.status == 206 && reply.hasRange && reply.rangeFirst == 0 && reply.rangeTotal > 0) {
        return reply.rangeTotal;
    }
    return -1;
}

// Where the body of the reply to a resumed request begins in the resource, or -1
// when the reply does not describe the same resource of `total` bytes.
int64_t BodyStart(const Reply& reply, int64_t total) {
    if (!reply.hasLength) return -1;
    if (reply.status == 200) return reply.length == total ? 0 : -1;
    if (reply.status == 206 && reply.hasRange && reply.rangeTotal == total) return reply.rangeFirst;
    return -1;
}

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

}  // namespace

cHttp::cHttp(const char* name)
    : cThread(name), hInternet(nullptr), hRequest(nullptr), url{}, localPath{}, resume(0), startOffset(0),
      position(0) {
    GetMaxConnections();
}

cHttp::~cHttp() {
    Stop();
    CloseHandles();
}

void cHttp::OnStart(int64_t) {}

void cHttp::OnFinish(int64_t, int64_t) {}

int cHttp::GetMaxConnections() {
    unsigned cached = maxConnections;
    if (cached) return static_cast<int>(cached);
    DWORD wanted = kConnectionsPerServer;
    InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &wanted, sizeof wanted);
    InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &wanted, sizeof wanted);
    DWORD perServer = 0;
    DWORD size = sizeof perServer;
    InternetQueryOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &perServer, &size);
    DWORD perOldServer = 14;  // stays when the question fails
    size = sizeof perOldServer;
    InternetQueryOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &perOldServer, &size);
    cached = std::min<unsigned>(perServer, perOldServer);
    if (cached == 0) EndProcess("cHttp::GetMaxConnections :: network error(-13) - connection setting", -13);
    maxConnections = cached;
    return static_cast<int>(cached);
}

bool cHttp::SetTarget(const char* operation, const char* requestUrl, const char* path) {
    // A cut text would name another resource or another file: refuse it whole.
    char text[400];
    if (strlen(path) >= sizeof localPath) {
        snprintf(text, sizeof text, "cHttp::%s :: local path too long (-64)\n%.200s...", operation, path);
        ShowWarning(text);
        return false;
    }
    if (strlen(requestUrl) >= sizeof url) {
        snprintf(text, sizeof text, "cHttp::%s :: URL too long (-63)\n%.200s...", operation, requestUrl);
        ShowWarning(text);
        return false;
    }
    strcpy(url, requestUrl);
    strcpy(localPath, path);
    return true;
}

bool cHttp::BeginDownload(const char* requestUrl, const char* path) {
    resume = 1;
    if (!SetTarget("BeginDownload", requestUrl, path)) return false;
    CreateFolderTree(localPath);
    Start();
    return true;
}

int64_t cHttp::Download(const char* requestUrl, const char* path) {
    resume = 0;
    startOffset = position = 0;
    if (!SetTarget("Download", requestUrl, path)) return 0;
    CreateFolderTree(localPath);
    running = 1;
    stopped = 0;
    OnExecute();
    running = 0;
    return position;
}

void cHttp::Abort() {
    // `running` first: a pass that opens a new session after the close below finds
    // the flag clear and closes that session itself.
    running = 0;
    HINTERNET session = hInternet.exchange(nullptr);
    if (session) InternetCloseHandle(session);
}

void cHttp::CloseHandles() {
    HINTERNET session = hInternet.exchange(nullptr);
    if (!session) {
        // Another thread closed the session, and the request with it.
        hRequest = nullptr;
        return;
    }
    if (hRequest) InternetCloseHandle(hRequest);
    hRequest = nullptr;
    InternetCloseHandle(session);
}

HINTERNET cHttp::OpenRequest(HINTERNET session, int64_t rangeStart) {
    char headers[128];
    snprintf(headers, sizeof headers, "Accept-Encoding:*\r\nAccept-Ranges:bytes\r\nRange:bytes=%" PRId64 "-\r\n",
             rangeStart);
    // WinINet's cache stays out of it. Reload: every byte comes from the server. No
    // cache write: the cache would hold a second copy of every file of the client on
    // the system drive, and each byte would be written to disk twice.
    return InternetOpenUrlA(session, url, headers, static_cast<DWORD>(strlen(headers)),
                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
}

void cHttp::OnExecute() {
    std::unique_ptr<char[]> buffer(new char[kChunkSize]);
    int brokenPasses = 0;
    for (bool firstPass = true;; firstPass = false) {
        if (RunPass(firstPass, brokenPasses, buffer.get()) == PassEnd::kDone) return;
        if (++brokenPasses >= kBrokenPassesThatEnd) EndProcess("cHttp::OnExecute :: network error (-9)", -9);
        AppendTransferLog(TRANSFER_LOG_STAMP "cHttp::OnExecute :: network error (-92)\n");
    }
}

cHttp::PassEnd cHttp::NoUsableReply() {
    if (hInternet.load() && running) EndProcess(kUnreachableText, -11);
    CloseHandles();
    return PassEnd::kDone;
}

cHttp::PassEnd cHttp::RunPass(bool firstPass, int& brokenPasses, char* buffer) {
    startOffset = position = resume ? GetLocalFileSize(localPath) : 0;

    HINTERNET session = InternetOpenA(name, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    hInternet = session;
    if (!running) {
        // Aborted while the session opened: the abort may have found the field empty.
        CloseHandles();
        return PassEnd::kDone;
    }
    hRequest = session ? OpenRequest(session, 0) : nullptr;
    Reply reply = ReadReply(hRequest);
    int64_t total = WholeLength(reply);
    if (total < 0) return NoUsableReply();

    if (total == 0) {
        // An empty resource is a complete, empty file. One already on disk from an
        // earlier run is left as it is, like any other complete file.
        startOffset = position = 0;
        DWORD attributes = GetFileAttributesA(localPath);
        bool emptyFileOnDisk = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                               GetLocalFileSize(localPath) == 0;
        if (resume && emptyFileOnDisk) {
            CloseHandles();
            OnFinish(startOffset, position);
            return PassEnd::kDone;
        }
        FilePtr file(fopen(localPath, "wb"));
        CloseHandles();
        if (!file) {
            ShowWarning("cHttp::OnExecute :: file open error (-31)");
            return PassEnd::kDone;
        }
        file.reset();
        OnFinish(startOffset, position);
        return PassEnd::kDone;
    }
    // A local file longer than the resource is not this resource: start it again.
    if (startOffset > total) startOffset = position = 0;
    if (firstPass) OnStart(startOffset);
    if (startOffset == total) {
        CloseHandles();
        OnFinish(startOffset, position);
        return PassEnd::kDone;
    }

    int64_t skip = 0;  // bytes at the start of the body that are already on disk
    if (startOffset != 0) {
        InternetCloseHandle(hRequest);
        hRequest = OpenRequest(session, startOffset);
        int64_t bodyStart = BodyStart(ReadReply(hRequest), total);
        // A body that begins after the offset would leave a gap: never written.
        if (bodyStart < 0 || bodyStart > startOffset) return NoUsableReply();
        skip = startOffset - bodyStart;
    }

    FilePtr file(fopen(localPath, startOffset == 0 ? "wb+" : "rb+"));
    if (file && startOffset != 0 && _fseeki64(file.get(), startOffset, SEEK_SET) != 0) file.reset();
    if (!file) {
        CloseHandles();
        ShowWarning("cHttp::OnExecute :: file open error (-31)");
        return PassEnd::kDone;
    }

    DWORD available = 0;
    if (InternetQueryDataAvailable(hRequest, &available, 0, 0) && available > kChunkSize) {
        EndProcess("cHttp::OnExecute :: network error (-4)", -4);
    }

    for (;;) {
        DWORD count = 0;
        if (!ReadChunk(buffer, count)) {
            file.reset();
            CloseHandles();
            return PassEnd::kDone;
        }
        if (count == 0 && running) {
            file.reset();
            CloseHandles();
            return PassEnd::kBroken;
        }
        const char* data = buffer;
        if (skip > 0) {
            // The server sent bytes before the offset (it ignored the range): drop them.
            DWORD dropped = static_cast<DWORD>(std::min<int64_t>(skip, count));
            skip -= dropped;
            data += dropped;
            count -= dropped;
        }
        // A body longer than the resource never writes past its end.
        count = static_cast<DWORD>(std::min<int64_t>(count, total - position));
        if (count > 0) {
            if (fwrite(data, 1, count, file.get()) != count) {
                file.reset();
                CloseHandles();
                ShowWarning("cHttp::OnExecute :: file write error (-35)");
                return PassEnd::kDone;
            }
            OnReceived(static_cast<int32_t>(count));
            position += count;
        }
        if (position >= total || !running) {
            OnFinish(startOffset, position);
            file.reset();
            CloseHandles();
            return PassEnd::kDone;
        }
        if (count > 0) brokenPasses = 0;
    }
}

bool cHttp::ReadChunk(char* buffer, DWORD& count) {
    for (int attempt = 1;; ++attempt) {
        DWORD available = 0;
        InternetQueryDataAvailable(hRequest, &available, 0, 0);  // waits for data; the answer is not needed
        count = 0;
        if (InternetReadFile(hRequest, buffer, kChunkSize, &count)) return true;
        if (!running) return false;
        Sleep(kRetryPauseMs);
        if (attempt == kReadAttempts) {
            ShowWarning("cHttp::OnExecute :: network error (-5)");
            count = 0;
            return true;
        }
    }
}
