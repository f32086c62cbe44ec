#include "sim/SimServer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

#include "sim/link/HolderSilence.h"
#include "sim/record/ReplayPage.h"
#include "sim/record/SummaryJson.h"

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

void onStopSignal(int sig)
{
    gStopSignal = sig;
}

// In fast mode, before a world state that the agents do not answer, the
// waiting datagrams are read for at most this long.
constexpr auto kIdleDrainTime = std::chrono::milliseconds(5);
// A robot that has not answered this many play cycles in a row is no longer
// waited for in fast mode, until it speaks again.
constexpr int kStaleAfter = 3;
// Cycles of pre-match world states after the last admission, so that every
// agent has seen its robot before the kick-off.
constexpr int kStartGraceCycles = 5;

CameraSpec exactCamera(CameraSpec cameraSetup)
{
    cameraSetup.distNoise = 0.0;
    cameraSetup.angleNoise = 0.0;
    cameraSetup.dropout = 0.0;
    cameraSetup.blackouts.clear();
    return cameraSetup;
}

std::vector<RobotSpec> withoutDropouts(std::vector<RobotSpec> robots)
{
    for (RobotSpec& r : robots) {
        r.dropout = 0.0;
    }
    return robots;
}

}  // namespace

void installStopSignals()
{
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a signal wakes the wait at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int stopSignal()
{
    return gStopSignal;
}

SimServer::SimServer(const Scenario& scenario, const SimOptions& options)
    : mScenario(scenario),
      mOptions(options),
      mPhysics(mScenario),
      mCamera(mScenario.camera, mScenario.robots),
      mExactCamera(exactCamera(mScenario.camera), withoutDropouts(mScenario.robots)),
      mReferee(mScenario),
      mWriter(mScenario),
      mLinks(mScenario.robots.size()),
      mSeen(mScenario.robots.size(), 1),
      mRobotStats(mScenario.robots.size()),
      mPlay(mScenario),
      mReceiveBuffer(kMaxDatagramBytes + 1),
      mServerConnect(serverConnectMessage(mScenario.protocolVersion))
{
    mPhysics.placeForKickoff(mBodies, mBall);
}

bool SimServer::open(std::string& error)
{
    if (!mSocket.open(mOptions.host, mOptions.port, error)) {
        return false;
    }
    mRecorder.setPrograms(mOptions.yellowProgram, mOptions.blueProgram);
    return mOptions.recordFile.empty() || mRecorder.open(mOptions.recordFile, error);
}

bool SimServer::serveLive(const std::string& host, int port, std::string& error)
{
    auto live = std::make_unique<LiveServer>(std::string(replayTemplate()));
    if (!live->start(host, port, error)) {
        return false;
    }
    mLive = std::move(live);
    LiveFeed* feed = &mLive->feed();
    mRecorder.setLineSink([feed](const std::string& line) { feed->publish(line); });
    return true;
}

bool SimServer::stopping() const
{
    return gStopSignal != 0;
}

int SimServer::robotAt(const PeerAddress& from) const
{
    for (std::size_t i = 0; i < mLinks.size(); ++i) {
        if (mLinks[i].admitted && mLinks[i].address == from) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int SimServer::pendingAt(const PeerAddress& from) const
{
    for (std::size_t i = 0; i < mLinks.size(); ++i) {
        if (mLinks[i].pending && mLinks[i].pendingAddress == from) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string SimServer::robotName(std::size_t robot) const
{
    const RobotSpec& r = mScenario.robots[robot];
    return "robot " + std::to_string(r.vtId) + " (" + teamName(r.team) + " " + r.nickname + ")";
}

void SimServer::refuse(const PeerAddress& from, const std::string& why, bool log)
{
    ++mTraffic.refusedConnects;
    const char* answer = connectAnswer(false);
    mSocket.send(from, answer, std::strlen(answer));
    if (!mOptions.quiet && log) {
        std::cerr << "simserver: connect from " << from.text() << " refused: " << why << "\n";
    }
}

bool SimServer::holderGone(const Link& link) const
{
    return link.admitted && holderSilent(link.missedInRow, Clock::now() - link.lastHeard);
}

void SimServer::handleConnect(const ConnectRequest& request, int holder, const PeerAddress& from)
{
    if (request.type != "Client") {
        refuse(from, "type is not Client", mRefusalLog.logOther());
        return;
    }
    int robot = -1;
    for (std::size_t i = 0; i < mScenario.robots.size(); ++i) {
        if (mScenario.robots[i].vtId == request.vtId) {
            robot = static_cast<int>(i);
        }
    }
    if (robot < 0) {
        refuse(from, "no robot with vt_id " + std::to_string(request.vtId), mRefusalLog.logOther());
        return;
    }
    const std::size_t r = static_cast<std::size_t>(robot);
    Link& link = mLinks[r];
    RobotStats& stats = mRobotStats[r];
    const std::string& expected = mScenario.robots[r].nickname;
    if (request.nickname != expected) {
        // A team fielded against the wrong robots (the other side's, or another
        // line-up's) must not drive them. The first few nicknames per robot and
        // sender are logged apart from the other refusals, so that its operator
        // learns why.
        ++mTraffic.wrongNickname;
        ++stats.wrongNicknames;
        stats.lastWrongNickname = request.nickname;
        refuse(from,
               robotName(r) + " has nickname " + quotedForLog(expected) + ", the request gives " +
                   quotedForLog(request.nickname),
               mRefusalLog.logWrongNickname(r, from, request.nickname));
        return;
    }
    const bool takingBack = link.admitted && link.address != from;
    if (takingBack && !holderGone(link)) {
        refuse(from, "robot " + std::to_string(request.vtId) + " is taken", mRefusalLog.logOther());
        return;
    }
    if (holder >= 0 && holder != robot) {
        refuse(from, "this address already drives another robot", mRefusalLog.logOther());
        return;
    }
    if (!link.admitted || takingBack) {
        // The latest request waits for its reply; an earlier one that never replied
        // (its agent gone, or its answer lost) gives way, as does another robot's
        // request from this same address.
        const int before = pendingAt(from);
        if (before >= 0) {
            mLinks[static_cast<std::size_t>(before)].pending = false;
        }
        link.pending = true;
        link.pendingAddress = from;
        link.pendingNickname = request.nickname;
    }
    const char* accept = connectAnswer(true);
    mSocket.send(from, accept, std::strlen(accept));
    mSocket.send(from, mServerConnect.data(), mServerConnect.size());
}

void SimServer::handleReply(bool accepted, int holder, const PeerAddress& from)
{
    if (holder >= 0) {
        // A repeated handshake of a robot already admitted.
        mRobotStats[static_cast<std::size_t>(holder)].connectReply = accepted ? "true" : "false";
        return;
    }
    const int robot = pendingAt(from);
    if (robot < 0) {
        ++mTraffic.unknownSender;
        return;
    }
    const std::size_t r = static_cast<std::size_t>(robot);
    Link& link = mLinks[r];
    RobotStats& stats = mRobotStats[r];
    link.pending = false;
    if (link.admitted && !holderGone(link)) {
        // The holder spoke again while its robot was being taken back: it keeps it.
        ++mTraffic.unknownSender;
        if (!mOptions.quiet) {
            std::cerr << "simserver: " << robotName(r) << ": its agent at " << link.address.text()
                      << " spoke again, the agent at " << from.text() << " is not admitted\n";
        }
        return;
    }
    stats.connectReply = accepted ? "true" : "false";
    if (!accepted) {
        if (!mOptions.quiet) {
            std::cerr << "simserver: " << robotName(r) << ": the agent at " << from.text() << " declined\n";
        }
        return;
    }
    if (link.admitted && !mOptions.quiet) {
        std::cerr << "simserver: " << robotName(r) << " taken back from the silent agent at " << link.address.text()
                  << "\n";
    }
    link.admitted = true;
    link.address = from;
    link.answered = false;
    link.missedInRow = 0;
    link.lastHeard = Clock::now();
    stats.admitted = true;
    stats.agentNickname = link.pendingNickname;
    if (!mOptions.quiet) {
        std::cerr << "simserver: " << robotName(r) << " admitted from " << from.text() << ", agent nickname "
                  << quotedForLog(link.pendingNickname) << "\n";
    }
}

void SimServer::handleDatagram(const char* data, std::size_t size, const PeerAddress& from)
{
    ++mTraffic.datagrams;
    if (size > kMaxDatagramBytes) {
        ++mTraffic.oversized;
        return;
    }
    const ClientMessage msg = readClientMessage(data, size);
    const int robot = robotAt(from);
    if (robot >= 0) {
        mLinks[static_cast<std::size_t>(robot)].lastHeard = Clock::now();
    }
    switch (msg.kind) {
    case ClientMessageKind::Invalid:
        ++mTraffic.invalid;
        return;
    case ClientMessageKind::BadConnect:
        refuse(from, "malformed connect request", mRefusalLog.logOther());
        return;
    case ClientMessageKind::ConnectRequest:
        handleConnect(msg.request, robot, from);
        return;
    case ClientMessageKind::ConnectReply:
        handleReply(msg.replyValue, robot, from);
        return;
    case ClientMessageKind::Command: {
        if (robot < 0) {
            ++mTraffic.unknownSender;
            return;
        }
        const std::size_t i = static_cast<std::size_t>(robot);
        mPhysics.command(mBodies[i], msg.command);
        mLinks[i].answered = true;
        mLinks[i].missedInRow = 0;
        ++mRobotStats[i].commands;
        if (msg.command.kind == RobotCommand::Kind::Kick) {
            ++mRobotStats[i].kickCommands;
        }
        return;
    }
    }
}

void SimServer::drain(Clock::time_point until, bool untilAnswered)
{
    PeerAddress from;
    // The clock is read after every datagram: one that takes long to read must
    // not be followed by thousands more. What waits is read even when nobody is
    // waited for, so that connect requests are always heard.
    while (!stopping() && Clock::now() < until) {
        const long size = mSocket.receive(mReceiveBuffer.data(), mReceiveBuffer.size(), from);
        if (size < 0) {
            return;
        }
        handleDatagram(mReceiveBuffer.data(), static_cast<std::size_t>(size), from);
        if (untilAnswered && allAnswered()) {
            return;
        }
    }
}

void SimServer::serviceUntil(Clock::time_point deadline)
{
    while (!stopping()) {
        drain(deadline);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return;
        }
        mSocket.waitReadable(static_cast<int>(left));
    }
}

bool SimServer::allAnswered() const
{
    for (const Link& link : mLinks) {
        if (link.admitted && !link.answered && link.missedInRow < kStaleAfter) {
            return false;
        }
    }
    return true;
}

void SimServer::waitForAnswers()
{
    if (!mLastStatePlaying) {
        drain(Clock::now() + kIdleDrainTime);
        return;  // the agents only answer while the game is on
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(mOptions.stepTimeoutMs);
    drain(deadline, true);
    while (!stopping() && !allAnswered()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return;
        }
        mSocket.waitReadable(static_cast<int>(left));
        drain(deadline, true);
    }
}

void SimServer::countUnanswered()
{
    for (std::size_t i = 0; i < mLinks.size(); ++i) {
        Link& link = mLinks[i];
        if (link.admitted && mLastStatePlaying && !link.answered) {
            ++mRobotStats[i].noAnswer;
            ++link.missedInRow;
        }
        link.answered = false;
    }
}

void SimServer::sendStates(Camera& camera, const WorldStateHeader& header)
{
    // Every robot's document is built, admitted or not, so that the camera's
    // random draws do not depend on who happens to be connected.
    for (std::size_t i = 0; i < mBodies.size(); ++i) {
        const std::string& doc = mWriter.build(i, mBodies, mBall, camera, header);
        if (mLinks[i].admitted) {
            mSocket.send(mLinks[i].address, doc.data(), doc.size());
        }
    }
}

void SimServer::waitForClients()
{
    const double dt = mScenario.physics.timeStep;
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(dt));
    const auto giveUp = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(mOptions.waitSeconds));
    WorldStateHeader header;
    header.playMode = playModeText(PlayMode::BeforeKickOff);
    int grace = -1;
    mExactCamera.takeFrame(0.0);
    while (!stopping() && Clock::now() < giveUp) {
        bool everyoneReady = true;
        for (const Link& link : mLinks) {
            everyoneReady = everyoneReady && link.admitted;
        }
        if (everyoneReady) {
            grace = grace < 0 ? kStartGraceCycles : grace - 1;
            if (grace == 0) {
                break;
            }
        }
        sendStates(mExactCamera, header);
        serviceUntil(Clock::now() + period);
    }
    if (!mOptions.quiet) {
        int admitted = 0;
        for (const Link& link : mLinks) {
            admitted += link.admitted ? 1 : 0;
        }
        std::cerr << "simserver: kick-off with " << admitted << " of " << mLinks.size() << " robots connected\n";
    }
}

void SimServer::progressLine()
{
    const long second = static_cast<long>(std::floor(mReferee.time()));
    if (second == mLastProgressSecond) {
        return;
    }
    mLastProgressSecond = second;
    mRecorder.flush();
    if (mOptions.quiet) {
        return;
    }
    char line[160];
    std::snprintf(line, sizeof line, "simserver: t=%6.1f s  %-15s  yellow %d - %d blue\n", mReferee.time(),
                  playModeText(mReferee.mode()), mReferee.yellow(), mReferee.blue());
    std::cerr << line;
}

void SimServer::restartWithFreeBall()
{
    const std::vector<posicaoXY> spots = freeBallSpots(mScenario.rules);
    const auto away = [&](const posicaoXY& p) { return std::hypot(p.x - mBall.pos.x, p.y - mBall.pos.y); };
    const posicaoXY spot =
        *std::min_element(spots.begin(), spots.end(), [&](const posicaoXY& a, const posicaoXY& b) {
            return away(a) < away(b);
        });
    const FreeBallCause cause = mEvents.ballOut ? FreeBallCause::LeftField : FreeBallCause::Stalled;
    if (!mOptions.quiet) {
        std::cerr << "simserver: free ball at " << mReferee.time() << " s: " << freeBallCauseText(cause)
                  << " at (" << std::lround(mBall.pos.x) << ", " << std::lround(mBall.pos.y) << ")\n";
    }
    mReferee.freeBall(cause, mBall.pos);
    mPlay.playStopped();
    mPhysics.placeForFreeBall(mBodies, mBall, spot);
}

void SimServer::step()
{
    mEvents.clear();
    if (isPlaying(mReferee.mode())) {
        mReferee.playStep(mPhysics, mBodies, mBall, mEvents);
        mPlay.afterStep(mBodies, mBall, mEvents);
        for (int k : mEvents.kickers) {
            ++mRobotStats[static_cast<std::size_t>(k)].kicks;
        }
        for (int r : mEvents.putBack) {
            ++mRobotStats[static_cast<std::size_t>(r)].putBack;
        }
        if (mEvents.goal != GoalFor::None) {
            mReferee.scored(mEvents.goal);
            mPhysics.placeForKickoff(mBodies, mBall);
            if (!mOptions.quiet) {
                std::cerr << "simserver: " << (mReferee.goals().back().ownGoal ? "own goal" : "goal") << " for "
                          << (mEvents.goal == GoalFor::Yellow ? "yellow" : "blue") << " at " << mReferee.time()
                          << " s\n";
            }
        } else if (mEvents.ballOut || mReferee.ballStalled(mBall.pos)) {
            restartWithFreeBall();
        }
    }
    mReferee.tick();
    mCamera.takeFrame(mReferee.time());
    for (std::size_t i = 0; i < mSeen.size(); ++i) {
        mSeen[i] = mCamera.seen(i) ? 1 : 0;
        if (!mSeen[i] && mLinks[i].admitted) {
            ++mRobotStats[i].dropouts;
        }
    }
    WorldStateHeader header;
    header.time = mReferee.time();
    header.playMode = playModeText(mReferee.mode());
    header.yellow = mReferee.yellow();
    header.blue = mReferee.blue();
    sendStates(mCamera, header);
    mLastStatePlaying = isPlaying(mReferee.mode());
    mRecorder.record(mScenario, mReferee, mBodies, mSeen, mBall, mEvents);
    progressLine();
}

int SimServer::run(std::ostream& summary)
{
    waitForClients();
    const double dt = mScenario.physics.timeStep;
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(dt));

    // The match's first state: the kick-off pause at time 0.
    mCamera.takeFrame(0.0);
    for (std::size_t i = 0; i < mSeen.size(); ++i) {
        mSeen[i] = mCamera.seen(i) ? 1 : 0;
    }
    WorldStateHeader header;
    header.playMode = playModeText(mReferee.mode());
    sendStates(mCamera, header);
    mLastStatePlaying = isPlaying(mReferee.mode());
    mRecorder.record(mScenario, mReferee, mBodies, mSeen, mBall, mEvents);
    progressLine();

    auto next = Clock::now() + period;
    while (!stopping() && !mReferee.finished()) {
        if (mOptions.fast) {
            waitForAnswers();
        } else {
            serviceUntil(next);
            next += period;
            // After a long stall, keep the pace from now rather than rushing to catch up.
            if (Clock::now() > next + period) {
                next = Clock::now() + period;
            }
        }
        if (stopping()) {
            break;
        }
        countUnanswered();
        step();
    }
    const bool interrupted = stopping();
    const MatchReport report{mScenario, mReferee, mRobotStats, mPlay, mTraffic,
                             mOptions.yellowProgram, mOptions.blueProgram, interrupted};
    const MatchSummary model = summarize(report);
    // The record ends with the figures, so that its replay page can show them.
    mRecorder.writeSummary(summaryLine(model));
    const bool recordOk = mRecorder.close();
    printSummary(summary, model);
    if (!recordOk) {
        std::cerr << "simserver: writing the record failed\n";
    }
    // The files first: whoever waits for them must not wait for the viewers too.
    std::string error;
    const bool summaryOk = mOptions.summaryFile.empty() || writeSummaryJson(model, mOptions.summaryFile, error);
    if (!summaryOk) {
        std::cerr << "simserver: " << error << "\n";
    }
    if (mLive) {
        std::ostringstream text;
        printSummary(text, model);
        mLive->finish(text.str());
        mLive->stop();
    }
    if (interrupted) {
        return 128 + stopSignal();
    }
    return recordOk && summaryOk ? 0 : 2;
}
