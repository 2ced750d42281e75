// Floods of cheap requests on keep-alive connections, run by
// tests/bench/redteam.sh (checks `names` and `onecpu`), while honest clients
// on chosen CPUs ask for their answers at a steady pace:
//   names   connections that ask DIYP answers for channels no source has,
//           every name new, at --rate requests a second in all
//   pages   connections that ask day pages as fast as the server answers
//           (a closed loop, as wrk does)
// Every attacking connection is opened from one thread, pinned to
// --attacker-cpu when given, so the kernel sees them all arrive on that CPU.
// Prints the honest clients' latency per CPU and the CPU time each of the
// server's threads (--pid) spent meanwhile. Only 127.0.0.1 is ever contacted.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <dirent.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Options {
    int port = 0;
    int pid = 0;
    std::string attack = "names";  // names, pages, none
    int attackers = 8;
    int rate = 15000;  // names: requests a second in all; 0: as fast as answered
    int attackerCpu = -1;
    std::vector<int> honestCpus{0, 1};
    int gapMs = 10;
    int seconds = 20;
    int warmupSeconds = 2;
    std::string date = "2026-12-09";
};

[[noreturn]] void usage(const char* why) {
    std::fprintf(stderr,
                 "flood_attack: %s\nusage: flood_attack --port P [--pid PID] [--attack "
                 "names|pages|none] [--attackers N] [--rate R] [--attacker-cpu C] "
                 "[--honest-cpus C,C...] [--gap-ms MS] [--seconds S] [--warmup S] [--date D]\n",
                 why);
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) usage(("a value is missing after " + a).c_str());
        std::string v = argv[++i];
        auto number = [&](const std::string& text) {
            char* end = nullptr;
            long n = std::strtol(text.c_str(), &end, 10);
            if (*end || text.empty() || n < -1 || n > 10'000'000)
                usage(("not a number: " + a + ' ' + v).c_str());
            return static_cast<int>(n);
        };
        if (a == "--port")
            o.port = number(v);
        else if (a == "--pid")
            o.pid = number(v);
        else if (a == "--attack")
            o.attack = v;
        else if (a == "--attackers")
            o.attackers = number(v);
        else if (a == "--rate")
            o.rate = number(v);
        else if (a == "--attacker-cpu")
            o.attackerCpu = number(v);
        else if (a == "--honest-cpus") {
            o.honestCpus.clear();
            std::stringstream s(v);
            for (std::string cpu; std::getline(s, cpu, ',');) o.honestCpus.push_back(number(cpu));
        } else if (a == "--gap-ms")
            o.gapMs = number(v);
        else if (a == "--seconds")
            o.seconds = number(v);
        else if (a == "--warmup")
            o.warmupSeconds = number(v);
        else if (a == "--date")
            o.date = v;
        else
            usage(("unknown option " + a).c_str());
    }
    if (o.port <= 0 || o.port > 65535) usage("--port is required");
    if (o.attack != "names" && o.attack != "pages" && o.attack != "none")
        usage("--attack is names, pages or none");
    return o;
}

void pinTo(int cpu) {
    if (cpu < 0) return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (pthread_setaffinity_np(pthread_self(), sizeof one, &one) != 0)
        std::fprintf(stderr, "flood_attack: cannot pin a thread to CPU %d\n", cpu);
}

// Connected (on loopback at once), then made non-blocking when asked.
int connectTo(int port, bool nonBlocking) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) < 0) {
        close(fd);
        return -1;
    }
    if (nonBlocking) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

// Takes whole responses off the front of `in`; how many it took, or -1 for
// one that is not a 200 or 304 with a length.
int takeResponses(std::string& in) {
    int taken = 0;
    for (;;) {
        auto end = in.find("\r\n\r\n");
        if (end == std::string::npos) return taken;
        if (in.compare(0, 12, "HTTP/1.1 200") != 0 && in.compare(0, 12, "HTTP/1.1 304") != 0)
            return -1;
        std::size_t length = 0;
        if (auto at = in.find("Content-Length: "); at != std::string::npos && at < end)
            length = std::strtoul(in.c_str() + at + 16, nullptr, 10);
        if (in.size() < end + 4 + length) return taken;
        in.erase(0, end + 4 + length);
        ++taken;
    }
}

// The attacking connections, on one epoll thread: each sends a request,
// reads its answer whole, and sends the next; `names` waits for its share
// of the rate first.
class Attack {
  public:
    explicit Attack(const Options& o) : o_(o) { epoll_ = epoll_create1(EPOLL_CLOEXEC); }
    ~Attack() {
        for (auto& [fd, c] : conns_) close(fd);
        close(epoll_);
    }

    void run(const std::atomic<bool>& stop) {
        pinTo(o_.attackerCpu);
        for (int i = 0; i < o_.attackers; ++i) open();
        epoll_event events[256];
        auto last = Clock::now();
        double tokens = 0;
        while (!stop) {
            int n = epoll_wait(epoll_, events, 256, 1);
            for (int i = 0; i < n; ++i) {
                int fd = events[i].data.fd;
                auto it = conns_.find(fd);
                if (it == conns_.end()) continue;
                if (events[i].events & (EPOLLERR | EPOLLHUP | EPOLLRDHUP)) {
                    reopen(fd);
                    continue;
                }
                Conn& c = it->second;
                char buf[65536];
                ssize_t got;
                while ((got = recv(fd, buf, sizeof buf, 0)) > 0)
                    c.in.append(buf, static_cast<std::size_t>(got));
                if (got == 0 || (got < 0 && errno != EAGAIN)) {
                    reopen(fd);
                    continue;
                }
                int done = takeResponses(c.in);
                if (done < 0) {
                    ++refused;
                    reopen(fd);
                    continue;
                }
                if (done > 0) {
                    answered += done;
                    c.waiting = false;
                    if (o_.attack == "pages" || o_.rate == 0) sendNext(fd, c);
                }
            }
            if (o_.attack == "names" && o_.rate > 0) {
                auto now = Clock::now();
                tokens += std::chrono::duration<double>(now - last).count() * o_.rate;
                last = now;
                tokens = std::min(tokens, static_cast<double>(o_.attackers));
                for (auto& [fd, c] : conns_) {
                    if (tokens < 1) break;
                    if (c.waiting) continue;
                    sendNext(fd, c);
                    tokens -= 1;
                }
            }
        }
    }

    std::atomic<long> answered{0};
    std::atomic<long> refused{0};

  private:
    struct Conn {
        std::string in;
        bool waiting = false;
    };

    void open() {
        int fd = connectTo(o_.port, true);
        if (fd < 0) return;
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP;
        ev.data.fd = fd;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
        Conn& c = conns_[fd];
        if (o_.attack == "pages" || o_.rate == 0) sendNext(fd, c);
    }

    void reopen(int fd) {
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        close(fd);
        conns_.erase(fd);
        open();
    }

    void sendNext(int fd, Conn& c) {
        std::string request;
        if (o_.attack == "names") {
            request = "GET /?ch=nochannel-" + std::to_string(counter_++) + "&date=" + o_.date +
                      " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        } else {
            static const char* const kPages[] = {"TV_1/Channel_1", "TV_1/Channel_10",
                                                 "TV_1/Channel_11", "TV_1/Channel_12"};
            request = std::string("GET /programys/") + kPages[counter_ % 4] + "/W" +
                      std::to_string(1 + counter_ / 4 % 7) +
                      ".htm HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
            ++counter_;
        }
        // A request is far smaller than any socket buffer: it goes whole or
        // the connection is broken (and found so by epoll).
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        c.waiting = true;
    }

    const Options& o_;
    int epoll_ = -1;
    long counter_ = 0;
    std::unordered_map<int, Conn> conns_;
};

// One honest client: a keep-alive connection from its CPU asking the DIYP
// answers of CCTV1..CCTV15 over the week in turn, one every gap.
struct Honest {
    int cpu;
    std::vector<double> ms;
    long failed = 0;
};

void honestRun(const Options& o, Honest& h, const std::atomic<bool>& stop) {
    pinTo(h.cpu);
    std::vector<std::string> targets;
    for (int d = 7; d <= 13; ++d)
        for (int ch = 1; ch <= 15; ++ch)
            targets.push_back("/?ch=CCTV" + std::to_string(ch) + "&date=2026-12-" +
                              (d < 10 ? "0" : "") + std::to_string(d));
    int fd = -1;
    std::string in;
    for (std::size_t i = 0; !stop; ++i) {
        if (fd < 0) {
            fd = connectTo(o.port, false);
            in.clear();
            if (fd < 0) {
                ++h.failed;
                std::this_thread::sleep_for(std::chrono::milliseconds(o.gapMs));
                continue;
            }
        }
        std::string request =
            "GET " + targets[i % targets.size()] + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        auto t0 = Clock::now();
        bool ok = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                  static_cast<ssize_t>(request.size());
        int done = 0;
        char buf[65536];
        while (ok && done == 0) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 5000) != 1) {
                ok = false;
                break;
            }
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                ok = false;
                break;
            }
            in.append(buf, static_cast<std::size_t>(n));
            done = takeResponses(in);
            if (done < 0) ok = false;
        }
        if (ok) {
            h.ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        } else {
            ++h.failed;
            close(fd);
            fd = -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(o.gapMs));
    }
    if (fd >= 0) close(fd);
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

// CPU seconds (user and system) of each thread of `pid`, by thread id.
std::map<int, double> threadCpu(int pid) {
    std::map<int, double> out;
    std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* d = opendir(dir.c_str());
    if (!d) return out;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream in(dir + "/" + e->d_name + "/stat");
        std::string line;
        std::getline(in, line);
        auto paren = line.rfind(')');
        if (paren == std::string::npos) continue;
        std::stringstream s(line.substr(paren + 2));
        std::string field;
        double utime = 0, stime = 0;
        for (int i = 3; s >> field; ++i) {
            if (i == 14) utime = std::atof(field.c_str());
            if (i == 15) {
                stime = std::atof(field.c_str());
                break;
            }
        }
        out[std::atoi(e->d_name)] = (utime + stime) / tick;
    }
    closedir(d);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    Options o = parse(argc, argv);
    std::atomic<bool> stop{false};
    Attack attack(o);
    std::thread attacker;
    if (o.attack != "none") attacker = std::thread([&] { attack.run(stop); });
    std::this_thread::sleep_for(std::chrono::seconds(o.warmupSeconds));

    auto cpuBefore = o.pid > 0 ? threadCpu(o.pid) : std::map<int, double>{};
    long answeredBefore = attack.answered;
    auto t0 = Clock::now();
    std::atomic<bool> honestStop{false};
    std::vector<Honest> honest;
    for (int cpu : o.honestCpus) honest.push_back({cpu, {}, 0});
    std::vector<std::thread> threads;
    for (auto& h : honest) threads.emplace_back([&] { honestRun(o, h, honestStop); });
    std::this_thread::sleep_for(std::chrono::seconds(o.seconds));
    honestStop = true;
    for (auto& t : threads) t.join();
    double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
    auto cpuAfter = o.pid > 0 ? threadCpu(o.pid) : std::map<int, double>{};
    long attackAnswered = attack.answered - answeredBefore;
    stop = true;
    if (attacker.joinable()) attacker.join();

    std::printf("attack: %s, %d connections from CPU %d, %.0f answers/s (%ld refused)\n",
                o.attack.c_str(), o.attackers, o.attackerCpu,
                static_cast<double>(attackAnswered) / elapsed, attack.refused.load());
    for (const auto& h : honest) {
        double p50 = percentile(h.ms, 0.5), p99 = percentile(h.ms, 0.99),
               max = h.ms.empty() ? 0 : *std::max_element(h.ms.begin(), h.ms.end());
        std::printf(
            "honest on CPU %d: %zu answered, %ld failed, p50 %.2f ms, p99 %.2f ms, max "
            "%.2f ms\n",
            h.cpu, h.ms.size(), h.failed, p50, p99, max);
        std::printf(
            "RESULT honest cpu=%d answered=%zu failed=%ld p50_ms=%.2f p99_ms=%.2f "
            "max_ms=%.2f\n",
            h.cpu, h.ms.size(), h.failed, p50, p99, max);
    }
    if (o.pid > 0) {
        std::vector<std::pair<double, int>> spent;
        double total = 0;
        for (auto& [tid, after] : cpuAfter) {
            double d = after - cpuBefore[tid];
            total += d;
            spent.push_back({d, tid});
        }
        std::sort(spent.rbegin(), spent.rend());
        std::printf("server CPU over %.1f s: %.2f s (%.0f %% of one CPU); busiest threads:",
                    elapsed, total, 100 * total / elapsed);
        for (std::size_t i = 0; i < spent.size() && i < 3; ++i)
            std::printf(" %.2f s", spent[i].first);
        std::printf("\nRESULT server cpu_s=%.2f top_thread_s=%.2f second_thread_s=%.2f\n", total,
                    spent.empty() ? 0 : spent[0].first, spent.size() < 2 ? 0 : spent[1].first);
    }
    return 0;
}
