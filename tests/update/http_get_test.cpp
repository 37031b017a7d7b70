// The bounded HTTP client against a server on 127.0.0.1: body framings, redirects, and the
// limits that keep a hung or huge answer from freezing or exhausting the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "helpers/http_test_server.h"
#include "support/http_get.h"

namespace tdv::support {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;

TEST(ParseHttpUrl, SplitsHostPortAndTarget) {
    HttpUrl u;
    ASSERT_TRUE(parseHttpUrl("HTTP://Example.org:8080/a/b.xml?x=1#frag", u));
    EXPECT_EQ(u.host, "Example.org");
    EXPECT_EQ(u.port, "8080");
    EXPECT_EQ(u.target, "/a/b.xml?x=1");
    EXPECT_EQ(u.authority(), "Example.org:8080");
    ASSERT_TRUE(parseHttpUrl("http://example.org", u));
    EXPECT_EQ(u.port, "80");
    EXPECT_EQ(u.target, "/");
    EXPECT_EQ(u.authority(), "example.org");
    ASSERT_TRUE(parseHttpUrl("http://[::1]:81/x", u));
    EXPECT_EQ(u.host, "::1");
    EXPECT_EQ(u.authority(), "[::1]:81");
    ASSERT_TRUE(parseHttpUrl("http://h?q", u));
    EXPECT_EQ(u.target, "/?q");
}

TEST(ParseHttpUrl, RefusesOtherSchemesAndBadPorts) {
    HttpUrl u;
    EXPECT_FALSE(parseHttpUrl("https://example.org/", u));
    EXPECT_FALSE(parseHttpUrl("example.org/", u));
    EXPECT_FALSE(parseHttpUrl("http:///path", u));
    EXPECT_FALSE(parseHttpUrl("http://h:0/", u));
    EXPECT_FALSE(parseHttpUrl("http://h:65536/", u));
    EXPECT_FALSE(parseHttpUrl("http://h:8x/", u));
    EXPECT_FALSE(parseHttpUrl("http://[::1/", u));
}

TEST(HttpGet, ReadsEachBodyFraming) {
    test::HttpTestServer server;
    server.answer("/length", "hello, world");
    server.raw("/chunked",
               "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
               "5;ext=1\r\nhello\r\n7\r\n, world\r\n0\r\nX-Trailer: y\r\n\r\n");
    server.raw("/close", "HTTP/1.0 200 OK\r\n\r\nuntil the end");
    server.raw("/continue",
               "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    server.raw("/lf", "HTTP/1.1 200 OK\nContent-Length: 3\n\nabcEXTRA");

    for (const auto& [path, body] :
         std::vector<std::pair<std::string, std::string>>{{"/length", "hello, world"},
                                                          {"/chunked", "hello, world"},
                                                          {"/close", "until the end"},
                                                          {"/continue", "ok"},
                                                          {"/lf", "abc"}}) {
        const HttpResult r = httpGet(server.url() + path);
        EXPECT_TRUE(r.ok) << path << ": " << r.error;
        EXPECT_EQ(r.status, 200) << path;
        EXPECT_EQ(r.body, body) << path;
    }
}

TEST(HttpGet, SendsAPlainRequestWithHostAndAgent) {
    test::HttpTestServer server;
    server.answer("/a/b.xml", "x");
    ASSERT_TRUE(httpGet(server.url() + "/a/b.xml").ok);
    ASSERT_EQ(server.requests().size(), 1u);
    const std::string request = server.requests()[0];
    EXPECT_THAT(request, StartsWith("GET /a/b.xml HTTP/1.1\r\n"));
    EXPECT_THAT(request,
                HasSubstr("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"));
    EXPECT_THAT(request, HasSubstr("\r\nUser-Agent: HTTP Generic\r\n"));
}

TEST(HttpGet, ReturnsTheBodyWhateverTheStatus) {
    test::HttpTestServer server;
    server.raw("/gone", "HTTP/1.1 404 Not Found\r\nContent-Length: 7\r\n\r\nmissing");
    const HttpResult r = httpGet(server.url() + "/gone");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.status, 404);
    EXPECT_EQ(r.body, "missing");
    // No body for 204, whatever follows.
    server.raw("/empty", "HTTP/1.1 204 No Content\r\n\r\n");
    EXPECT_EQ(httpGet(server.url() + "/empty").body, "");
}

TEST(HttpGet, FollowsAFewRedirects) {
    test::HttpTestServer server;
    server.raw("/old", "HTTP/1.1 301 Moved\r\nLocation: /dir/new\r\nContent-Length: 0\r\n\r\n");
    server.raw("/dir/new", "HTTP/1.1 302 Found\r\nLocation: final\r\nContent-Length: 0\r\n\r\n");
    server.raw("/dir/final", "HTTP/1.1 307 Temporary\r\nLocation: " + server.url() +
                                 "/target\r\nContent-Length: 0\r\n\r\n");
    server.answer("/target", "arrived");
    const HttpResult r = httpGet(server.url() + "/old");
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body, "arrived");
    EXPECT_EQ(server.requests().size(), 4u);

    server.raw("/loop", "HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n");
    HttpLimits limits;
    limits.maxRedirects = 3;
    const HttpResult loop = httpGet(server.url() + "/loop", limits);
    EXPECT_FALSE(loop.ok);
    EXPECT_THAT(loop.error, HasSubstr("redirects"));

    // A redirect that cannot be followed is an ordinary answer.
    server.raw("/tls",
               "HTTP/1.1 301 Moved\r\nLocation: https://x/\r\nContent-Length: 4\r\n\r\nmove");
    EXPECT_EQ(httpGet(server.url() + "/tls").body, "move");
}

TEST(HttpGet, AClosedPortFailsAtOnce) {
    const auto start = Clock::now();
    const HttpResult r =
        httpGet("http://127.0.0.1:" + std::to_string(test::HttpTestServer::closedPort()) + "/x");
    EXPECT_FALSE(r.ok);
    EXPECT_THAT(r.error, HasSubstr("cannot connect"));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST(HttpGet, AServerThatNeverAnswersTimesOut) {
    test::HttpTestServer server;
    server.hang("/never");
    HttpLimits limits;
    limits.timeout = std::chrono::seconds(1);
    const auto start = Clock::now();
    const HttpResult r = httpGet(server.url() + "/never", limits);
    const auto took = Clock::now() - start;
    EXPECT_FALSE(r.ok);
    EXPECT_THAT(r.error, HasSubstr("timed out"));
    EXPECT_GE(took, std::chrono::milliseconds(900));
    EXPECT_LT(took, std::chrono::seconds(3));
}

TEST(HttpGet, TheTimeOutCoversTheWholeDownloadNotEachRead) {
    test::HttpTestServer server;
    server.trickle("/drip");
    HttpLimits limits;
    limits.timeout = std::chrono::seconds(1);
    const auto start = Clock::now();
    const HttpResult r = httpGet(server.url() + "/drip", limits);
    EXPECT_FALSE(r.ok);
    EXPECT_THAT(r.error, HasSubstr("timed out"));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_FALSE(r.body.empty());
}

TEST(HttpGet, AHostNameIsLookedUpAndEachAddressTried) {
    test::HttpTestServer server;
    server.answer("/x", "by name");
    // localhost may name ::1 first, where nothing listens; 127.0.0.1 is tried next.
    const HttpResult r = httpGet("http://localhost:" + std::to_string(server.port()) + "/x");
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body, "by name");
    EXPECT_FALSE(httpGet("http://no-such-host.invalid/x").ok);
}

TEST(HttpGet, AnEndlessBodyStopsAtTheCap) {
    test::HttpTestServer server;
    server.endless("/stream", false);
    server.endless("/chunks", true);
    HttpLimits limits;
    limits.maxBodyBytes = 300 * 1000;
    for (const std::string path : {"/stream", "/chunks"}) {
        const HttpResult r = httpGet(server.url() + path, limits);
        EXPECT_FALSE(r.ok) << path;
        EXPECT_THAT(r.error, HasSubstr("larger than 300000 bytes")) << path;
        EXPECT_LE(r.body.size(), limits.maxBodyBytes) << path;
    }
}

TEST(HttpGet, ADeclaredLengthOverTheCapIsRefusedUnread) {
    test::HttpTestServer server;
    server.raw("/big", "HTTP/1.1 200 OK\r\nContent-Length: 999999999999\r\n\r\nxyz");
    const HttpResult r = httpGet(server.url() + "/big");
    EXPECT_FALSE(r.ok);
    EXPECT_THAT(r.error, HasSubstr("larger than"));
    EXPECT_EQ(r.body, "");
}

TEST(HttpGet, CutOrMalformedAnswersFail) {
    test::HttpTestServer server;
    server.raw("/short", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
    server.raw("/badchunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nab\r\n");
    server.raw("/cutchunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nab");
    server.raw("/notHttp", "SSH-2.0-OpenSSH\r\n\r\n");
    server.raw("/badlength", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n");
    server.raw("/nothing", "");
    server.raw("/longline", "HTTP/1.1 200 OK\r\nX: " + std::string(100 * 1024, 'a') + "\r\n\r\n");
    for (const std::string path :
         {"/short", "/badchunk", "/cutchunk", "/notHttp", "/badlength", "/nothing", "/longline"}) {
        const HttpResult r = httpGet(server.url() + path);
        EXPECT_FALSE(r.ok) << path;
        EXPECT_FALSE(r.error.empty()) << path;
    }
    // The part that came is kept for the caller to judge.
    EXPECT_EQ(httpGet(server.url() + "/short").body, "only this");
}

}  // namespace
}  // namespace tdv::support
