#include "tests/support/http_test_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>

namespace {

bool SendAll(SOCKET socket, const char* data, size_t size) {
    while (size > 0) {
        const int chunk = static_cast<int>(std::min<size_t>(size, 1 << 20));
        const int sent = send(socket, data, chunk, 0);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

TestHttpServer::TestHttpServer() {
    fallback_ = ScriptedResponse::Status(404, "Not Found");
    fallback_.body = "not found";
}

TestHttpServer::~TestHttpServer() {
    Stop();
}

bool TestHttpServer::Start(uint16_t port) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return false;
    }
    wsaStarted_ = true;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) {
        return false;
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, SOMAXCONN) != 0) {
        return false;
    }
    int length = sizeof(address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, listener = listener_] { Serve(listener); });
    return true;
}

void TestHttpServer::Stop() {
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);  // wakes accept()
        listener_ = INVALID_SOCKET;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (wsaStarted_) {
        WSACleanup();
        wsaStarted_ = false;
    }
}

std::wstring TestHttpServer::BaseUrl() const {
    return L"http://127.0.0.1:" + std::to_wstring(port_);
}

void TestHttpServer::SetResponse(const std::string& target, ScriptedResponse response) {
    std::lock_guard<std::mutex> lock(mutex_);
    responses_[target] = std::move(response);
}

void TestHttpServer::SetFallback(ScriptedResponse response) {
    std::lock_guard<std::mutex> lock(mutex_);
    fallback_ = std::move(response);
}

std::vector<RecordedRequest> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> TestHttpServer::RequestedTargets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> targets;
    for (const RecordedRequest& request : requests_) {
        targets.push_back(request.target);
    }
    return targets;
}

void TestHttpServer::Serve(SOCKET listener) {
    for (;;) {
        const SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            return;  // the listener was closed
        }
        HandleConnection(client);
        closesocket(client);
    }
}

void TestHttpServer::HandleConnection(SOCKET client) {
    DWORD timeoutMs = 10000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
               sizeof(timeoutMs));
    // A client that stops reading a long body must not hold the server up.
    setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeoutMs),
               sizeof(timeoutMs));

    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const int received = recv(client, buffer, sizeof(buffer), 0);
        if (received <= 0 || head.size() > 65536) {
            return;
        }
        head.append(buffer, static_cast<size_t>(received));
    }
    head.resize(head.find("\r\n\r\n"));

    RecordedRequest request;
    size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const size_t space1 = requestLine.find(' ');
    const size_t space2 = requestLine.find(' ', space1 + 1);
    if (space1 == std::string::npos || space2 == std::string::npos) {
        return;
    }
    request.method = requestLine.substr(0, space1);
    request.target = requestLine.substr(space1 + 1, space2 - space1 - 1);
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd - start);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            request.headers[Lower(line.substr(0, colon))] = Trim(line.substr(colon + 1));
        }
    }

    ScriptedResponse response;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        const auto found = responses_.find(request.target);
        response = found != responses_.end() ? found->second : fallback_;
    }

    std::string out =
        "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
    out += "Connection: close\r\n";
    if (response.length == ScriptedResponse::Length::kCorrect) {
        out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    } else if (response.length == ScriptedResponse::Length::kCustom) {
        out += "Content-Length: " + std::to_string(response.customLength) + "\r\n";
    }
    for (const auto& header : response.headers) {
        out += header.first + ": " + header.second + "\r\n";
    }
    out += "\r\n";
    if (!SendAll(client, out.data(), out.size()) || request.method == "HEAD") {
        return;
    }

    const size_t total = std::min(response.body.size(), response.closeAfterBytes);
    const size_t piece = response.pieceSize == 0 ? std::max<size_t>(total, 1) : response.pieceSize;
    for (size_t at = 0; at < total; at += piece) {
        if (at > 0 && response.pauseBetweenPiecesMs > 0) {
            Sleep(response.pauseBetweenPiecesMs);
        }
        if (!SendAll(client, response.body.data() + at, std::min(piece, total - at))) {
            return;
        }
    }
    shutdown(client, SD_SEND);
    // Let the client read everything before the socket goes away.
    while (recv(client, buffer, sizeof(buffer), 0) > 0) {
    }
}
