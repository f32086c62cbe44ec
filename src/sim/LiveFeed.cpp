#include "sim/LiveFeed.h"

#include <algorithm>

LiveFeed::LiveFeed(std::size_t viewerBacklog) : mBacklog(std::max<std::size_t>(1, viewerBacklog)) {}

void LiveFeed::publish(std::string_view line)
{
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    // The copy is made before the lock, so that viewers wait on it as little as possible.
    auto shared = std::make_shared<const std::string>(line);
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mFinished || mClosed) {
            return;
        }
        mLines.push_back(std::move(shared));
    }
    mChanged.notify_all();
}

void LiveFeed::finish(std::string closing)
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mFinished) {
            return;
        }
        mFinished = true;
        mClosing = std::move(closing);
    }
    mChanged.notify_all();
}

void LiveFeed::close()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mClosed = true;
    }
    mChanged.notify_all();
}

std::optional<LiveFeed::ViewerId> LiveFeed::join(std::size_t maxViewers)
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (mViewers.size() >= maxViewers) {
        return std::nullopt;
    }
    Viewer v;
    // From the latest step on: what came before is in the record for whoever wants it.
    v.cursor = std::max<std::size_t>(1, mLines.size() > 0 ? mLines.size() - 1 : 1);
    const ViewerId id = mNextId++;
    mViewers.emplace(id, v);
    return id;
}

void LiveFeed::leave(ViewerId viewer)
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mViewers.erase(viewer);
    }
    mChanged.notify_all();
}

bool LiveFeed::readable(const Viewer& v) const
{
    const bool headerDue = !v.headerSent && !mLines.empty();
    return mClosed || headerDue || v.cursor < mLines.size() || (mFinished && !v.ended);
}

LiveFeed::Batch LiveFeed::next(ViewerId viewer, std::chrono::milliseconds wait, std::size_t maxLines)
{
    Batch batch;
    std::unique_lock<std::mutex> lock(mMutex);
    auto it = mViewers.find(viewer);
    if (it == mViewers.end()) {
        batch.ended = true;
        return batch;
    }
    // A reference, not the iterator: other viewers joining may rehash the map.
    Viewer& v = it->second;
    mChanged.wait_for(lock, wait, [&] { return readable(v); });
    if (mClosed) {
        v.ended = true;
        batch.ended = true;
        return batch;
    }
    if (!v.headerSent && !mLines.empty()) {
        batch.lines.push_back(mLines.front());
        v.headerSent = true;
    }
    const std::size_t size = mLines.size();
    if (v.cursor < size && size - v.cursor > mBacklog) {
        batch.skipped = static_cast<long>(size - v.cursor - mBacklog);
        v.cursor = size - mBacklog;
    }
    const std::size_t end = std::min(size, v.cursor + std::max<std::size_t>(1, maxLines));
    for (; v.cursor < end; ++v.cursor) {
        batch.lines.push_back(mLines[v.cursor]);
    }
    if (mFinished && v.cursor >= size) {
        v.ended = true;
        batch.ended = true;
    }
    return batch;
}

std::vector<SharedLine> LiveFeed::snapshot() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mLines;
}

std::string LiveFeed::closing() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mClosing;
}

std::size_t LiveFeed::viewers() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mViewers.size();
}

bool LiveFeed::drained() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    for (const auto& entry : mViewers) {
        if (!entry.second.ended) {
            return false;
        }
    }
    return true;
}
