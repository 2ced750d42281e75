// A scriptable HTTP server on 127.0.0.1 for tests.
//
//   testsupport::TestHttpServer server;             // listening on an ephemeral port
//   server.route("/W1.htm", Response::ok(page));
//   server.route("/gone", Response::ok("oops").withStatus(404, "Not Found"));
//   server.route("/slow", Response::ok(page).stallAfter(10, std::chrono::seconds(5)));
//   fetch(server.url("/W1.htm"));
//   EXPECT_EQ(server.requests().at(0).requestLine, "GET /W1.htm HTTP/1.0");
//
// Each connection carries one request and is closed after the response (the
// server sends "Connection: close"). Paths without a route get 404 "no route".
// Routes match the request target exactly first, then its path without the
// query. Every request is recorded as it arrives, before it is answered.
// Stalls end early when the server stops; the destructor stops the server and
// joins every thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

using Header = std::pair<std::string, std::string>;

struct Request {
    std::string requestLine;  // "GET /W1.htm HTTP/1.0"
    std::string method, target, version;
    std::vector<Header> headers;  // in order, as sent
    // Value of the first header with this name (case-insensitive), or nothing.
    std::optional<std::string> header(std::string_view name) const;
};

struct Response {
    enum class Framing {
        ContentLength,   // "Content-Length" announces the full body
        CloseDelimited,  // no length: the body ends when the connection closes
        Chunked,         // "Transfer-Encoding: chunked" in chunks of chunkSize
    };

    int status = 200;
    std::string reason = "OK";
    std::vector<Header> headers;  // a "Content-Length" given here replaces the computed one
    std::string body;
    // When set, the body is this many bytes of `body` repeated (generated while
    // sending, never stored); `body` must then not be empty.
    std::optional<std::uint64_t> generatedSize;
    Framing framing = Framing::ContentLength;
    std::size_t chunkSize = 4096;
    // Close the connection after this many body bytes (the announced length
    // stays that of the whole body); with resetOnDrop, reset it instead.
    std::optional<std::uint64_t> dropAfter;
    bool resetOnDrop = false;
    // When set, the body goes out one byte at a time, this long apart.
    std::chrono::milliseconds trickle{0};
    // Send nothing for stallFor, before the status line (stallAt empty) or
    // after stallAt body bytes; then carry on.
    std::chrono::milliseconds stallFor{0};
    std::optional<std::uint64_t> stallAt;
    bool stallBeforeHead = false;

    static Response ok(std::string body, std::string contentType = "text/html");
    static Response redirect(std::string location, int status = 302);
    static Response generated(std::uint64_t size, std::string pattern);

    Response withStatus(int code, std::string why) &&;
    Response withHeader(std::string name, std::string value) &&;
    Response withFraming(Framing f) &&;
    Response droppingAfter(std::uint64_t bodyBytes) &&;
    Response resettingAfter(std::uint64_t bodyBytes) &&;
    Response trickling(std::chrono::milliseconds perByte) &&;
    Response stallBeforeResponse(std::chrono::milliseconds d) &&;
    Response stallAfter(std::uint64_t bodyBytes, std::chrono::milliseconds d) &&;

    std::uint64_t bodySize() const { return generatedSize ? *generatedSize : body.size(); }
};

class TestHttpServer {
  public:
    TestHttpServer();  // aborts the test program when no socket can be opened
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    std::uint16_t port() const;
    std::string root() const;                      // "http://127.0.0.1:PORT/"
    std::string url(std::string_view path) const;  // root() + path without its leading '/'

    void route(std::string path, Response response);
    // Computes the response for requests no route answers (replaces the 404).
    void fallback(std::function<Response(const Request&)> handler);

    std::vector<Request> requests() const;  // every request so far, in arrival order
    std::size_t requestCount() const;
    void clearRequests();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace testsupport
