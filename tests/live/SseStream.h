#pragma once
// Viewers of simserver's live stream for the live tests and the many-viewers
// measurement: a Server-Sent Events reader, and one that never reads.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

/// \brief One event of the stream.
struct SseEvent {
    /// \brief "message" unless the event names itself.
    std::string type = "message";
    std::string data;
    /// \brief When it arrived.
    std::chrono::steady_clock::time_point at;
};

/// \brief Splits stream text into events; what is left of an unfinished event stays in `pending`.
std::vector<SseEvent> takeEvents(std::string& pending);

/// \brief Reads "/events" of 127.0.0.1:`port` until the "end" event, `limit`, or `onEvent`
/// returning false; every event in order (only the last one unless `keep`).
std::vector<SseEvent> readEvents(int port, std::chrono::milliseconds limit,
                                 const std::function<bool(const SseEvent&)>& onEvent = nullptr, bool keep = true);

/// \brief Connects to 127.0.0.1:`port`, asks for "/events", then never reads; a small
/// receive buffer makes the server's side fill up soon.
class StalledViewer {
public:
    explicit StalledViewer(int port);
    StalledViewer(const StalledViewer&) = delete;
    StalledViewer& operator=(const StalledViewer&) = delete;
    ~StalledViewer();
    /// \brief Whether it connected and sent its request.
    bool ok() const { return mOk; }

private:
    int mFd = -1;
    bool mOk = false;
};
