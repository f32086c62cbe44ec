// The live record shared by the simulation and its viewers: every viewer
// reads in order from where it joined, a slow one skips its oldest steps
// instead of holding anything back, and the end reaches everyone.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <thread>

#include "sim/live/LiveFeed.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kNoWait = 0ms;
constexpr std::size_t kUnbounded = SIZE_MAX;
// Long enough that a test only passes through it when something is wrong.
constexpr auto kLongWait = 30s;

std::string stepLine(int step)
{
    return "{\"step\":" + std::to_string(step) + "}";
}

std::vector<std::string> texts(const LiveFeed::Batch& batch)
{
    std::vector<std::string> out;
    for (const SharedLine& l : batch.lines) {
        out.push_back(*l);
    }
    return out;
}

TEST(LiveFeed, AViewerFromTheStartReadsEveryLineInOrderThenTheEnd)
{
    LiveFeed feed(100, kUnbounded);
    const auto viewer = feed.join(4);
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(texts(feed.next(*viewer, kNoWait, 10)).empty());

    feed.publish("{\"type\":\"header\"}\n");  // the recorder's newline is not part of the line
    for (int s = 0; s < 3; ++s) {
        feed.publish(stepLine(s) + "\n");
    }
    EXPECT_EQ(texts(feed.next(*viewer, kNoWait, 2)),
              (std::vector<std::string>{"{\"type\":\"header\"}", stepLine(0), stepLine(1)}));
    feed.finish("bye");
    feed.publish(stepLine(3));  // after the end: not part of the match
    const LiveFeed::Batch last = feed.next(*viewer, kNoWait, 10);
    EXPECT_EQ(texts(last), std::vector<std::string>{stepLine(2)});
    EXPECT_TRUE(last.ended);
    EXPECT_EQ(last.skipped, 0);
    EXPECT_EQ(feed.closing(), "bye");
    EXPECT_TRUE(feed.drained());
    EXPECT_EQ(feed.snapshot().size(), 4u);
}

TEST(LiveFeed, ALateViewerGetsTheHeaderThenTheLatestStepOn)
{
    LiveFeed feed(100, kUnbounded);
    feed.publish("header");
    for (int s = 0; s < 50; ++s) {
        feed.publish(stepLine(s));
    }
    const auto viewer = feed.join(4);
    ASSERT_TRUE(viewer);
    feed.publish(stepLine(50));
    EXPECT_EQ(texts(feed.next(*viewer, kNoWait, 10)), (std::vector<std::string>{"header", stepLine(49), stepLine(50)}));
}

TEST(LiveFeed, AViewerTooFarBehindSkipsItsOldestSteps)
{
    struct Case {
        int published;
        std::size_t backlog;
        std::size_t maxLines;
        long skipped;
        int firstStep;
        std::size_t delivered;
    };
    const Case cases[] = {
        {10, 10, 100, 0, 0, 10},       // exactly the backlog: nothing lost
        {11, 10, 100, 1, 1, 10},       // one over: the oldest goes
        {1000, 10, 100, 990, 990, 10},  // a long stall costs only the bound
        {1000, 300, 64, 700, 700, 64},  // a batch is cut to maxLines, the rest waits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("published " + std::to_string(c.published) + ", backlog " + std::to_string(c.backlog));
        LiveFeed feed(c.backlog, kUnbounded);
        const auto viewer = feed.join(1);
        ASSERT_TRUE(viewer);
        feed.publish("header");
        for (int s = 0; s < c.published; ++s) {
            feed.publish(stepLine(s));
        }
        const LiveFeed::Batch batch = feed.next(*viewer, kNoWait, c.maxLines);
        EXPECT_EQ(batch.skipped, c.skipped);
        ASSERT_EQ(batch.lines.size(), c.delivered + 1);
        EXPECT_EQ(*batch.lines[0], "header");
        EXPECT_EQ(*batch.lines[1], stepLine(c.firstStep));
        EXPECT_FALSE(batch.ended);
        // The record itself keeps everything, for catching up.
        EXPECT_EQ(feed.snapshot().size(), static_cast<std::size_t>(c.published) + 1);
    }
}

TEST(LiveFeed, TheRecordKeepsTheHeaderAndItsNewestStepsWithinItsBound)
{
    constexpr std::size_t kLineBytes = 4;
    constexpr std::size_t kKept = 10;
    LiveFeed feed(1000, kKept * kLineBytes);
    const auto viewer = feed.join(1);
    ASSERT_TRUE(viewer);
    feed.publish("header");
    char line[8];
    for (int s = 0; s < 100; ++s) {
        std::snprintf(line, sizeof line, "s%03d", s);
        feed.publish(line);
    }
    const std::vector<SharedLine> record = feed.snapshot();
    ASSERT_EQ(record.size(), kKept + 1);
    EXPECT_EQ(*record[0], "header");
    EXPECT_EQ(*record[1], "s090");
    EXPECT_EQ(*record.back(), "s099");
    // A viewer still at the start skips what is forgotten, within its own larger backlog.
    const LiveFeed::Batch batch = feed.next(*viewer, kNoWait, 100);
    EXPECT_EQ(batch.skipped, 90);
    EXPECT_EQ(texts(batch).size(), kKept + 1);
    // One step larger than the whole bound still stays: the newest is never dropped.
    feed.publish(std::string(100, 'x'));
    EXPECT_EQ(feed.snapshot().size(), 2u);
}

TEST(LiveFeed, ViewersBeyondTheLimitAreRefusedUntilOneLeaves)
{
    LiveFeed feed(10, kUnbounded);
    const auto a = feed.join(2);
    const auto b = feed.join(2);
    ASSERT_TRUE(a && b);
    EXPECT_NE(*a, *b);
    EXPECT_FALSE(feed.join(2));
    feed.leave(*a);
    EXPECT_EQ(feed.viewers(), 1u);
    EXPECT_TRUE(feed.join(2));
    // A viewer that left reads nothing more.
    EXPECT_TRUE(feed.next(*a, kNoWait, 10).ended);
}

TEST(LiveFeed, ClosingWakesAWaitingViewerAndFinishingEndsItAfterItsLines)
{
    for (const bool closeIt : {true, false}) {
        SCOPED_TRACE(closeIt ? "close" : "finish");
        LiveFeed feed(10, kUnbounded);
        feed.publish("header");
        const auto viewer = feed.join(1);
        ASSERT_TRUE(viewer);
        feed.next(*viewer, kNoWait, 10);  // the header
        LiveFeed::Batch batch;
        std::thread reader([&] { batch = feed.next(*viewer, kLongWait, 10); });
        if (closeIt) {
            feed.close();
        } else {
            feed.finish("over");
        }
        reader.join();
        EXPECT_TRUE(batch.ended);
        EXPECT_TRUE(batch.lines.empty());
        EXPECT_TRUE(feed.drained());
    }
}

TEST(LiveFeed, AViewerJoiningAfterTheLastStepGetsEveryStepKeptAndTheRecordReadsInPieces)
{
    // More steps than a live viewer may lag, and a record that has forgotten its first two.
    LiveFeed feed(5, 7 * stepLine(10).size());
    feed.publish("header");
    for (int s = 0; s < 9; ++s) {
        feed.publish(stepLine(s));
    }
    feed.finish("over");
    const auto viewer = feed.join(1);
    ASSERT_TRUE(viewer);
    std::vector<std::string> got;
    for (int call = 0; call < 10 && (got.empty() || got.back() != "end"); ++call) {
        const LiveFeed::Batch batch = feed.next(*viewer, kNoWait, 3);
        EXPECT_EQ(batch.skipped, 0);
        for (const std::string& t : texts(batch)) {
            got.push_back(t);
        }
        if (batch.ended) {
            got.push_back("end");
        }
    }
    std::vector<std::string> expected = {"header"};
    for (int s = 2; s < 9; ++s) {
        expected.push_back(stepLine(s));
    }
    expected.push_back("end");
    EXPECT_EQ(got, expected);

    // The record in pieces: from before the oldest kept step, stopping at `end`.
    EXPECT_EQ(feed.published(), 9u);
    std::string piece;
    EXPECT_EQ(feed.appendSteps(0, 4, kUnbounded, piece), 4u);
    EXPECT_EQ(piece, stepLine(2) + "\n" + stepLine(3) + "\n");
    piece.clear();
    EXPECT_EQ(feed.appendSteps(4, 9, 1, piece), 5u);  // at least one line per piece
    EXPECT_EQ(piece, stepLine(4) + "\n");
    EXPECT_EQ(*feed.header(), "header");
}

}  // namespace
