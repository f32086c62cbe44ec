#include "net/ReceiveBatch.h"

#include <cstring>
#include <utility>

bool ReceiveBatch::allocate(int packetSize)
{
    release();
    mPacketSize = packetSize;
    for (std::size_t i = 0; i < mPackets.size(); ++i) {
        mPackets[i] = SDLNet_AllocPacket(packetSize);
        if (mPackets[i] == nullptr) {
            release();
            return false;
        }
        mPackets[i]->len = 0;
        point(i);
    }
    return true;
}

void ReceiveBatch::release()
{
    for (UDPpacket*& packet : mPackets) {
        if (packet != nullptr) {
            SDLNet_FreePacket(packet);
            packet = nullptr;
        }
    }
}

// The header of slot i reads into the data area of the packet now in it.
void ReceiveBatch::point(std::size_t i)
{
    mVectors[i].iov_base = mPackets[i]->data;
    mVectors[i].iov_len = static_cast<std::size_t>(mPacketSize);
    std::memset(&mHeaders[i], 0, sizeof mHeaders[i]);
    mHeaders[i].msg_hdr.msg_iov = &mVectors[i];
    mHeaders[i].msg_hdr.msg_iovlen = 1;
    mHeaders[i].msg_hdr.msg_name = &mSources[i];
}

int ReceiveBatch::receive(int fd, bool wait)
{
    if (mPackets[0] == nullptr) {
        return 0;
    }
    for (mmsghdr& header : mHeaders) {
        // The kernel shortens the name length to what it wrote; give the room back.
        header.msg_hdr.msg_namelen = sizeof(sockaddr_in);
        header.msg_hdr.msg_flags = 0;
    }
    const int count = recvmmsg(fd, mHeaders.data(), kSize, wait ? MSG_WAITFORONE : MSG_DONTWAIT, nullptr);
    if (count <= 0) {
        return 0;
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        UDPpacket& packet = *mPackets[i];
        // A longer datagram is cut to the packet, as the library's receive does.
        packet.len = static_cast<int>(mHeaders[i].msg_len);
        packet.address.host = mSources[i].sin_addr.s_addr;
        packet.address.port = mSources[i].sin_port;
    }
    return count;
}

void ReceiveBatch::swap(int i, UDPpacket*& other)
{
    const auto slot = static_cast<std::size_t>(i);
    std::swap(mPackets[slot], other);
    point(slot);
}
