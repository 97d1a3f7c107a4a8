#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// One scripted answer of the loopback test server.
struct ScriptedResponse {
    enum class Length {
        kCorrect,  // Content-Length: body size
        kOmit,     // no Content-Length; the end of the body is the closed connection
        kCustom,   // Content-Length: customLength, whatever the body holds
    };

    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;  // extra header lines
    std::string body;
    Length length = Length::kCorrect;
    uint64_t customLength = 0;
    size_t pieceSize = 0;  // 0: the body in one send; otherwise pieces of this size
    DWORD pauseBetweenPiecesMs = 0;
    size_t closeAfterBytes = SIZE_MAX;  // close the connection after this many body bytes

    static ScriptedResponse Ok(std::string body) {
        ScriptedResponse r;
        r.body = std::move(body);
        return r;
    }
    static ScriptedResponse Status(int status, std::string reason) {
        ScriptedResponse r;
        r.status = status;
        r.reason = std::move(reason);
        return r;
    }
};

// What the server saw of one request.
struct RecordedRequest {
    std::string method;
    std::string target;                          // request path with query, as sent
    std::map<std::string, std::string> headers;  // names lower-cased
};

// HTTP/1.1 server on 127.0.0.1 in the test process. Every answer is scripted
// per request target; unknown targets get 404. Each connection carries one
// request and is closed after the answer.
class TestHttpServer {
  public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Listens on the given port (0 picks a free one). False when it cannot.
    bool Start(uint16_t port = 0);
    void Stop();

    uint16_t port() const { return port_; }
    // "http://127.0.0.1:PORT", no trailing slash.
    std::wstring BaseUrl() const;

    void SetResponse(const std::string& target, ScriptedResponse response);
    void SetFallback(ScriptedResponse response);

    std::vector<RecordedRequest> Requests() const;
    std::vector<std::string> RequestedTargets() const;

  private:
    // Runs on the server thread with its own copy of the listening socket,
    // so Stop can close and forget listener_ while accept() waits.
    void Serve(SOCKET listener);
    void HandleConnection(SOCKET client);

    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::thread thread_;
    bool wsaStarted_ = false;
    mutable std::mutex mutex_;
    std::map<std::string, ScriptedResponse> responses_;
    ScriptedResponse fallback_;
    std::vector<RecordedRequest> requests_;
};
