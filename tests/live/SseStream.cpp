#include "SseStream.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

namespace {

// Small enough that a few steps fill it.
constexpr int kStalledReceiveBuffer = 4096;

}  // namespace

std::vector<SseEvent> takeEvents(std::string& pending)
{
    std::vector<SseEvent> events;
    const auto now = std::chrono::steady_clock::now();
    for (std::size_t end = pending.find("\n\n"); end != std::string::npos; end = pending.find("\n\n")) {
        const std::string block = pending.substr(0, end);
        pending.erase(0, end + 2);
        SseEvent e;
        e.at = now;
        bool hasData = false;
        std::size_t start = 0;
        while (start <= block.size()) {
            std::size_t stop = block.find('\n', start);
            if (stop == std::string::npos) {
                stop = block.size();
            }
            const std::string field = block.substr(start, stop - start);
            start = stop + 1;
            if (field.rfind("data: ", 0) == 0) {
                e.data += (hasData ? "\n" : "") + field.substr(6);
                hasData = true;
            } else if (field.rfind("event: ", 0) == 0) {
                e.type = field.substr(7);
            }
        }
        if (hasData) {
            events.push_back(std::move(e));
        }
    }
    return events;
}

std::vector<SseEvent> readEvents(int port, std::chrono::milliseconds limit,
                                 const std::function<bool(const SseEvent&)>& onEvent, bool keep)
{
    std::vector<SseEvent> events;
    std::string pending;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(std::chrono::duration_cast<std::chrono::seconds>(limit).count() + 1, 0);
    client.Get("/events", [&](const char* data, std::size_t size) {
        pending.append(data, size);
        for (SseEvent& e : takeEvents(pending)) {
            if (!keep) {
                events.clear();
            }
            events.push_back(std::move(e));
            const SseEvent& last = events.back();
            const bool more = !onEvent || onEvent(last);
            if (last.type == "end" || !more) {
                return false;
            }
        }
        return std::chrono::steady_clock::now() < deadline;
    });
    return events;
}

StalledViewer::StalledViewer(int port)
{
    mFd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::setsockopt(mFd, SOL_SOCKET, SO_RCVBUF, &kStalledReceiveBuffer, sizeof kStalledReceiveBuffer);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const char request[] = "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    mOk = ::connect(mFd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
          ::send(mFd, request, sizeof request - 1, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof request - 1);
}

StalledViewer::~StalledViewer()
{
    ::close(mFd);
}
