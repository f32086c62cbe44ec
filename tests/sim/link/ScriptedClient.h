#pragma once
// A scripted agent on the loopback for tests of the server's link rules: its
// own UDP port, the connect exchange, and world states read and answered.

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

class ScriptedClient {
public:
    explicit ScriptedClient(int serverPort)
    {
        mFd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in me{};
        me.sin_family = AF_INET;
        inet_pton(AF_INET, "127.0.0.1", &me.sin_addr);
        ::bind(mFd, reinterpret_cast<sockaddr*>(&me), sizeof me);
        mServer.sin_family = AF_INET;
        mServer.sin_port = htons(static_cast<uint16_t>(serverPort));
        inet_pton(AF_INET, "127.0.0.1", &mServer.sin_addr);
    }
    ~ScriptedClient() { ::close(mFd); }
    ScriptedClient(const ScriptedClient&) = delete;
    ScriptedClient& operator=(const ScriptedClient&) = delete;

    void send(const std::string& text)
    {
        ::sendto(mFd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&mServer), sizeof mServer);
    }

    /// The next datagram, or "" after `ms`.
    std::string receive(int ms = 2000)
    {
        pollfd p{mFd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) {
            return "";
        }
        std::string buf(70000, '\0');
        const ssize_t n = ::recv(mFd, buf.data(), buf.size(), 0);
        buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return buf;
    }

    static std::string request(int vtId, const std::string& nickname)
    {
        return "<connect><type>Client</type><protocol_version>1.0</protocol_version><nickname>" + nickname +
               "</nickname><rc_id>" + std::to_string(vtId) + "</rc_id><vt_id>" + std::to_string(vtId) +
               "</vt_id></connect>";
    }

    /// The whole connect exchange; true when the server accepted.
    bool connect(int vtId, const std::string& nickname)
    {
        send(request(vtId, nickname));
        if (receive() != "<connect>true</connect>" || receive().find("<type>Server</type>") == std::string::npos) {
            return false;
        }
        send("<connect>true</connect>");
        return true;
    }

    /// Answers every world state of play with a wheel command for `seconds`;
    /// the number of states of play answered.
    int play(double seconds)
    {
        int answered = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            const std::string d = receive(20);
            if (d.find("<playMode>play on</playMode>") != std::string::npos) {
                send(kWheels);
                ++answered;
            }
        }
        return answered;
    }

    /// Skips world states until one with `mode` arrives; false after `ms` of silence.
    bool waitForMode(const std::string& mode, int ms = 3000)
    {
        for (std::string d = receive(ms); !d.empty(); d = receive(ms)) {
            if (d.find("<playMode>" + mode + "</playMode>") != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    /// Reads and forgets whatever arrives for `ms`; how many world states came.
    int ignore(int ms)
    {
        int states = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            states += receive(10).find("<worldData>") != std::string::npos ? 1 : 0;
        }
        return states;
    }

    static constexpr const char* kWheels =
        "<command><wheel_velocities><right>40</right><left>40</left></wheel_velocities></command>";

private:
    int mFd = -1;
    sockaddr_in mServer{};
};
