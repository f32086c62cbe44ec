#pragma once
// The record of a match as it is being played, shared by the simulation
// thread (which appends one line per step) and the live viewers (each of
// which reads on from its own place). A viewer's backlog is bounded: when it
// falls further behind than that, its oldest unread steps are skipped, so a
// slow or stalled viewer costs the match neither time nor memory. The record
// itself is bounded too: past a size, its oldest steps are forgotten.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/// \brief A record line shared between the record so far and the viewers reading it.
using SharedLine = std::shared_ptr<const std::string>;

/// \brief The live record of one match and the places of its viewers in it.
class LiveFeed {
public:
    /// \brief Identifies one viewer from join to leave.
    using ViewerId = std::uint64_t;

    /// \brief What a viewer gets from one call of next().
    struct Batch {
        /// \brief Lines in record order, without their newline; the header first for a new viewer.
        std::vector<SharedLine> lines;
        /// \brief Steps skipped just before these lines because the viewer was too far behind.
        long skipped = 0;
        /// \brief The match is over (or the feed closed) and the viewer has had every line.
        bool ended = false;
    };

    /// \brief A viewer never has more than `viewerBacklog` unread steps (at least 1); the
    /// steps kept take at most `maxRecordBytes` (the newest one always stays).
    LiveFeed(std::size_t viewerBacklog, std::size_t maxRecordBytes);

    /// \brief Appends one record line (trailing newline optional); the first line is the header.
    void publish(std::string_view line);
    /// \brief Marks the match over; `closing` is the text viewers get after the last line.
    void finish(std::string closing);
    /// \brief Ends every viewer's reading at once (the server is going away).
    void close();

    /// \brief Registers a viewer that reads on from the latest step (header first), or
    /// from the first step kept once the match is over; nothing when `maxViewers`
    /// already read.
    std::optional<ViewerId> join(std::size_t maxViewers);
    /// \brief Forgets a viewer.
    void leave(ViewerId viewer);
    /// \brief The viewer's unread lines, at most `maxLines` steps, waiting up to `wait` for one.
    Batch next(ViewerId viewer, std::chrono::milliseconds wait, std::size_t maxLines);

    /// \brief The record so far, header first (without the steps forgotten).
    std::vector<SharedLine> snapshot() const;
    /// \brief The header line, or none yet.
    SharedLine header() const;
    /// \brief Steps published so far, forgotten ones included: the number of the next step.
    std::size_t published() const;
    /// \brief Appends steps `from` (or the oldest kept, if later) up to `end` to `out`, each
    /// with its newline, until `out` holds `maxBytes` or more; the number of the next step.
    std::size_t appendSteps(std::size_t from, std::size_t end, std::size_t maxBytes, std::string& out) const;
    /// \brief Whether finish() was called.
    bool finished() const;
    /// \brief The text given to finish(), or "" while the match goes on.
    std::string closing() const;
    /// \brief Viewers currently joined.
    std::size_t viewers() const;
    /// \brief Whether every viewer has had the end of the match (or none is left).
    bool drained() const;

private:
    struct Viewer {
        bool headerSent = false;
        /// Number of the next unread step, counted from the first one published.
        std::size_t cursor = 0;
        bool ended = false;
    };

    bool readable(const Viewer& v) const;

    const std::size_t mBacklog;
    const std::size_t mMaxRecordBytes;
    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    SharedLine mHeader;
    std::deque<SharedLine> mSteps;
    /// Steps dropped from the front of mSteps, and the size of those kept.
    std::size_t mForgotten = 0;
    std::size_t mBytes = 0;
    std::unordered_map<ViewerId, Viewer> mViewers;
    ViewerId mNextId = 1;
    bool mFinished = false;
    bool mClosed = false;
    std::string mClosing;
};
