#pragma once
// The simulated Soccer Server: admits the agents, runs the match step by
// step (in real time, or in lock-step with the agents' answers), sends every
// robot its world state, applies the commands, and reports and records what
// happened.

#include <chrono>
#include <csignal>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "sim/perception/Camera.h"
#include "sim/link/ClientMessages.h"
#include "sim/link/RefusalLog.h"
#include "sim/match/MatchStats.h"
#include "sim/Options.h"
#include "sim/live/LiveServer.h"
#include "sim/physics/World.h"
#include "sim/match/PlayStatistics.h"
#include "sim/record/Recorder.h"
#include "sim/match/Referee.h"
#include "sim/scenario/Scenario.h"
#include "sim/link/UdpSocket.h"
#include "sim/perception/WorldStateWriter.h"

/// \brief Makes SIGINT and SIGTERM end the match cleanly (summary printed, record closed).
void installStopSignals();
/// \brief The signal that asked the server to stop, or 0.
int stopSignal();

/// \brief One match on one UDP socket.
class SimServer {
public:
    SimServer(const Scenario& scenario, const SimOptions& options);

    /// \brief Binds the socket and opens the record; false with `error` set on failure.
    bool open(std::string& error);
    /// \brief The bound port (useful with port 0).
    int port() const { return mSocket.port(); }
    /// \brief Also serves the match live over HTTP on `host`:`port` (0 = any free port);
    /// false with `error` set when it cannot. Call before run().
    bool serveLive(const std::string& host, int port, std::string& error);
    /// \brief The live HTTP port, or -1 when the match is not served live.
    int livePort() const { return mLive ? mLive->port() : -1; }
    /// \brief Runs the whole match and prints the summary on `summary`; the exit status.
    int run(std::ostream& summary);

    /// \brief The counters so far.
    const std::vector<RobotStats>& robotStats() const { return mRobotStats; }
    const TrafficStats& traffic() const { return mTraffic; }
    const Referee& referee() const { return mReferee; }
    /// \brief Kicks, shots, passes and possession so far.
    const PlayStatistics& play() const { return mPlay; }

private:
    using Clock = std::chrono::steady_clock;

    /// The server's side of one robot's link. A robot is admitted when its
    /// agent's reply completes the handshake; until then the request that was
    /// answered only waits, and a newer one (from an agent restarted on another
    /// address) takes its place. An admitted robot passes to another address
    /// only once its holder has gone silent (see HolderSilence.h).
    struct Link {
        bool admitted = false;
        PeerAddress address;
        bool pending = false;
        PeerAddress pendingAddress;
        std::string pendingNickname;
        bool answered = false;
        int missedInRow = 0;
        /// When the holder last sent anything.
        Clock::time_point lastHeard;
    };

    void waitForClients();
    void serviceUntil(Clock::time_point deadline);
    void waitForAnswers();
    bool allAnswered() const;
    /// Reads waiting datagrams until none is left or `until` has passed (or, with
    /// `untilAnswered`, a datagram completed the answers), so that no flood holds
    /// the next world state back.
    void drain(Clock::time_point until, bool untilAnswered = false);
    void handleDatagram(const char* data, std::size_t size, const PeerAddress& from);
    void handleConnect(const ConnectRequest& request, int holder, const PeerAddress& from);
    void handleReply(bool accepted, int holder, const PeerAddress& from);
    bool holderGone(const Link& link) const;
    void refuse(const PeerAddress& from, const std::string& why, bool log);
    int robotAt(const PeerAddress& from) const;
    int pendingAt(const PeerAddress& from) const;
    std::string robotName(std::size_t robot) const;
    void countUnanswered();
    void step();
    void restartWithFreeBall();
    void sendStates(Camera& camera, const WorldStateHeader& header);
    void progressLine();
    bool stopping() const;

    Scenario mScenario;
    SimOptions mOptions;
    World mPhysics;
    Camera mCamera;
    Camera mExactCamera;
    Referee mReferee;
    WorldStateWriter mWriter;
    Recorder mRecorder;
    UdpSocket mSocket;
    std::vector<RobotBody> mBodies;
    BallBody mBall;
    StepEvents mEvents;
    std::vector<Link> mLinks;
    std::vector<char> mSeen;
    std::vector<RobotStats> mRobotStats;
    TrafficStats mTraffic;
    PlayStatistics mPlay;
    std::vector<char> mReceiveBuffer;
    std::string mServerConnect;
    std::unique_ptr<LiveServer> mLive;
    bool mLastStatePlaying = false;
    long mLastProgressSecond = -1;
    RefusalLog mRefusalLog;
};
