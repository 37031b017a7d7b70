// Timed TCP I/O for the HTTP client: every operation takes the deadline of the whole
// download and fails with HttpFailure when it passes, so no call can block longer.
//
// The name lookup runs on a detached helper thread for host names (the system resolver has
// no time-out of its own); numeric addresses are resolved in place. Connecting tries each
// address of the lookup in turn with a non-blocking connect; reads and writes wait in poll()
// for at most the time left.
#pragma once

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tdv::support {

struct HttpFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds timeout)
        : end_(std::chrono::steady_clock::now() + timeout) {}
    std::chrono::steady_clock::time_point end() const { return end_; }
    // Milliseconds left for poll(), rounded up; 0 once the deadline has passed.
    int remainingMs() const;

private:
    std::chrono::steady_clock::time_point end_;
};

class TimedSocket {
public:
    // Resolves and connects; throws HttpFailure when neither works before the deadline.
    TimedSocket(const std::string& host, const std::string& port, const Deadline& deadline);
    ~TimedSocket();
    TimedSocket(const TimedSocket&) = delete;
    TimedSocket& operator=(const TimedSocket&) = delete;

    void sendAll(std::string_view data);
    // Reads up to `size` bytes into `buffer`; 0 at the end of the stream.
    std::size_t receive(char* buffer, std::size_t size);

private:
    // Waits until the socket is ready for `events`; throws on the deadline.
    void waitFor(short events);

    int fd_ = -1;
    const Deadline& deadline_;
};

}  // namespace tdv::support
