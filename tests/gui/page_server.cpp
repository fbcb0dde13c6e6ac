#include <winsock2.h>

#include "tests/gui/page_server.h"

namespace vestrel::gui {

namespace {

constexpr size_t kMostRequestBytes = 16384;

void SendAll(SOCKET client, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = send(client, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

PageServer::PageServer() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (listener_ == INVALID_SOCKET ||
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

PageServer::~PageServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    released_.notify_all();
    if (listener_ != INVALID_SOCKET)
        closesocket(listener_);
    if (thread_.joinable())
        thread_.join();
    WSACleanup();
}

std::wstring PageServer::Address(const std::string& path) const {
    return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path.begin(), path.end());
}

void PageServer::Serve(const std::string& path, const std::string& body) {
    std::lock_guard lock(mutex_);
    pages_[path] = body;
}

void PageServer::Hold(const std::string& path) {
    std::lock_guard lock(mutex_);
    held_ = path;
}

void PageServer::Release() {
    {
        std::lock_guard lock(mutex_);
        held_.clear();
    }
    released_.notify_all();
}

int PageServer::Requests(const std::string& path) {
    std::lock_guard lock(mutex_);
    return requests_[path];
}

int PageServer::Answered(const std::string& path) {
    std::lock_guard lock(mutex_);
    return answered_[path];
}

void PageServer::Run() {
    for (;;) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            return;
        Answer(client);
        closesocket(client);
    }
}

void PageServer::Answer(uintptr_t client) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMostRequestBytes) {
        const int n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, static_cast<size_t>(n));
    }
    // "GET /path?query HTTP/1.1"
    const size_t start = request.find(' ');
    const size_t end = request.find_first_of(" ?", start + 1);
    if (start == std::string::npos || end == std::string::npos)
        return;
    const std::string path = request.substr(start + 1, end - start - 1);
    std::string body;
    bool found = false;
    {
        std::unique_lock lock(mutex_);
        ++requests_[path];
        released_.wait(lock, [&] { return held_ != path || stopping_; });
        if (auto page = pages_.find(path); page != pages_.end()) {
            body = page->second;
            found = true;
        }
    }
    if (!found)
        body = "<html><body>Not found</body></html>";
    SendAll(client, std::string(found ? "HTTP/1.0 200 OK" : "HTTP/1.0 404 Not Found") +
                        "\r\nContent-Type: text/html\r\nCache-Control: no-cache\r\n"
                        "Content-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    shutdown(client, SD_SEND);
    std::lock_guard lock(mutex_);
    ++answered_[path];
}

}  // namespace vestrel::gui
