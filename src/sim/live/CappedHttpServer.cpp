#include "sim/live/CappedHttpServer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Reads are served from a buffer of this size, as the library's own stream does,
// since its line reader takes one byte at a time.
constexpr std::size_t kReadBuffer = 4096;
// Waits are cut into slices this long, so that a server being stopped is noticed.
constexpr milliseconds kWaitSlice{100};

milliseconds toMs(time_t sec, time_t usec)
{
    return milliseconds(sec * 1000 + usec / 1000);
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

// Marks the requests of a connection served by a reserved worker.
constexpr const char* kReserveHeader = "X-Served-From-Reserve";

std::string peerAddress(int sock)
{
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    std::string ip;
    int port = 0;
    if (::getpeername(sock, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        addressText(a, ip, port);
    }
    return ip;
}

// A connection's socket, reading no more than its budget for the current
// request and never waiting past the limits or the server's stop.
class LimitedStream : public httplib::Stream {
public:
    LimitedStream(socket_t sock, const std::atomic<socket_t>& serverSocket, const HttpLimits& limits,
                  milliseconds readTimeout, milliseconds writeTimeout)
        : mSock(sock), mServerSocket(serverSocket), mLimits(limits), mReadTimeout(readTimeout),
          mWriteTimeout(writeTimeout)
    {
    }

    // False once the connection has had its time: no further request is read.
    bool newRequest()
    {
        const auto now = Clock::now();
        if (now >= mConnectionDeadline) {
            return false;
        }
        mBudget = mLimits.requestBytes;
        mRequestDeadline = std::min(now + mLimits.requestTime, mConnectionDeadline);
        mWritten = 0;
        mWriteWaited = Clock::duration::zero();
        return true;
    }
    Clock::time_point connectionDeadline() const { return mConnectionDeadline; }
    bool hasBuffered() const { return mStart < mEnd; }
    bool stopping() const { return mServerSocket == INVALID_SOCKET; }

    // Whether the socket becomes ready for `events` before `deadline`, in slices.
    bool waitUntil(short events, Clock::time_point deadline) const
    {
        while (!stopping()) {
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return false;
            }
            if (waitFor(mSock, events, static_cast<int>(std::min(left, kWaitSlice).count()))) {
                return true;
            }
        }
        return false;
    }

    bool is_readable() const override { return hasBuffered() || (mBudget > 0 && waitReadable()); }
    bool is_writable() const override { return waitWritable(); }

    ssize_t read(char* ptr, size_t size) override
    {
        if (!hasBuffered()) {
            if (mBudget == 0 || !waitReadable()) {
                return -1;
            }
            ssize_t n = 0;
            do {
                n = ::recv(mSock, mBuffer, std::min(sizeof mBuffer, mBudget), MSG_DONTWAIT);
            } while (n < 0 && errno == EINTR);
            if (n <= 0) {
                return n < 0 && errno == EAGAIN ? 0 : n;
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

    // Never blocks: sends what the socket takes now, after waiting for room.
    ssize_t write(const char* ptr, size_t size) override
    {
        if (!waitWritable()) {
            return -1;
        }
        ssize_t n = 0;
        do {
            n = ::send(mSock, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
        }
        mWritten += static_cast<std::size_t>(n);
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
    // The request must be complete by its deadline, however it trickles in.
    bool waitReadable() const { return waitUntil(POLLIN, std::min(Clock::now() + mReadTimeout, mRequestDeadline)); }

    // A peer that takes data keeps the response going only while it keeps up
    // with the drain rate on the whole; waiting on it counts against that.
    bool waitWritable() const
    {
        if (waitFor(mSock, POLLOUT, 0)) {
            return true;
        }
        const auto earned = mLimits.writeWaitAllowance +
                            milliseconds(mWritten * 1000 / std::max<std::size_t>(1, mLimits.drainBytesPerSecond));
        const auto left = std::chrono::duration_cast<Clock::duration>(earned) - mWriteWaited;
        if (left <= Clock::duration::zero()) {
            return false;
        }
        const auto start = Clock::now();
        const auto wait = std::min(left, std::chrono::duration_cast<Clock::duration>(mWriteTimeout));
        const bool ready = waitUntil(POLLOUT, start + wait);
        mWriteWaited += Clock::now() - start;
        return ready;
    }

    socket_t mSock;
    const std::atomic<socket_t>& mServerSocket;
    const HttpLimits& mLimits;
    milliseconds mReadTimeout;
    milliseconds mWriteTimeout;
    std::size_t mBudget = 0;
    const Clock::time_point mConnectionDeadline = Clock::now() + mLimits.connectionTime;
    Clock::time_point mRequestDeadline;
    std::size_t mWritten = 0;
    mutable Clock::duration mWriteWaited{};
    char mBuffer[kReadBuffer];
    std::size_t mStart = 0;
    std::size_t mEnd = 0;
};

}  // namespace

CappedHttpServer::CappedHttpServer(const HttpLimits& limits) : mLimits(limits)
{
    new_task_queue = [workers = limits.workers] { return new httplib::ThreadPool(workers); };
}

bool CappedHttpServer::onReserve(const httplib::Request& req)
{
    return req.has_header(kReserveHeader);
}

bool CappedHttpServer::admit(const std::string& address)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    std::size_t& count = mPerAddress[address];
    if (count >= mLimits.connectionsPerAddress) {
        if (count == 0) {
            mPerAddress.erase(address);
        }
        return false;
    }
    ++count;
    ++mBusy;
    return true;
}

void CappedHttpServer::release(const std::string& address)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    --mBusy;
    if (--mPerAddress[address] == 0) {
        mPerAddress.erase(address);
    }
}

bool CappedHttpServer::process_and_close_socket(socket_t sock)
{
    const std::string address = peerAddress(sock);
    if (!admit(address)) {
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
        return false;
    }
    bool reserve = false;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        reserve = mBusy + mLimits.reservedWorkers > mLimits.workers;
    }
    HttpLimits limits = mLimits;
    if (reserve) {
        limits.requestTime = std::min(limits.requestTime, limits.reserveRequestTime);
        limits.connectionTime = std::min(limits.connectionTime, limits.reserveRequestTime);
    }
    LimitedStream stream(sock, svr_sock_, limits, toMs(read_timeout_sec_, read_timeout_usec_),
                         toMs(write_timeout_sec_, write_timeout_usec_));
    const auto keepAlive = std::chrono::seconds(keep_alive_timeout_sec_);
    bool ok = false;
    const std::size_t requests = reserve ? 1 : keep_alive_max_count_;
    for (std::size_t left = requests; left > 0 && !stream.stopping(); --left) {
        // The next request, or the end of a kept-alive connection.
        if (!stream.hasBuffered() &&
            !stream.waitUntil(POLLIN, std::min(Clock::now() + keepAlive, stream.connectionDeadline()))) {
            break;
        }
        if (!stream.newRequest()) {
            break;  // the connection has had its time
        }
        bool closed = false;
        bool carriesBody = false;
        ok = process_request(stream, left == 1, closed, [&](httplib::Request& req) {
            // Set by this server only.
            req.headers.erase(kReserveHeader);
            if (reserve) {
                req.set_header(kReserveHeader, "1");
            }
            carriesBody = (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0") ||
                          req.has_header("Transfer-Encoding");
            if (carriesBody) {
                // The body stays unread: the answer says the connection ends with it.
                req.headers.erase("Connection");
                req.set_header("Connection", "close");
            }
        });
        if (!ok || closed || carriesBody) {
            break;
        }
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    release(address);
    return ok;
}
