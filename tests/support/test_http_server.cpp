#include "tests/support/test_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <map>
#include <mutex>
#include <thread>

namespace testsupport {

namespace {

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr int kPollMs = 50;
constexpr auto kHeadTimeout = std::chrono::seconds(10);

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

std::optional<Request> parseHead(std::string_view head) {
    Request req;
    std::size_t eol = head.find("\r\n");
    req.requestLine = std::string(head.substr(0, eol));
    std::string_view line = req.requestLine;
    std::size_t sp1 = line.find(' ');
    std::size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos) return std::nullopt;
    req.method = std::string(line.substr(0, sp1));
    req.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
    req.version = std::string(line.substr(sp2 + 1));
    std::size_t pos = eol + 2;
    while (pos < head.size()) {
        std::size_t end = head.find("\r\n", pos);
        if (end == std::string_view::npos) end = head.size();
        std::string_view h = head.substr(pos, end - pos);
        pos = end + 2;
        if (h.empty()) break;
        std::size_t colon = h.find(':');
        if (colon == std::string_view::npos) continue;
        req.headers.emplace_back(std::string(trim(h.substr(0, colon))),
                                 std::string(trim(h.substr(colon + 1))));
    }
    return req;
}

}  // namespace

std::optional<std::string> Request::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (equalsIgnoreCase(key, name)) return value;
    return std::nullopt;
}

Response Response::ok(std::string body, std::string contentType) {
    Response r;
    r.body = std::move(body);
    r.headers.emplace_back("Content-Type", std::move(contentType));
    return r;
}

Response Response::redirect(std::string location, int status) {
    Response r;
    r.status = status;
    r.reason = status == 301 ? "Moved Permanently" : "Found";
    r.headers.emplace_back("Location", std::move(location));
    r.body = "moved";
    return r;
}

Response Response::generated(std::uint64_t size, std::string pattern) {
    Response r = ok(pattern.empty() ? std::string("x") : std::move(pattern));
    r.generatedSize = size;
    return r;
}

Response Response::withStatus(int code, std::string why) && {
    status = code;
    reason = std::move(why);
    return std::move(*this);
}
Response Response::withHeader(std::string name, std::string value) && {
    headers.emplace_back(std::move(name), std::move(value));
    return std::move(*this);
}
Response Response::withFraming(Framing f) && {
    framing = f;
    return std::move(*this);
}
Response Response::droppingAfter(std::uint64_t bodyBytes) && {
    dropAfter = bodyBytes;
    return std::move(*this);
}
Response Response::resettingAfter(std::uint64_t bodyBytes) && {
    dropAfter = bodyBytes;
    resetOnDrop = true;
    return std::move(*this);
}
Response Response::trickling(std::chrono::milliseconds perByte) && {
    trickle = perByte;
    return std::move(*this);
}
Response Response::stallBeforeResponse(std::chrono::milliseconds d) && {
    stallFor = d;
    stallBeforeHead = true;
    stallAt.reset();
    return std::move(*this);
}
Response Response::stallAfter(std::uint64_t bodyBytes, std::chrono::milliseconds d) && {
    stallFor = d;
    stallBeforeHead = false;
    stallAt = bodyBytes;
    return std::move(*this);
}

struct TestHttpServer::State {
    Fd listener;
    Fd wakeRead, wakeWrite;  // a byte here wakes the accept loop to stop
    std::uint16_t port = 0;
    std::atomic<bool> stopping{false};

    mutable std::mutex mutex;
    std::condition_variable stopped;  // wakes stalls when stopping
    std::map<std::string, Response> routes;
    std::function<Response(const Request&)> fallback;
    std::vector<Request> requests;

    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::list<Connection> connections;  // touched by the accept thread only
    std::thread acceptor;

    void acceptLoop();
    void serve(int fd);
    Response responseFor(const Request& req);
    std::optional<std::string> readHead(int fd);
    bool sendAll(int fd, std::string_view data);
    bool sendBody(int fd, const Response& r);
    bool stall(std::chrono::milliseconds d);  // false when the server stops meanwhile
    void reap(bool all);
};

void TestHttpServer::State::reap(bool all) {
    for (auto it = connections.begin(); it != connections.end();) {
        if (all || it->done->load()) {
            it->thread.join();
            it = connections.erase(it);
        } else {
            ++it;
        }
    }
}

void TestHttpServer::State::acceptLoop() {
    while (!stopping) {
        pollfd fds[2] = {{listener.get(), POLLIN, 0}, {wakeRead.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) break;
        if (!(fds[0].revents & POLLIN)) continue;
        int fd = ::accept(listener.get(), nullptr, nullptr);
        if (fd < 0) continue;
        reap(false);
        auto done = std::make_shared<std::atomic<bool>>(false);
        connections.push_back({std::thread([this, fd, done] {
                                   serve(fd);
                                   ::close(fd);
                                   done->store(true);
                               }),
                               done});
    }
    reap(true);
}

std::optional<std::string> TestHttpServer::State::readHead(int fd) {
    std::string head;
    const auto deadline = std::chrono::steady_clock::now() + kHeadTimeout;
    char buf[4096];
    while (!stopping && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0) continue;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return std::nullopt;
        head.append(buf, static_cast<std::size_t>(n));
        // Like any plain HTTP server, hang up on what cannot start a request
        // line, such as a TLS handshake.
        if (!std::isupper(static_cast<unsigned char>(head[0]))) return std::nullopt;
        std::size_t end = head.find("\r\n\r\n");
        if (end != std::string::npos) return head.substr(0, end + 2);
        if (head.size() > kMaxHead) return std::nullopt;
    }
    return std::nullopt;
}

bool TestHttpServer::State::sendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        if (stopping) return false;
        pollfd p{fd, POLLOUT, 0};
        int ready = ::poll(&p, 1, kPollMs);
        if (ready == 0) continue;
        if (ready < 0 || (p.revents & (POLLERR | POLLHUP))) return false;
        ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool TestHttpServer::State::stall(std::chrono::milliseconds d) {
    std::unique_lock lock(mutex);
    return !stopped.wait_for(lock, d, [this] { return stopping.load(); });
}

bool TestHttpServer::State::sendBody(int fd, const Response& r) {
    const std::uint64_t total = r.bodySize();
    const std::uint64_t end = r.dropAfter ? std::min(*r.dropAfter, total) : total;
    const bool chunked = r.framing == Response::Framing::Chunked;
    const std::uint64_t piece = r.trickle.count() > 0 ? 1
                                : chunked             ? std::max<std::size_t>(r.chunkSize, 1)
                                                      : 64 * 1024;
    std::string buf;
    std::uint64_t sent = 0;
    bool stalled = false;
    for (;;) {
        if (!stalled && r.stallAt && sent >= *r.stallAt) {
            stalled = true;
            if (!stall(r.stallFor)) return false;
        }
        if (sent >= end) break;
        std::uint64_t next = std::min(end, sent + piece);
        if (!stalled && r.stallAt && *r.stallAt > sent) next = std::min(next, *r.stallAt);
        buf.clear();
        for (std::uint64_t i = sent; i < next;) {
            const std::string& p = r.body;
            std::size_t at = r.generatedSize ? static_cast<std::size_t>(i % p.size()) : i;
            std::size_t take =
                static_cast<std::size_t>(std::min<std::uint64_t>(p.size() - at, next - i));
            buf.append(p, at, take);
            i += take;
        }
        if (chunked) {
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", buf.size());
            buf.insert(0, size);
            buf += "\r\n";
        }
        if (!sendAll(fd, buf)) return false;
        sent = next;
        if (r.trickle.count() > 0 && sent < end && !stall(r.trickle)) return false;
    }
    if (end < total) {  // dropped on purpose
        if (r.resetOnDrop) {
            const linger abort{1, 0};  // closing now sends a reset
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        }
        return false;
    }
    return !chunked || sendAll(fd, "0\r\n\r\n");
}

Response TestHttpServer::State::responseFor(const Request& req) {
    std::function<Response(const Request&)> handler;
    {
        std::lock_guard lock(mutex);
        requests.push_back(req);
        auto it = routes.find(req.target);
        if (it == routes.end()) it = routes.find(req.target.substr(0, req.target.find('?')));
        if (it != routes.end()) return it->second;
        handler = fallback;
    }
    if (handler) return handler(req);
    return Response::ok("no route").withStatus(404, "Not Found");
}

void TestHttpServer::State::serve(int fd) {
    std::optional<std::string> head = readHead(fd);
    if (!head) return;
    std::optional<Request> req = parseHead(*head);
    if (!req) return;
    Response r = responseFor(*req);

    if (r.stallBeforeHead && !stall(r.stallFor)) return;
    std::string out = "HTTP/1.1 " + std::to_string(r.status) + " " + r.reason + "\r\n";
    bool lengthGiven = false;
    for (const auto& [name, value] : r.headers) {
        lengthGiven = lengthGiven || equalsIgnoreCase(name, "Content-Length");
        out += name + ": " + value + "\r\n";
    }
    if (r.framing == Response::Framing::ContentLength && !lengthGiven)
        out += "Content-Length: " + std::to_string(r.bodySize()) + "\r\n";
    if (r.framing == Response::Framing::Chunked) out += "Transfer-Encoding: chunked\r\n";
    out += "Connection: close\r\n\r\n";
    if (!sendAll(fd, out) || req->method == "HEAD") return;
    if (sendBody(fd, r)) ::shutdown(fd, SHUT_WR);
}

TestHttpServer::TestHttpServer() : state_(std::make_unique<State>()) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        std::perror("TestHttpServer pipe");
        std::abort();
    }
    state_->wakeRead.reset(fds[0]);
    state_->wakeWrite.reset(fds[1]);
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(s, 64) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        std::perror("TestHttpServer listen");
        std::abort();
    }
    state_->listener.reset(s);
    state_->port = ntohs(addr.sin_port);
    state_->acceptor = std::thread([st = state_.get()] { st->acceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->stopped.notify_all();
    char wake = 1;
    [[maybe_unused]] ssize_t n = ::write(state_->wakeWrite.get(), &wake, 1);
    state_->acceptor.join();
}

std::uint16_t TestHttpServer::port() const {
    return state_->port;
}

std::string TestHttpServer::root() const {
    return "http://127.0.0.1:" + std::to_string(state_->port) + "/";
}

std::string TestHttpServer::url(std::string_view path) const {
    if (!path.empty() && path.front() == '/') path.remove_prefix(1);
    return root() + std::string(path);
}

void TestHttpServer::route(std::string path, Response response) {
    std::lock_guard lock(state_->mutex);
    state_->routes.insert_or_assign(std::move(path), std::move(response));
}

void TestHttpServer::fallback(std::function<Response(const Request&)> handler) {
    std::lock_guard lock(state_->mutex);
    state_->fallback = std::move(handler);
}

std::vector<Request> TestHttpServer::requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

std::size_t TestHttpServer::requestCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests.size();
}

void TestHttpServer::clearRequests() {
    std::lock_guard lock(state_->mutex);
    state_->requests.clear();
}

}  // namespace testsupport
