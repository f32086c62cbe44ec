#pragma once
// Takes every datagram waiting on a UDP socket with one system call (more
// only when more are waiting than the batch holds), into SDL_net packets, so
// the connection can keep the newest without a readiness check before each
// receive or a last receive that finds the socket empty.

#include <SDL_net.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <array>

class ReceiveBatch {
public:
    /// \brief Datagrams taken per system call.
    static constexpr int kSize = 4;

    /// \brief An empty batch; allocate() before use.
    ReceiveBatch() = default;
    ReceiveBatch(const ReceiveBatch&) = delete;
    ReceiveBatch& operator=(const ReceiveBatch&) = delete;
    ~ReceiveBatch() { release(); }

    /// \brief Allocates kSize packets of `packetSize` bytes; false (and nothing held) on failure.
    bool allocate(int packetSize);
    /// \brief Frees the packets.
    void release();

    /// \brief Takes up to kSize waiting datagrams from `fd`; their count (0 when none came or
    /// the socket failed). With `wait`, blocks until the first one (as long as the socket's
    /// receive timeout allows) and takes the others that are already waiting; without, never
    /// blocks. Packet i then holds datagram i, oldest first, with its length and source address.
    int receive(int fd, bool wait = false);
    /// \brief Packet `i` of the last receive.
    const UDPpacket& packet(int i) const { return *mPackets[static_cast<std::size_t>(i)]; }
    /// \brief Exchanges packet `i` with `other` (same size), so the datagram changes hands
    /// without a copy.
    void swap(int i, UDPpacket*& other);

private:
    void point(std::size_t i);

    int mPacketSize = 0;
    std::array<UDPpacket*, kSize> mPackets{};
    std::array<mmsghdr, kSize> mHeaders{};
    std::array<iovec, kSize> mVectors{};
    std::array<sockaddr_in, kSize> mSources{};
};
