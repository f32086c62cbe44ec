// Plays server to a real agent over loopback and measures, once with the
// blind pause between receive attempts (RECEIVE_WAIT=SLEEP) and once with the
// wait that ends when a datagram lands (the default):
//   - reaction latency: from sending a world state to receiving its command
//     (median and 99th percentile);
//   - the floor under it: the same states sent to a bare UDP echo process (a
//     blocking receive and a fixed reply), sampled alternately with the agent
//     in the same run so that both see the same machine load;
//   - the agent's CPU use while the server is silent and while it plays at
//     the server's cycle rate (utime + stime from /proc over the interval).
//
//   agent_timing AGENT_BINARY STATES_FILE [SAMPLES]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultSamples = 400;
constexpr int kReplyWaitMs = 500;
constexpr auto kCyclePeriod = std::chrono::milliseconds(66);
constexpr auto kCpuInterval = std::chrono::seconds(5);
// Gaps between latency samples, varied so that a state lands anywhere in the agent's pause.
constexpr int kMinGapUs = 3000;
constexpr int kMaxGapUs = 9000;

class Server {
public:
    Server()
    {
        mFd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (mFd < 0 || bind(mFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            std::perror("agent_timing: bind");
            std::exit(2);
        }
        socklen_t len = sizeof addr;
        getsockname(mFd, reinterpret_cast<sockaddr*>(&addr), &len);
        mPort = ntohs(addr.sin_port);
    }
    ~Server() { close(mFd); }

    int port() const { return mPort; }

    bool receive(int waitMs, std::string* text = nullptr)
    {
        pollfd pfd{mFd, POLLIN, 0};
        if (poll(&pfd, 1, waitMs) != 1) {
            return false;
        }
        char buffer[65536];
        socklen_t len = sizeof mPeer;
        const ssize_t n = recvfrom(mFd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&mPeer), &len);
        if (text != nullptr && n >= 0) {
            text->assign(buffer, static_cast<std::size_t>(n));
        }
        return n >= 0;
    }

    void send(const std::string& text)
    {
        sendto(mFd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&mPeer), sizeof mPeer);
    }

    void drain()
    {
        while (receive(0)) {
        }
    }

private:
    int mFd = -1;
    int mPort = 0;
    sockaddr_in mPeer{};
};

// A command-sized answer, so the echo's send costs what the agent's does.
const char kEchoReply[] =
    "<command><wheel_velocities><left>26.5</left><right>26.5</right></wheel_velocities></command>";

// The floor: a process that does nothing but answer each datagram at once.
pid_t startEcho(int serverPort)
{
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(static_cast<uint16_t>(serverPort));
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        _exit(2);
    }
    send(fd, "hello", 5, 0);
    static char buffer[65536];
    while (recv(fd, buffer, sizeof buffer, 0) >= 0) {
        send(fd, kEchoReply, sizeof kEchoReply - 1, 0);
    }
    _exit(0);
}

// The recorded states (one per line) of a game in play: only those draw a command.
std::vector<std::string> readStates(const char* file)
{
    std::ifstream in(file);
    std::vector<std::string> states;
    for (std::string line; std::getline(in, line);) {
        if (line.find("<playMode>play on</playMode>") != std::string::npos) {
            states.push_back(line);
        }
    }
    return states;
}

pid_t startAgent(const char* agent, const std::string& dir)
{
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) {
            _exit(127);
        }
        std::freopen("/dev/null", "w", stdout);
        std::freopen("agent.log", "w", stderr);
        execl(agent, agent, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

double cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which is in parentheses and may hold blanks.
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    std::string field;
    long utime = 0;
    long stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) {
            utime = std::stol(field);
        } else if (i == 15) {
            stime = std::stol(field);
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

struct Figures {
    double echoMedianUs = 0;
    double echoP99Us = 0;
    double medianUs = 0;
    double p99Us = 0;
    int lost = 0;
    double silentCpu = 0;
    double playingCpu = 0;
};

// CPU share of one core used by `pid` over `interval` while `during` runs.
template <typename F>
double cpuShare(pid_t pid, F during)
{
    const double before = cpuSeconds(pid);
    const auto start = Clock::now();
    during();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    return 100.0 * (cpuSeconds(pid) - before) / wall;
}

Figures measure(const char* agent, const std::vector<std::string>& states, int samples, const char* wait)
{
    Server server;
    Server echoServer;
    char dirTemplate[] = "/tmp/agent-timing-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    std::ofstream(dir + "/config.ini")
        << "SERVER_IP=127.0.0.1\nPORT_TEAM=" << server.port()
        << "\nVERSION=1.0\nSLEEP=1000\nTRIES=500\nRECEIVE_WAIT=" << wait
        << "\nTEAM=2\nVT_ID=2\nRC_ID=2\nNICK_NAME=Y1\nPOS_BASE_X=0.35\nPOS_BASE_Y=0.5\nKICKABLE=80\n"
           "FATOR_ATRACAO_X=0.5\nFATOR_ATRACAO_Y=0.5\nX_MINIMO=0.1\nX_MAXIMO=0.9\nY_MINIMO=0.1\nY_MAXIMO=0.9\n"
           "LOG_ENABLED=NO\n";
    std::ofstream(dir + "/velocidade.ini") << "VEL_MAX=130\nVEL_MAX_CURVE=90\nVEL_MAX_SPIN=110\nANGLE_SPIN=0.5\n"
                                              "BIG_ANGLE=1.2\nANGLE_VEL_MAX=0.3\nLENGTH_NEAR=70\n";
    const pid_t pid = startAgent(agent, dir);
    const pid_t echoPid = startEcho(echoServer.port());

    Figures f;
    std::string text;
    if (!echoServer.receive(5000)) {
        std::fprintf(stderr, "agent_timing: the echo process did not start\n");
        std::exit(1);
    }
    if (!server.receive(5000, &text)) {
        std::fprintf(stderr, "agent_timing: no connect request\n");
        std::exit(1);
    }
    server.send("<connect>true</connect>");
    server.send("<connect><type>Server</type><protocol_version>1.0</protocol_version>"
                "<movement_mode>wheel_velocities</movement_mode></connect>");
    server.receive(kReplyWaitMs);

    // Until the base position is fixed and the first command comes back.
    std::size_t next = 0;
    for (int i = 0; i < 50; ++i) {
        server.send(states[next++ % states.size()]);
        if (server.receive(100)) {
            break;
        }
    }
    server.drain();

    std::mt19937 rng(1);
    std::vector<double> latencies;
    std::vector<double> echoLatencies;
    // One reaction of `peer` to the next state, in microseconds; negative when none came.
    const auto react = [&](Server& peer) {
        std::this_thread::sleep_for(std::chrono::microseconds(kMinGapUs + rng() % (kMaxGapUs - kMinGapUs)));
        const auto sent = Clock::now();
        peer.send(states[next++ % states.size()]);
        const bool answered = peer.receive(kReplyWaitMs);
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - sent).count();
        peer.drain();
        return answered ? us : -1.0;
    };
    for (int i = 0; i < samples; ++i) {
        const double echo = react(echoServer);
        if (echo >= 0) {
            echoLatencies.push_back(echo);
        }
        const double us = react(server);
        if (us >= 0) {
            latencies.push_back(us);
        } else {
            ++f.lost;
        }
    }
    kill(echoPid, SIGTERM);
    waitpid(echoPid, nullptr, 0);
    f.medianUs = percentile(latencies, 0.5);
    f.p99Us = percentile(latencies, 0.99);
    f.echoMedianUs = percentile(echoLatencies, 0.5);
    f.echoP99Us = percentile(echoLatencies, 0.99);

    f.silentCpu = cpuShare(pid, [] { std::this_thread::sleep_for(kCpuInterval); });
    f.playingCpu = cpuShare(pid, [&] {
        const auto end = Clock::now() + kCpuInterval;
        for (auto tick = Clock::now(); tick < end; tick += kCyclePeriod) {
            std::this_thread::sleep_until(tick);
            server.send(states[next++ % states.size()]);
            server.drain();
        }
    });

    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::system(("rm -rf " + dir).c_str());
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: agent_timing AGENT_BINARY STATES_FILE [SAMPLES]\n");
        return 1;
    }
    // The agent runs in its own directory, so a relative path would no longer hold.
    char* agent = realpath(argv[1], nullptr);
    if (agent == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const std::vector<std::string> states = readStates(argv[2]);
    if (states.empty()) {
        std::fprintf(stderr, "agent_timing: no states in %s\n", argv[2]);
        return 1;
    }
    const int samples = argc > 3 ? std::atoi(argv[3]) : kDefaultSamples;
    std::printf("%-22s %12s %12s %6s %14s %14s %12s %12s %10s\n", "wait between receives", "median (us)",
                "p99 (us)", "lost", "CPU silent %", "CPU playing %", "echo median", "echo p99", "ratio");
    for (const char* wait : {"SLEEP", "POLL"}) {
        const Figures f = measure(agent, states, samples, wait);
        std::printf("%-22s %12.0f %12.0f %6d %14.2f %14.2f %12.0f %12.0f %10.2f\n",
                    std::string(wait) == "SLEEP" ? "blind sleep" : "wake on datagram", f.medianUs, f.p99Us, f.lost,
                    f.silentCpu, f.playingCpu, f.echoMedianUs, f.echoP99Us,
                    f.echoMedianUs > 0 ? f.medianUs / f.echoMedianUs : 0.0);
    }
    std::free(agent);
    return 0;
}
