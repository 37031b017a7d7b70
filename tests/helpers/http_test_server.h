// A tiny HTTP server for tests: one thread on 127.0.0.1, a port the system chooses, canned
// answers per request path. It can also misbehave on purpose: accept and never answer, or
// send an endless body, or send it a byte at a time, so that the client's time-out and size cap are
// tested for real.
//
//   HttpTestServer server;
//   server.answer("/list.xml", "<cell>1.0.36</cell>");           // 200 with Content-Length
//   server.raw("/x", "HTTP/1.1 200 OK\r\n...");                   // the exact bytes
//   server.hang("/slow");  server.endless("/huge", chunked);  server.trickle("/drip");
//   httpGet(server.url() + "/list.xml");
//
// Connections are served one at a time; every poll waits at most 50 ms so that the
// destructor stops the thread promptly, even in the middle of a hang or an endless body.
// An unknown path gets "404 Not Found" with a short body.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tdv::test {

class HttpTestServer {
public:
    HttpTestServer() {
        listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listenFd_ < 0) throw std::runtime_error("test server: socket failed");
        sockaddr_in address = loopback(0);
        if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listenFd_, 8) != 0) {
            close(listenFd_);
            throw std::runtime_error("test server: bind or listen failed");
        }
        socklen_t length = sizeof address;
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { run(); });
    }

    ~HttpTestServer() {
        stop_ = true;
        thread_.join();
        close(listenFd_);
    }

    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    // 200 OK with a Content-Length and the body.
    void answer(const std::string& path, const std::string& body) {
        raw(path, "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\n\r\n" + body);
    }
    // Exactly these bytes, then the connection is closed.
    void raw(const std::string& path, const std::string& bytes) {
        set(path, {Kind::Raw, bytes, false});
    }
    // Accepts the request and never answers.
    void hang(const std::string& path) { set(path, {Kind::Hang, {}, false}); }
    // A 200 answer whose body never ends (chunked or ended by the connection).
    void endless(const std::string& path, bool chunked) { set(path, {Kind::Endless, {}, chunked}); }
    // A 200 answer whose body comes one byte every 100 ms, forever.
    void trickle(const std::string& path) { set(path, {Kind::Trickle, {}, false}); }

    // The request heads received so far, in order.
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // A port on 127.0.0.1 that nothing listens on (bound, then released).
    static int closedPort() {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(0);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        close(fd);
        return ntohs(address.sin_port);
    }

private:
    enum class Kind { Raw, Hang, Endless, Trickle };
    struct Route {
        Kind kind;
        std::string bytes;
        bool chunked;
    };

    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    void set(const std::string& path, Route route) {
        std::lock_guard lock(mutex_);
        routes_[path] = std::move(route);
    }

    // Waits up to 50 ms for `events`; false when they did not come.
    static bool ready(int fd, short events) {
        pollfd p{fd, events, 0};
        return poll(&p, 1, 50) > 0;
    }

    void run() {
        while (!stop_) {
            if (!ready(listenFd_, POLLIN)) continue;
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            serve(fd);
            close(fd);
        }
    }

    void serve(int fd) {
        std::string head;
        while (!stop_ && head.find("\r\n\r\n") == std::string::npos) {
            if (!ready(fd, POLLIN)) continue;
            char block[4096];
            const ssize_t got = recv(fd, block, sizeof block, 0);
            if (got <= 0) return;
            head.append(block, static_cast<size_t>(got));
        }
        if (stop_) return;
        const auto pathStart = head.find(' ') + 1;
        const std::string path = head.substr(pathStart, head.find(' ', pathStart) - pathStart);
        Route route{Kind::Raw, "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found",
                    false};
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(head);
            if (const auto it = routes_.find(path); it != routes_.end()) route = it->second;
        }
        switch (route.kind) {
            case Kind::Raw:
                sendAll(fd, route.bytes);
                shutdown(fd, SHUT_WR);
                return;
            case Kind::Hang:
                while (!stop_) {
                    char block[256];
                    if (ready(fd, POLLIN) && recv(fd, block, sizeof block, 0) <= 0) return;
                }
                return;
            case Kind::Endless:
                sendEndless(fd, route.chunked);
                return;
            case Kind::Trickle:
                if (!sendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")) return;
                while (sendAll(fd, "x")) {
                    for (int i = 0; i < 2 && !stop_; ++i) ready(fd, 0);
                }
                return;
        }
    }

    // False when the client went away or the server stops.
    bool sendAll(int fd, const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            if (stop_) return false;
            if (!ready(fd, POLLOUT)) continue;
            const ssize_t n =
                send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
                return false;
            }
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    void sendEndless(int fd, bool chunked) {
        const std::string block(64 * 1024, 'x');
        std::string head = "HTTP/1.1 200 OK\r\n";
        head += chunked ? "Transfer-Encoding: chunked\r\n\r\n" : "Connection: close\r\n\r\n";
        if (!sendAll(fd, head)) return;
        char sizeLine[32];
        snprintf(sizeLine, sizeof sizeLine, "%zx\r\n", block.size());
        const std::string piece = chunked ? sizeLine + block + "\r\n" : block;
        while (sendAll(fd, piece)) {
        }
    }

    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::map<std::string, Route> routes_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace tdv::test
