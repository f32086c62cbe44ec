#include "FakeServer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::size_t kLargestDatagram = 65536;

// A number as the command writer prints it: finite, nothing around it.
bool finiteNumber(const std::string& text)
{
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

}  // namespace

FakeServer::FakeServer(const char* host)
{
    mFd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    inet_pton(AF_INET, host, &addr.sin_addr);
    if (mFd < 0 || bind(mFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        throw std::runtime_error(std::string("cannot bind a test socket on ") + host);
    }
    socklen_t len = sizeof addr;
    getsockname(mFd, reinterpret_cast<sockaddr*>(&addr), &len);
    mPort = ntohs(addr.sin_port);
}

FakeServer::~FakeServer()
{
    close(mFd);
}

std::optional<std::string> FakeServer::receive(int waitMs)
{
    pollfd pfd{mFd, POLLIN, 0};
    if (poll(&pfd, 1, waitMs) != 1) {
        return std::nullopt;
    }
    std::vector<char> buffer(kLargestDatagram);
    socklen_t len = sizeof mPeer;
    const ssize_t n = recvfrom(mFd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&mPeer), &len);
    if (n < 0) {
        return std::nullopt;
    }
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

void FakeServer::send(const std::string& bytes)
{
    sendto(mFd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&mPeer), sizeof mPeer);
}

void FakeServer::sendTo(const FakeServer& other, const std::string& bytes)
{
    sendto(mFd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&other.mPeer),
           sizeof other.mPeer);
}

bool FakeServer::handshake(int waitMs)
{
    const auto request = receive(waitMs);
    if (!request || request->find("<connect>") == std::string::npos) {
        return false;
    }
    send("<connect>true</connect>");
    send("<connect><type>Server</type><protocol_version>1.0</protocol_version>"
         "<movement_mode>wheel_velocities</movement_mode></connect>");
    const auto reply = receive(waitMs);
    return reply && *reply == "<connect>true</connect>";
}

bool isWellFormedCommand(const std::string& datagram, std::string& why)
{
    static const std::regex wheels("<command><wheel_velocities><right>([^<]*)</right><left>([^<]*)</left>"
                                   "</wheel_velocities></command>");
    static const std::regex kick("<command><kick><angle>([^<]*)</angle><force>([^<]*)</force></kick></command>");
    std::string text = datagram;
    if (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    std::smatch m;
    if (!std::regex_match(text, m, wheels) && !std::regex_match(text, m, kick)) {
        why = "not a command: " + text.substr(0, 200);
        return false;
    }
    if (!finiteNumber(m[1]) || !finiteNumber(m[2])) {
        why = "non-finite number: " + text;
        return false;
    }
    return true;
}

void writeAgentFiles(const std::string& dir, int port, const std::string& extraSettings)
{
    std::ofstream(dir + "/config.ini")
        << "SERVER_IP=127.0.0.1\nPORT_TEAM=" << port
        << "\nVERSION=1.0\nSLEEP=1000\nTRIES=2000\nTEAM=2\nVT_ID=1\nRC_ID=1\nNICK_NAME=A1\n"
           "POS_BASE_X=0.35\nPOS_BASE_Y=0.5\nKICKABLE=80\nFATOR_ATRACAO_X=0.5\nFATOR_ATRACAO_Y=0.5\n"
           "X_MINIMO=0.1\nX_MAXIMO=0.9\nY_MINIMO=0.1\nY_MAXIMO=0.9\nLOG_ENABLED=NO\n"
        << extraSettings;
    std::ofstream(dir + "/velocidade.ini") << "VEL_MAX=130\nVEL_MAX_CURVE=90\nVEL_MAX_SPIN=110\nANGLE_SPIN=0.5\n"
                                              "BIG_ANGLE=1.2\nANGLE_VEL_MAX=0.3\nLENGTH_NEAR=70\n";
}
