#include "sim/live/LiveFeed.h"

#include <algorithm>

LiveFeed::LiveFeed(std::size_t viewerBacklog, std::size_t maxRecordBytes)
    : mBacklog(std::max<std::size_t>(1, viewerBacklog)), mMaxRecordBytes(maxRecordBytes)
{
}

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
        if (!mHeader && mSteps.empty()) {
            mHeader = std::move(shared);
        } else {
            mBytes += shared->size();
            mSteps.push_back(std::move(shared));
            // A very long match forgets its oldest steps rather than grow without end.
            while (mBytes > mMaxRecordBytes && mSteps.size() > 1) {
                mBytes -= mSteps.front()->size();
                mSteps.pop_front();
                ++mForgotten;
            }
        }
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
    // From the latest step on: what came before is in the record for whoever wants
    // it. Once the match is over, the record may be gone any moment with the
    // server, so the stream itself carries every step kept.
    const std::size_t published = mForgotten + mSteps.size();
    v.cursor = mFinished ? mForgotten : (published > 0 ? published - 1 : 0);
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
    const bool headerDue = !v.headerSent && mHeader;
    return mClosed || headerDue || v.cursor < mForgotten + mSteps.size() || (mFinished && !v.ended);
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
    if (!v.headerSent && mHeader) {
        batch.lines.push_back(mHeader);
        v.headerSent = true;
    }
    const std::size_t published = mForgotten + mSteps.size();
    // A finished record grows no more, so there is nothing to keep up with.
    const std::size_t oldest =
        mFinished ? mForgotten : std::max(mForgotten, published > mBacklog ? published - mBacklog : 0);
    if (v.cursor < oldest) {
        batch.skipped = static_cast<long>(oldest - v.cursor);
        v.cursor = oldest;
    }
    const std::size_t end = std::min(published, v.cursor + std::max<std::size_t>(1, maxLines));
    for (; v.cursor < end; ++v.cursor) {
        batch.lines.push_back(mSteps[v.cursor - mForgotten]);
    }
    if (mFinished && v.cursor >= published) {
        v.ended = true;
        batch.ended = true;
    }
    return batch;
}

std::vector<SharedLine> LiveFeed::snapshot() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    std::vector<SharedLine> lines;
    lines.reserve(mSteps.size() + 1);
    if (mHeader) {
        lines.push_back(mHeader);
    }
    lines.insert(lines.end(), mSteps.begin(), mSteps.end());
    return lines;
}

SharedLine LiveFeed::header() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mHeader;
}

std::size_t LiveFeed::published() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mForgotten + mSteps.size();
}

std::size_t LiveFeed::appendSteps(std::size_t from, std::size_t end, std::size_t maxBytes, std::string& out) const
{
    std::lock_guard<std::mutex> lock(mMutex);
    std::size_t step = std::max(from, mForgotten);
    for (end = std::min(end, mForgotten + mSteps.size()); step < end && out.size() < maxBytes; ++step) {
        out += *mSteps[step - mForgotten];
        out += '\n';
    }
    return step;
}

bool LiveFeed::finished() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mFinished;
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
