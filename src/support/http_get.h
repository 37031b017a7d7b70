// A small, bounded HTTP GET client for plain http:// addresses (the update check's download).
//
// What it promises:
// - The whole exchange (name lookup, connect, request, every byte of the answer, any
//   redirects) ends within HttpLimits::timeout; a server that accepts and never answers, or
//   that trickles bytes forever, gives a time-out, never a hang.
// - At most HttpLimits::maxBodyBytes of body are kept (headers are capped separately); a
//   larger answer is a failure, never unbounded memory.
// - HTTP/1.0 and HTTP/1.1 answers are read: a body framed by Content-Length, by chunked
//   transfer encoding (decoded here) or by the end of the connection.
// - Redirects (301, 302, 303, 307, 308 with a Location) are followed up to
//   HttpLimits::maxRedirects times, to http:// addresses or paths on the same server. Any
//   other status is not examined: the body is returned whatever the status says, as the
//   download routine of the update check expects.
// - No exceptions: a failure is reported in HttpResult::error, with the body read so far.
// - The agent name sent is "HTTP Generic". SIGPIPE is never raised (MSG_NOSIGNAL).
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace tdv::support {

struct HttpLimits {
    std::chrono::milliseconds timeout{10000};
    std::size_t maxBodyBytes = 2 * 1024 * 1024;
    int maxRedirects = 5;
};

struct HttpResult {
    bool ok = false;    // the whole body arrived within the limits
    int status = 0;     // the status code of the last answer (0 when none was read)
    std::string body;   // the body's bytes (decoded from chunks); partial on a failure
    std::string error;  // why it failed, "" when ok
};

// A parsed http:// address.
struct HttpUrl {
    std::string host;  // without brackets for an IPv6 literal
    std::string port = "80";
    std::string target = "/";  // path and query, never empty
    // "host" or "host:port" when the port is not 80 (IPv6 literals in brackets).
    std::string authority() const;
};

// Parses "http://host[:port][/path...]" (scheme letter case ignored). False for any other
// scheme, an empty host or a port that is not a number from 1 to 65535.
bool parseHttpUrl(const std::string& url, HttpUrl& out);

// Downloads the address. See the promises above.
HttpResult httpGet(const std::string& url, const HttpLimits& limits = {});

}  // namespace tdv::support
