// Helpers of the server tests: a fixed time zone, GBK-aware search, and a raw
// TCP client for 127.0.0.1 with bounded waits.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "server/util/civil_time.h"

// The process's local time zone, as a POSIX TZ string (no tz database needed).
// The server's zone is never this one unless asked for: tests run under UTC
// and check pages on Beijing time.
inline void useZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
}
inline constexpr const char* kBeijing = "CST-8";
inline constexpr const char* kUtc = "UTC0";

// Zones of the tz database.
inline const epg::Zone& beijing() {
    static const epg::Zone zone = epg::Zone::named("Asia/Shanghai").value();
    return zone;
}
inline const epg::Zone& berlin() {
    static const epg::Zone zone = epg::Zone::named("Europe/Berlin").value();
    return zone;
}

// The bytes of a gzip stream, or "<not gzip>" when it is not one whole stream.
inline std::string gunzip(std::string_view gz) {
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) return "<not gzip>";
    std::string out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
    z.avail_in = static_cast<uInt>(gz.size());
    int rc = Z_OK;
    char buf[65536];
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buf, sizeof buf - z.avail_out);
    }
    bool whole = rc == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return whole ? out : "<not gzip>";
}

// Whether needle occurs in the GBK text at a character boundary.
inline bool gbkContains(std::string_view text, std::string_view needle) {
    for (std::size_t i = 0; i + needle.size() <= text.size();) {
        if (text.compare(i, needle.size(), needle) == 0) return true;
        auto b = static_cast<unsigned char>(text[i]);
        i += (b >= 0x81 && b <= 0xFE && i + 1 < text.size()) ? 2 : 1;
    }
    return false;
}

class RawClient {
  public:
    explicit RawClient(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    bool send(std::string_view data) {
        while (!data.empty()) {
            ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    // Reads until the peer closes or `wait` passes without data; true when closed.
    bool readUntilClosed(std::string& out,
                         std::chrono::milliseconds wait = std::chrono::milliseconds(5000)) {
        char buf[16384];
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(wait.count())) != 1) return false;
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) return true;
            out.append(buf, static_cast<std::size_t>(n));
        }
    }
    // Reads one response with a Content-Length body (or none for HEAD).
    bool readResponse(std::string& out, bool head = false,
                      std::chrono::milliseconds wait = std::chrono::milliseconds(5000)) {
        char buf[16384];
        for (;;) {
            auto end = pending_.find("\r\n\r\n");
            if (end != std::string::npos) {
                std::size_t length = 0;
                auto cl = pending_.find("Content-Length: ");
                if (cl != std::string::npos && cl < end)
                    length = std::strtoul(pending_.c_str() + cl + 16, nullptr, 10);
                std::size_t total = end + 4 + (head ? 0 : length);
                if (pending_.size() >= total) {
                    out = pending_.substr(0, total);
                    pending_.erase(0, total);
                    return true;
                }
            }
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(wait.count())) != 1) return false;
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) return false;
            pending_.append(buf, static_cast<std::size_t>(n));
        }
    }

  private:
    int fd_ = -1;
    bool connected_ = false;
    std::string pending_;
};

inline int statusOf(std::string_view response) {
    if (response.size() < 12 || response.substr(0, 5) != "HTTP/") return 0;
    return std::atoi(std::string(response.substr(9, 3)).c_str());
}
