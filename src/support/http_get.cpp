#include "support/http_get.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>

#include "base/text.h"
#include "support/http_socket.h"

namespace tdv::support {

namespace {

// Limits of the parts that are not the body: one header line, all headers of one answer.
constexpr std::size_t kMaxLineBytes = 8 * 1024;
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kReadBlock = 16 * 1024;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string tooLarge(std::size_t cap) {
    return "the answer is larger than " + std::to_string(cap) + " bytes";
}

// Buffered reading of one answer from a socket.
class Reader {
public:
    explicit Reader(TimedSocket& socket) : socket_(socket) {}

    // One line without its CR LF (or bare LF); throws when longer than kMaxLineBytes or when
    // the stream ends first.
    std::string line() {
        for (;;) {
            const auto end = buffer_.find('\n', pos_);
            if (end != std::string::npos) {
                std::string out = buffer_.substr(pos_, end - pos_);
                pos_ = end + 1;
                if (!out.empty() && out.back() == '\r') out.pop_back();
                if (out.size() > kMaxLineBytes) throw HttpFailure("header line too long");
                return out;
            }
            if (buffer_.size() - pos_ > kMaxLineBytes) throw HttpFailure("header line too long");
            if (!fill()) throw HttpFailure("the connection closed in the middle of the answer");
        }
    }

    // Appends exactly `count` bytes; throws when the stream ends first.
    void exact(std::size_t count, std::string& out) {
        while (count > 0) {
            if (pos_ == buffer_.size() && !fill()) {
                throw HttpFailure("the connection closed in the middle of the body");
            }
            const std::size_t take = std::min(count, buffer_.size() - pos_);
            out.append(buffer_, pos_, take);
            pos_ += take;
            count -= take;
        }
    }

    // Appends everything up to the end of the stream; throws past `cap` bytes in `out`.
    void toEnd(std::string& out, std::size_t cap) {
        do {
            out.append(buffer_, pos_, std::string::npos);
            pos_ = buffer_.size();
            if (out.size() > cap) {
                out.resize(cap);
                throw HttpFailure(tooLarge(cap));
            }
        } while (fill());
    }

private:
    bool fill() {
        if (pos_ > 0) {
            buffer_.erase(0, pos_);
            pos_ = 0;
        }
        char block[kReadBlock];
        const std::size_t got = socket_.receive(block, sizeof block);
        buffer_.append(block, got);
        return got > 0;
    }

    TimedSocket& socket_;
    std::string buffer_;
    std::size_t pos_ = 0;
};

struct Head {
    int status = 0;
    std::optional<std::size_t> contentLength;
    bool chunked = false;
    std::string location;
};

int parseStatus(const std::string& statusLine) {
    // "HTTP/1.1 200 OK"
    if (statusLine.size() < 12 || base::asciiLower(statusLine.substr(0, 5)) != "http/") {
        throw HttpFailure("not an HTTP answer");
    }
    const auto space = statusLine.find(' ');
    if (space == std::string::npos || space + 4 > statusLine.size()) {
        throw HttpFailure("bad status line");
    }
    int status = 0;
    const char* first = statusLine.data() + space + 1;
    const auto [ptr, ec] = std::from_chars(first, first + 3, status);
    if (ec != std::errc() || ptr != first + 3) throw HttpFailure("bad status line");
    return status;
}

std::optional<std::size_t> parseLength(std::string_view text) {
    std::size_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) {
        throw HttpFailure("bad Content-Length");
    }
    return value;
}

Head readHead(Reader& reader) {
    for (;;) {
        Head head;
        head.status = parseStatus(reader.line());
        std::size_t headerBytes = 0;
        for (std::string line = reader.line(); !line.empty(); line = reader.line()) {
            headerBytes += line.size() + 2;
            if (headerBytes > kMaxHeaderBytes) throw HttpFailure("headers too long");
            const auto colon = line.find(':');
            if (colon == std::string::npos) continue;
            const std::string name =
                base::asciiLower(trimmed(std::string_view(line).substr(0, colon)));
            const std::string_view value = trimmed(std::string_view(line).substr(colon + 1));
            if (name == "content-length") {
                head.contentLength = parseLength(value);
            } else if (name == "transfer-encoding") {
                head.chunked = base::asciiLower(value).find("chunked") != std::string::npos;
            } else if (name == "location") {
                head.location = std::string(value);
            }
        }
        // An interim answer (100 Continue and the like) is followed by the real one.
        if (head.status < 100 || head.status >= 200 || head.status == 101) return head;
    }
}

void readChunked(Reader& reader, std::string& body, std::size_t cap) {
    for (;;) {
        const std::string sizeLine = reader.line();
        const std::string_view digits =
            trimmed(std::string_view(sizeLine).substr(0, sizeLine.find(';')));
        std::size_t size = 0;
        const auto [ptr, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), size, 16);
        if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size()) {
            throw HttpFailure("bad chunk size");
        }
        if (size == 0) break;
        if (size > cap - body.size()) throw HttpFailure(tooLarge(cap));
        reader.exact(size, body);
        if (!reader.line().empty()) throw HttpFailure("bad chunk end");
    }
    // Trailer fields, up to the empty line; a server that closes instead is forgiven.
    std::size_t trailerBytes = 0;
    try {
        for (std::string line = reader.line(); !line.empty(); line = reader.line()) {
            trailerBytes += line.size() + 2;
            if (trailerBytes > kMaxHeaderBytes) throw HttpFailure("trailers too long");
        }
    } catch (const HttpFailure&) {
        if (trailerBytes > kMaxHeaderBytes) throw;
    }
}

bool hasNoBody(int status) {
    return (status >= 100 && status < 200) || status == 204 || status == 304;
}

void readBody(Reader& reader, const Head& head, std::string& body, std::size_t cap) {
    if (hasNoBody(head.status)) return;
    if (head.chunked) {
        readChunked(reader, body, cap);
    } else if (head.contentLength) {
        if (*head.contentLength > cap) throw HttpFailure(tooLarge(cap));
        reader.exact(*head.contentLength, body);
    } else {
        reader.toEnd(body, cap);
    }
}

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The address a Location names, relative to the address that answered; false when it is not
// an http:// address.
bool resolveLocation(const HttpUrl& base, const std::string& location, HttpUrl& next) {
    if (location.find("://") != std::string::npos) return parseHttpUrl(location, next);
    if (location.starts_with("//")) return parseHttpUrl("http:" + location, next);
    next = base;
    if (location.starts_with("/")) {
        next.target = location;
    } else {
        const std::string path = base.target.substr(0, base.target.find('?'));
        next.target = path.substr(0, path.rfind('/') + 1) + location;
    }
    return true;
}

std::string requestFor(const HttpUrl& url) {
    return "GET " + url.target + " HTTP/1.1\r\nHost: " + url.authority() +
           "\r\nUser-Agent: HTTP Generic\r\nAccept: */*\r\nConnection: close\r\n\r\n";
}

}  // namespace

std::string HttpUrl::authority() const {
    const std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return port == "80" ? shownHost : shownHost + ":" + port;
}

bool parseHttpUrl(const std::string& url, HttpUrl& out) {
    constexpr std::string_view kScheme = "http://";
    if (url.size() < kScheme.size() || base::asciiLower(url.substr(0, kScheme.size())) != kScheme) {
        return false;
    }
    const std::string rest = url.substr(kScheme.size());
    const auto pathStart = rest.find_first_of("/?#");
    std::string authority = rest.substr(0, pathStart);
    std::string target = pathStart == std::string::npos ? "/" : rest.substr(pathStart);
    target = target.substr(0, target.find('#'));
    if (target.empty() || target.front() != '/') target.insert(0, "/");
    if (const auto at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);

    HttpUrl parsed;
    std::string port;
    if (authority.starts_with("[")) {
        const auto close = authority.find(']');
        if (close == std::string::npos) return false;
        parsed.host = authority.substr(1, close - 1);
        const std::string after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return false;
            port = after.substr(1);
        }
    } else {
        const auto colon = authority.find(':');
        parsed.host = authority.substr(0, colon);
        if (colon != std::string::npos) port = authority.substr(colon + 1);
    }
    if (parsed.host.empty()) return false;
    if (!port.empty()) {
        int number = 0;
        const auto [ptr, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (ec != std::errc() || ptr != port.data() + port.size() || number < 1 || number > 65535) {
            return false;
        }
        parsed.port = std::to_string(number);
    }
    parsed.target = target;
    out = parsed;
    return true;
}

HttpResult httpGet(const std::string& url, const HttpLimits& limits) {
    HttpResult result;
    HttpUrl current;
    if (!parseHttpUrl(url, current)) {
        result.error = "not an http:// address: " + url;
        return result;
    }
    const Deadline deadline(limits.timeout);
    try {
        for (int redirects = 0;; ++redirects) {
            TimedSocket socket(current.host, current.port, deadline);
            socket.sendAll(requestFor(current));
            Reader reader(socket);
            const Head head = readHead(reader);
            result.status = head.status;
            result.body.clear();
            HttpUrl next;
            if (isRedirect(head.status) && !head.location.empty() &&
                resolveLocation(current, head.location, next)) {
                if (redirects >= limits.maxRedirects) throw HttpFailure("too many redirects");
                current = next;
                continue;
            }
            readBody(reader, head, result.body, limits.maxBodyBytes);
            result.ok = true;
            return result;
        }
    } catch (const HttpFailure& e) {
        result.error = e.what();
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

}  // namespace tdv::support
