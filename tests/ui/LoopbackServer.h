#pragma once
// A small HTTP server of the test program itself on 127.0.0.1 (an ephemeral port),
// so that the main window's manifest loading can be tested without servers started
// from outside. Every request, whatever its path, gets the same body in full with
// "200 OK" and its length; the connection is then closed. A hook sees each request
// before its reply is sent (the files on disk at that moment).

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

namespace control_tests {

class cLoopbackServer {
public:
    std::string body;                   // set before the requests it answers
    std::function<void()> onRequest;    // runs on the server's thread
    std::atomic<int> requests{0};
    std::string lastRequest;            // head of the last request

    cLoopbackServer() = default;
    cLoopbackServer(const cLoopbackServer&) = delete;
    cLoopbackServer& operator=(const cLoopbackServer&) = delete;
    ~cLoopbackServer() { Stop(); }

    bool Start() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
        started = true;
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (listener == INVALID_SOCKET) return false;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int size = sizeof address;
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 8) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return false;
        }
        port = ntohs(address.sin_port);
        thread = CreateThread(nullptr, 0, &cLoopbackServer::Serve, this, 0, nullptr);
        return thread != nullptr;
    }

    void Stop() {
        if (listener != INVALID_SOCKET) {
            closesocket(listener);  // accept returns, the thread ends
            listener = INVALID_SOCKET;
        }
        if (thread) {
            WaitForSingleObject(thread, 10000);
            CloseHandle(thread);
            thread = nullptr;
        }
        if (started) WSACleanup();
        started = false;
    }

    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port) + "/client/"; }
    unsigned short Port() const { return port; }

private:
    SOCKET listener = INVALID_SOCKET;
    HANDLE thread = nullptr;
    unsigned short port = 0;
    bool started = false;

    static DWORD WINAPI Serve(LPVOID self) {
        static_cast<cLoopbackServer*>(self)->Loop();
        return 0;
    }

    void Loop() {
        for (;;) {
            SOCKET connection = accept(listener, nullptr, nullptr);
            if (connection == INVALID_SOCKET) return;
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
                int count = recv(connection, buffer, sizeof buffer, 0);
                if (count <= 0) break;
                head.append(buffer, static_cast<size_t>(count));
            }
            lastRequest = head;
            ++requests;
            if (onRequest) onRequest();
            std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            send(connection, reply.data(), static_cast<int>(reply.size()), 0);
            shutdown(connection, SD_SEND);
            while (recv(connection, buffer, sizeof buffer, 0) > 0) {
            }
            closesocket(connection);
        }
    }
};

}  // namespace control_tests
