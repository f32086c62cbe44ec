// Sits between one agent and the server on the loopback interface, passes
// every datagram through unchanged and keeps a copy of what the server sends,
// one file per datagram. Used to record real world states for the fuzz
// corpora and the benchmarks.
//
//   udp_tap LISTEN_PORT SERVER_PORT OUT_DIR [MAX_FILES]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxDatagram = 64 * 1024;
constexpr int kIdleTimeoutMs = 5000;

int openSocket(int port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::perror("udp_tap: bind");
        std::exit(2);
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: udp_tap LISTEN_PORT SERVER_PORT OUT_DIR [MAX_FILES]\n");
        return 1;
    }
    const int listenPort = std::atoi(argv[1]);
    const std::string outDir = argv[3];
    const long maxFiles = argc > 4 ? std::atol(argv[4]) : 1000000;

    const int agentSide = openSocket(listenPort);
    const int serverSide = openSocket(0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[2])));
    sockaddr_in agent{};
    bool agentKnown = false;

    std::vector<char> buffer(kMaxDatagram);
    long written = 0;
    pollfd fds[2] = {{agentSide, POLLIN, 0}, {serverSide, POLLIN, 0}};
    // Ends when both sides have been silent for a while: the match is over.
    while (poll(fds, 2, kIdleTimeoutMs) > 0) {
        if (fds[0].revents & POLLIN) {
            socklen_t len = sizeof agent;
            const ssize_t n = recvfrom(agentSide, buffer.data(), buffer.size(), 0,
                                       reinterpret_cast<sockaddr*>(&agent), &len);
            agentKnown = n >= 0;
            if (n >= 0) {
                sendto(serverSide, buffer.data(), static_cast<size_t>(n), 0,
                       reinterpret_cast<sockaddr*>(&server), sizeof server);
            }
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = recv(serverSide, buffer.data(), buffer.size(), 0);
            if (n >= 0 && agentKnown) {
                sendto(agentSide, buffer.data(), static_cast<size_t>(n), 0,
                       reinterpret_cast<sockaddr*>(&agent), sizeof agent);
            }
            if (n >= 0 && written < maxFiles) {
                char name[32];
                std::snprintf(name, sizeof name, "/%06ld", written++);
                std::ofstream(outDir + name, std::ios::binary).write(buffer.data(), n);
            }
        }
    }
    close(agentSide);
    close(serverSide);
    std::printf("udp_tap: %ld datagrams kept\n", written);
    return 0;
}
