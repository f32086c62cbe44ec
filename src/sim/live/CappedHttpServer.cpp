#include "sim/live/CappedHttpServer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace {

// Reads are served from a buffer of this size, as the library's own stream does,
// since its line reader takes one byte at a time.
constexpr std::size_t kReadBuffer = 4096;
// Waits are cut into slices this long, so that a server being stopped is noticed.
constexpr int kWaitSliceMs = 100;

int toMs(time_t sec, time_t usec)
{
    return static_cast<int>(sec * 1000 + usec / 1000);
}

// Whether `sock` becomes ready for `events` within `ms`.
bool waitFor(int sock, short events, int ms)
{
    pollfd p{sock, events, 0};
    int r = 0;
    do {
        r = ::poll(&p, 1, ms);
    } while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & (events | POLLHUP | POLLERR)) != 0;
}

void addressText(const sockaddr_storage& a, std::string& ip, int& port)
{
    char text[INET6_ADDRSTRLEN] = "";
    if (a.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&a);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    } else if (a.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&a);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
    }
    ip = text;
}

// A connection's socket with the library's timeouts, reading no more than its
// budget for the current request.
class BudgetStream : public httplib::Stream {
public:
    BudgetStream(socket_t sock, int readMs, int writeMs) : mSock(sock), mReadMs(readMs), mWriteMs(writeMs) {}

    void newRequest(std::size_t budget) { mBudget = budget; }
    bool hasBuffered() const { return mStart < mEnd; }

    bool is_readable() const override { return hasBuffered() || (mBudget > 0 && waitFor(mSock, POLLIN, mReadMs)); }
    bool is_writable() const override { return waitFor(mSock, POLLOUT, mWriteMs); }

    ssize_t read(char* ptr, size_t size) override
    {
        if (!hasBuffered()) {
            if (mBudget == 0 || !waitFor(mSock, POLLIN, mReadMs)) {
                return -1;
            }
            ssize_t n = 0;
            do {
                n = ::recv(mSock, mBuffer, std::min(sizeof mBuffer, mBudget), 0);
            } while (n < 0 && errno == EINTR);
            if (n <= 0) {
                return n;
            }
            mBudget -= static_cast<std::size_t>(n);
            mStart = 0;
            mEnd = static_cast<std::size_t>(n);
        }
        const std::size_t n = std::min(size, mEnd - mStart);
        std::copy(mBuffer + mStart, mBuffer + mStart + n, ptr);
        mStart += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        if (!is_writable()) {
            return -1;
        }
        ssize_t n = 0;
        do {
            n = ::send(mSock, ptr, size, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        return n;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        sockaddr_storage a{};
        socklen_t len = sizeof a;
        if (::getpeername(mSock, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
            addressText(a, ip, port);
        }
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        sockaddr_storage a{};
        socklen_t len = sizeof a;
        if (::getsockname(mSock, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
            addressText(a, ip, port);
        }
    }

    socket_t socket() const override { return mSock; }

private:
    socket_t mSock;
    int mReadMs;
    int mWriteMs;
    std::size_t mBudget = 0;
    char mBuffer[kReadBuffer];
    std::size_t mStart = 0;
    std::size_t mEnd = 0;
};

}  // namespace

bool CappedHttpServer::process_and_close_socket(socket_t sock)
{
    // A send that would block on a peer that does not read gives up after the write timeout too.
    timeval sendTimeout{write_timeout_sec_, static_cast<suseconds_t>(write_timeout_usec_)};
    ::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
    BudgetStream stream(sock, toMs(read_timeout_sec_, read_timeout_usec_), toMs(write_timeout_sec_, write_timeout_usec_));
    const auto keepAlive = std::chrono::seconds(keep_alive_timeout_sec_);
    bool ok = false;
    for (std::size_t left = keep_alive_max_count_; left > 0 && svr_sock_ != INVALID_SOCKET; --left) {
        // The next request, or the end of a kept-alive connection.
        const auto deadline = std::chrono::steady_clock::now() + keepAlive;
        bool ready = stream.hasBuffered();
        while (!ready && svr_sock_ != INVALID_SOCKET && std::chrono::steady_clock::now() < deadline) {
            ready = waitFor(sock, POLLIN, kWaitSliceMs);
        }
        if (!ready) {
            break;
        }
        stream.newRequest(mRequestBytes);
        bool closed = false;
        ok = process_request(stream, left == 1, closed, nullptr);
        if (!ok || closed) {
            break;
        }
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
}
