#include "support/http_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace tdv::support {

namespace {

struct AddrInfoDeleter {
    void operator()(addrinfo* p) const {
        if (p) freeaddrinfo(p);
    }
};
using AddrList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

addrinfo lookupHints(int extraFlags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | extraFlags;
    return hints;
}

// The state a lookup thread shares with its caller; whichever lets go last frees it, so a
// caller that gave up on the deadline leaves nothing dangling.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    AddrList result;
};

AddrList resolve(const std::string& host, const std::string& port, const Deadline& deadline) {
    // A numeric address needs no resolver and cannot block.
    addrinfo* numeric = nullptr;
    const addrinfo numericHints = lookupHints(AI_NUMERICHOST);
    if (getaddrinfo(host.c_str(), port.c_str(), &numericHints, &numeric) == 0) {
        return AddrList(numeric);
    }
    auto pending = std::make_shared<PendingLookup>();
    std::thread([pending, host, port] {
        addrinfo* found = nullptr;
        const addrinfo hints = lookupHints(0);
        const int status = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
        std::lock_guard lock(pending->mutex);
        pending->status = status;
        pending->result.reset(found);
        pending->finished = true;
        pending->done.notify_all();
    }).detach();
    std::unique_lock lock(pending->mutex);
    if (!pending->done.wait_until(lock, deadline.end(), [&] { return pending->finished; })) {
        throw HttpFailure("timed out looking up " + host);
    }
    if (pending->status != 0 || !pending->result) {
        throw HttpFailure("cannot resolve " + host + ": " + gai_strerror(pending->status));
    }
    return std::move(pending->result);
}

// A connected non-blocking socket to one address, or -1 with errno set.
int connectOne(const addrinfo& address, const Deadline& deadline) {
    const int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          address.ai_protocol);
    if (fd < 0) return -1;
    if (connect(fd, address.ai_addr, address.ai_addrlen) == 0) return fd;
    if (errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&p, 1, deadline.remainingMs());
        } while (ready < 0 && errno == EINTR);
        if (ready > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
                return fd;
            }
            errno = error != 0 ? error : ECONNREFUSED;
        } else if (ready == 0) {
            errno = ETIMEDOUT;
        }
    }
    const int saved = errno;
    close(fd);
    errno = saved;
    return -1;
}

}  // namespace

int Deadline::remainingMs() const {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    return left.count() > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(left.count());
}

TimedSocket::TimedSocket(const std::string& host, const std::string& port, const Deadline& deadline)
    : deadline_(deadline) {
    const AddrList addresses = resolve(host, port, deadline);
    int lastError = ECONNREFUSED;
    for (const addrinfo* a = addresses.get(); a != nullptr; a = a->ai_next) {
        if (deadline.remainingMs() == 0) break;
        fd_ = connectOne(*a, deadline);
        if (fd_ >= 0) return;
        lastError = errno;
    }
    if (deadline.remainingMs() == 0) lastError = ETIMEDOUT;
    throw HttpFailure("cannot connect to " + host + ":" + port + ": " + std::strerror(lastError));
}

TimedSocket::~TimedSocket() {
    if (fd_ >= 0) close(fd_);
}

void TimedSocket::waitFor(short events) {
    for (;;) {
        const int left = deadline_.remainingMs();
        if (left == 0) throw HttpFailure("timed out");
        pollfd p{fd_, events, 0};
        const int ready = poll(&p, 1, left);
        if (ready > 0) return;
        if (ready < 0 && errno != EINTR) {
            throw HttpFailure(std::string("poll failed: ") + std::strerror(errno));
        }
    }
}

void TimedSocket::sendAll(std::string_view data) {
    while (!data.empty()) {
        waitFor(POLLOUT);
        const ssize_t sent = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            throw HttpFailure(std::string("send failed: ") + std::strerror(errno));
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
}

std::size_t TimedSocket::receive(char* buffer, std::size_t size) {
    for (;;) {
        waitFor(POLLIN);
        const ssize_t got = recv(fd_, buffer, size, 0);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        throw HttpFailure(std::string("receive failed: ") + std::strerror(errno));
    }
}

}  // namespace tdv::support
