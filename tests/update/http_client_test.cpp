// Both HTTP backends (libcurl natively, WinHTTP under Wine) against a real
// server on 127.0.0.1.

#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "update/http_client.h"

#include <gtest/gtest.h>

#include <atomic>

namespace zelmar {
namespace {

using testing::HttpTestServer;
using Kind = UpdateHTTPError::Kind;

std::string bytesOf(std::size_t n)
{
    std::string body(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        body[i] = static_cast<char>('a' + i % 26);
    return body;
}

struct Rig {
    Rig()
    {
        server.route("/body", [](auto& c) { c.respond(200, bytesOf(200'000)); });
        server.route("/empty", [](auto& c) { c.respond(200, ""); });
        server.route(
            "/nolength", [](auto& c) { c.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + bytesOf(150'000)); });
        server.route("/short", [](auto& c) {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\n" + bytesOf(500));
        });
        server.route("/404", [](auto& c) { c.respond(404, "missing"); });
        server.route("/500", [](auto& c) { c.respond(500, "broken"); });
        server.route("/redirect", [this](auto& c) { c.respond(302, "", "Location: " + server.url("/body") + "\r\n"); });
        server.route("/slow", [](auto& c) {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\nab");
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            c.send("cdefghij");
        });
        server.route("/huge", [](auto& c) {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: 2000000\r\nConnection: close\r\n\r\n" + bytesOf(10));
        });
        server.route("/grow", [](auto& c) {
            c.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
            for (int i = 0; i < 40 && c.send(bytesOf(65'536)); ++i) { }
        });
    }
    HttpTestServer server;
    PlatformHTTPClient client { "ZELMAR-DMM5174K/1.0.0" };
};

TEST(UpdateHTTPClient, GetsBodiesWithAndWithoutLength)
{
    Rig rig;
    const auto body = rig.client.get(rig.server.url("/body"), 10, 1'048'576);
    ASSERT_TRUE(body) << body.error().description();
    EXPECT_EQ(std::string(body->begin(), body->end()), bytesOf(200'000));
    const std::string request = rig.server.lastRequest();
    EXPECT_NE(request.find("GET /body HTTP/1.1"), std::string::npos);
    EXPECT_NE(request.find("User-Agent: ZELMAR-DMM5174K/1.0.0"), std::string::npos) << request;
    EXPECT_NE(request.find("Cache-Control: no-cache"), std::string::npos);

    const auto noLength = rig.client.get(rig.server.url("/nolength"), 10, 1'048'576);
    ASSERT_TRUE(noLength) << noLength.error().description();
    EXPECT_EQ(noLength->size(), 150'000u);
    const auto empty = rig.client.get(rig.server.url("/empty"), 10, 10);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    const auto redirected = rig.client.get(rig.server.url("/redirect"), 10, 1'048'576);
    ASSERT_TRUE(redirected) << redirected.error().description();
    EXPECT_EQ(redirected->size(), 200'000u);
}

TEST(UpdateHTTPClient, FailuresAreTypedErrors)
{
    Rig rig;
    EXPECT_EQ(rig.client.get(rig.server.url("/404"), 10, 1000).error(), UpdateHTTPError::httpStatus(404));
    EXPECT_EQ(rig.client.get(rig.server.url("/500"), 10, 1000).error(), UpdateHTTPError::httpStatus(500));
    EXPECT_EQ(rig.client.get(rig.server.url("/short"), 10, 1'048'576).error(), UpdateHTTPError::network(12030));
    EXPECT_EQ(rig.client.get(rig.server.url("/huge"), 10, 1'048'576).error(), UpdateHTTPError::tooLarge());
    EXPECT_EQ(rig.client.get(rig.server.url("/grow"), 10, 1'048'576).error(), UpdateHTTPError::tooLarge());
    EXPECT_EQ(rig.client.get(rig.server.url("/slow"), 1, 1000).error(), UpdateHTTPError::network(12002));
    EXPECT_EQ(rig.client.get("ftp://127.0.0.1/x", 10, 1000).error(), UpdateHTTPError::network(12006));
    // Nothing listens on port 1.
    const auto refused = rig.client.get("http://127.0.0.1:1/", 5, 1000);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, Kind::network);
}

TEST(UpdateHTTPClient, DownloadsStreamToAFileAndFailuresLeaveNone)
{
    Rig rig;
    testing::TempDir dir;
    const auto file = dir / "setup.exe";
    std::vector<std::pair<std::int64_t, std::optional<std::int64_t>>> progress;
    const auto done = rig.client.download(
        rig.server.url("/body"), file, 10, [&](std::int64_t received, std::optional<std::int64_t> expected) {
            progress.emplace_back(received, expected);
            return true;
        });
    ASSERT_TRUE(done) << done.error().description();
    EXPECT_EQ(testing::readFile(file), bytesOf(200'000));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().first, 200'000);
    EXPECT_EQ(progress.back().second, 200'000);

    const auto failed = rig.client.download(rig.server.url("/short"), dir / "short.exe", 10, {});
    EXPECT_EQ(failed.error(), UpdateHTTPError::network(12030));
    EXPECT_FALSE(std::filesystem::exists(dir / "short.exe"));

    // A cancel from the progress handler ends the transfer at that chunk.
    int calls = 0;
    const auto cancelled = rig.client.download(rig.server.url("/grow"), dir / "grow.exe", 10,
        [&](std::int64_t received, std::optional<std::int64_t> expected) {
            EXPECT_FALSE(expected);
            ++calls;
            return received < 100'000;
        });
    EXPECT_EQ(cancelled.error(), UpdateHTTPError::cancelled());
    EXPECT_FALSE(std::filesystem::exists(dir / "grow.exe"));
    EXPECT_LT(calls, 10);

    EXPECT_EQ(
        rig.client.download(rig.server.url("/404"), dir / "404.exe", 10, {}).error(), UpdateHTTPError::httpStatus(404));
    EXPECT_FALSE(std::filesystem::exists(dir / "404.exe"));
}

TEST(UpdateHTTPClient, TimeoutsAndTexts)
{
    EXPECT_EQ(PlatformHTTPClient::timeoutMilliseconds(0), 100);
    EXPECT_EQ(PlatformHTTPClient::timeoutMilliseconds(0.1), 100);
    EXPECT_EQ(PlatformHTTPClient::timeoutMilliseconds(2.5), 2500);
    EXPECT_EQ(PlatformHTTPClient::timeoutMilliseconds(7200), 3'600'000);
    EXPECT_EQ(UpdateHTTPError::network(12002).description(), "網路錯誤：連線逾時（代碼 12002）");
    EXPECT_EQ(UpdateHTTPError::network(12157).description(), "網路錯誤：安全連線（TLS／憑證）失敗（代碼 12157）");
    EXPECT_EQ(UpdateHTTPError::network(1).description(), "網路錯誤：未分類的網路錯誤（代碼 1）");
    EXPECT_EQ(UpdateHTTPError::httpStatus(503).description(), "伺服器回應 HTTP 503");
    EXPECT_EQ(UpdateHTTPError::sizeMismatch(10, 9).description(), "檔案大小不符（預期 10 位元組，實際 9 位元組）");
    EXPECT_EQ(UpdateHTTPError::io("x").description(), "檔案錯誤：x");
    EXPECT_EQ(UpdateHTTPError::tooLarge().description(), "回應內容超過允許的大小上限");
    EXPECT_EQ(UpdateHTTPError::cancelled().description(), "已取消");
    EXPECT_EQ(UpdateHTTPError::checksumMismatch().description(), "檔案 SHA-256 雜湊不符");
}

TEST(UpdateHTTPClient, AnErrorBodyIsNeverReadOn)
{
    // A 500 that streams for ever: the status is the answer, at once.
    HttpTestServer server;
    std::atomic<std::size_t> sent { 0 };
    server.route("/endless-error", [&](auto& c) {
        if (!c.send("HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n\r\n"))
            return;
        const std::string chunk(65'536, 'e');
        for (int i = 0; i < 1600 && c.send(chunk); ++i)
            sent += chunk.size();
    });
    PlatformHTTPClient client("test");
    const auto got = client.get(server.url("/endless-error"), 10, 1'048'576);
    ASSERT_FALSE(got);
    EXPECT_EQ(got.error(), UpdateHTTPError::httpStatus(500));
    EXPECT_LT(sent.load(), std::size_t { 32 } << 20);
}

TEST(HTTPRules, RedirectsNeverGoFromHttpsToHttp)
{
    struct Case {
        const char* from;
        const char* to;
        bool follows;
    };
    for (const Case& c : std::initializer_list<Case> {
             { "https://a.example/x", "https://b.example/y", true },
             { "http://a.example/x", "https://b.example/y", true },
             { "http://a.example/x", "http://b.example/y", true },
             { "https://a.example/x", "http://b.example/y", false },
             { "HTTPS://a.example/x", "Http://b.example/y", false },
             { "https://a.example/x", "HTTPS://b.example/y", true },
             { "https://a.example/x", "ftp://b.example/y", false },
             { "http://a.example/x", "file:///etc/passwd", false },
             { "http://a.example/x", "/relative", false },
             { "https://a.example/x", "", false },
         })
        EXPECT_EQ(redirectAllowed(c.from, c.to), c.follows) << c.from << " -> " << c.to;
}

TEST(HTTPRules, ContentLengthIsDigitsThatFit)
{
    EXPECT_EQ(parseContentLength("0"), 0);
    EXPECT_EQ(parseContentLength("300000"), 300'000);
    EXPECT_EQ(parseContentLength("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(parseContentLength("9223372036854775808"), -1); // would wrap negative
    EXPECT_EQ(parseContentLength("18446744073709551916"), -1); // would wrap to 300
    EXPECT_EQ(parseContentLength(""), -1);
    EXPECT_EQ(parseContentLength("-1"), -1);
    EXPECT_EQ(parseContentLength("12 "), -1);
    EXPECT_EQ(parseContentLength("1e3"), -1);
}

} // namespace
} // namespace zelmar
