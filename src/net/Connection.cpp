#include "net/Connection.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <iostream>
#include <utility>

#include "common/Logger.h"

namespace {

constexpr int kAnyLocalPort = 0;
constexpr int kUsePacketAddress = -1;
constexpr int kLocalAddressChannel = -1;
// Descriptors searched for the socket; the library opens it right after start-up.
constexpr int kMaxDescriptorSearched = 4096;
constexpr long kMicrosPerSecond = 1000000;
constexpr long kNanosPerMicro = 1000;
constexpr int kMicrosPerMilli = 1000;

// True if `fd` is a UDP socket bound to the IPv4 port `port` (network byte order).
bool isUdpSocketOnPort(int fd, Uint16 port)
{
    int type = 0;
    socklen_t typeLength = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_DGRAM) {
        return false;
    }
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.sin_family != AF_INET) {
        return false;
    }
    return local.sin_port == port;
}

UDPpacket* allocPacket()
{
    UDPpacket* packet = SDLNet_AllocPacket(Connection::kPacketSize);
    if (packet != nullptr) {
        // The library leaves the length unset; an unused packet reads as empty.
        packet->len = 0;
    }
    return packet;
}

void freePacket(UDPpacket*& packet)
{
    if (packet != nullptr) {
        SDLNet_FreePacket(packet);
        packet = nullptr;
    }
}

}  // namespace

Connection::Connection() = default;

Connection::~Connection()
{
    if (mWasInit) {
        Close();
    }
    release();
    // Only a successful SDLNet_Init is balanced, so other connections keep the library.
    if (mLibraryStarted) {
        SDLNet_Quit();
    }
}

bool Connection::Init(const std::string& pServer, int pPort)
{
    if (mWasInit) {
        Close();
    }
    if (!mLibraryStarted) {
        if (SDLNet_Init() < 0) {
            std::cerr << "SDLNet_Init: " << SDL_GetError() << std::endl;
            return false;
        }
        mLibraryStarted = true;
    }
    mSendBuffer = allocPacket();
    if (mSendBuffer == nullptr) {
        std::cerr << "SDLNet_AllocPacket: " << SDL_GetError() << std::endl;
        release();
        return false;
    }
    mReceiveBuffer = allocPacket();
    mIncoming = mReceiveBuffer != nullptr ? allocPacket() : nullptr;
    if (mIncoming == nullptr) {
        std::cerr << "SDLNet_AllocPacket: " << SDL_GetError() << std::endl;
        release();
        return false;
    }
    mSocket = SDLNet_UDP_Open(kAnyLocalPort);
    if (mSocket == nullptr) {
        std::cerr << "SDLNet_UDP_Open: " << SDL_GetError() << std::endl;
        release();
        return false;
    }
    findSocketDescriptor();
    if (mSocketFd >= 0 && !mBatch.allocate(kPacketSize)) {
        // Without the batch the library's own receive still works.
        mSocketFd = -1;
    }
    if (SDLNet_ResolveHost(&mServerAddress, pServer.c_str(), static_cast<Uint16>(pPort)) != 0) {
        std::cerr << "SDLNet_ResolveHost(" << pServer << "," << pPort << ") " << SDL_GetError()
                  << std::flush;
        // An unresolved address reads as the broadcast address; never send there.
        release();
        return false;
    }
    mWasInit = true;
    return true;
}

void Connection::Close()
{
    mWasInit = false;
    release();
}

// The library hides its descriptor; the one UDP socket bound to our local
// port is it. Ports are unique per socket, so a match cannot be another one.
void Connection::findSocketDescriptor()
{
    mSocketFd = -1;
    const IPaddress* local = SDLNet_UDP_GetPeerAddress(mSocket, kLocalAddressChannel);
    if (local == nullptr || local->port == 0) {
        return;
    }
    for (int fd = 0; fd < kMaxDescriptorSearched; ++fd) {
        if (isUdpSocketOnPort(fd, local->port)) {
            mSocketFd = fd;
            return;
        }
    }
    LOG(log_DEBUG) << "Socket descriptor not found; waits are rounded down to milliseconds";
}

bool Connection::WaitForData(int usec)
{
    const int pause = usec > 0 ? usec : 0;
    if (!mWasInit || mBlindWait) {
        usleep(static_cast<useconds_t>(pause));
        return false;
    }
    if (mSocketFd < 0) {
        return waitWithLibrary(pause);
    }
    pollfd socket{mSocketFd, POLLIN, 0};
    const timespec timeout{static_cast<time_t>(pause / kMicrosPerSecond),
                           static_cast<long>(pause % kMicrosPerSecond) * kNanosPerMicro};
    // A signal cuts the wait short; the caller counts it as one try, as before.
    return ppoll(&socket, 1, &timeout, nullptr) > 0 && (socket.revents & POLLIN) != 0;
}

// The library waits in whole milliseconds: the pause is rounded down to them
// and the rest slept, so a wait never exceeds `usec`.
bool Connection::waitWithLibrary(int usec)
{
    if (mSocketSet == nullptr) {
        mSocketSet = SDLNet_AllocSocketSet(1);
        if (mSocketSet == nullptr || SDLNet_UDP_AddSocket(mSocketSet, mSocket) < 0) {
            usleep(static_cast<useconds_t>(usec));
            return false;
        }
    }
    if (SDLNet_CheckSockets(mSocketSet, static_cast<Uint32>(usec / kMicrosPerMilli)) > 0) {
        return true;
    }
    usleep(static_cast<useconds_t>(usec % kMicrosPerMilli));
    return false;
}

void Connection::release()
{
    if (mSocketSet != nullptr) {
        SDLNet_FreeSocketSet(mSocketSet);
        mSocketSet = nullptr;
    }
    mSocketFd = -1;
    mReceiveTimeoutUs = -1;
    mBatch.release();
    if (mSocket != nullptr) {
        SDLNet_UDP_Close(mSocket);
        mSocket = nullptr;
    }
    freePacket(mSendBuffer);
    freePacket(mReceiveBuffer);
    freePacket(mIncoming);
}

bool Connection::Send(const std::string& pMsg)
{
    return sendText(pMsg.data(), pMsg.size(), true, "Send");
}

bool Connection::sendConnectionRequest(const std::string& request)
{
    return sendText(request.data(), request.size(), false, "sendConnectionRequest");
}

bool Connection::sendConnectionResponse(bool value)
{
    static const std::string kAccept = "<connect>true</connect>";
    static const std::string kRefuse = "<connect>false</connect>";
    const std::string& reply = value ? kAccept : kRefuse;
    return sendText(reply.data(), reply.size(), false, "sendConnectionResponse");
}

bool Connection::sendText(const char* text, std::size_t length, bool withTerminator,
                          const char* caller)
{
    if (!mWasInit) {
        return false;
    }
    if (length > kMaxMessageLength) {
        std::cerr << "Connection::" << caller << ": message of " << length
                  << " characters is longer than " << kMaxMessageLength << ", not sent"
                  << std::endl;
        return false;
    }
    std::memcpy(mSendBuffer->data, text, length);
    std::size_t wireLength = length;
    if (withTerminator) {
        mSendBuffer->data[wireLength++] = 0;
    }
    mSendBuffer->address = mServerAddress;
    mSendBuffer->len = static_cast<int>(wireLength);
    return SDLNet_UDP_Send(mSocket, kUsePacketAddress, mSendBuffer) != 0;
}

// Hosts only: the server may answer from another port than the one we send to.
bool Connection::accepted(const UDPpacket& packet) const
{
    if (!mAcceptAnySource && packet.address.host != mServerAddress.host) {
        LOG(log_DEBUG) << "Dropped a datagram from a host other than the server";
        return false;
    }
    return true;
}

Connection::Poll Connection::pollOnce()
{
    if (SDLNet_UDP_Recv(mSocket, mIncoming) != 1) {
        return Poll::kNothing;
    }
    if (!accepted(*mIncoming)) {
        return Poll::kDropped;
    }
    std::swap(mIncoming, mReceiveBuffer);
    return Poll::kAccepted;
}

// The library's receive asks the socket whether anything is waiting before
// each read, and a drain ends with a read that finds nothing: three calls
// for one datagram. A batch that comes back short says the socket is empty.
bool Connection::receiveBatches()
{
    bool received = false;
    for (int taken = 0; taken < kMaxDatagramsPerReceive;) {
        const int count = mBatch.receive(mSocketFd);
        received = keepNewest(count) || received;
        if (count < ReceiveBatch::kSize) {
            break;
        }
        taken += count;
    }
    return received;
}

// The newest datagram of the batch that comes from the server becomes the last one received.
bool Connection::keepNewest(int count)
{
    for (int i = count - 1; i >= 0; --i) {
        if (accepted(mBatch.packet(i))) {
            mBatch.swap(i, mReceiveBuffer);
            return true;
        }
    }
    return false;
}

bool Connection::setReceiveTimeout(int usec)
{
    if (usec == mReceiveTimeoutUs) {
        return true;
    }
    const timeval timeout{static_cast<time_t>(usec / kMicrosPerSecond),
                          static_cast<suseconds_t>(usec % kMicrosPerSecond)};
    if (setsockopt(mSocketFd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
        return false;
    }
    mReceiveTimeoutUs = usec;
    return true;
}

bool Connection::ReceiveWithin(int usec)
{
    const int pause = usec > 0 ? usec : 0;
    // A receive timeout of zero would mean no timeout at all: a zero wait only looks.
    if (!mWasInit || mBlindWait || mSocketFd < 0 || pause == 0 || !setReceiveTimeout(pause)) {
        WaitForData(pause);
        return Receive();
    }
    const int count = mBatch.receive(mSocketFd, true);
    bool received = keepNewest(count);
    if (count == ReceiveBatch::kSize) {
        // More may be waiting, all newer.
        received = receiveBatches() || received;
    }
    return received;
}

bool Connection::ReceiveOne()
{
    if (!mWasInit) {
        return false;
    }
    for (int i = 0; i < kMaxDatagramsPerReceive; ++i) {
        switch (pollOnce()) {
        case Poll::kNothing:
            return false;
        case Poll::kAccepted:
            return true;
        case Poll::kDropped:
            break;
        }
    }
    return false;
}

bool Connection::Receive()
{
    if (!mWasInit) {
        return false;
    }
    if (mSocketFd >= 0) {
        return receiveBatches();
    }
    bool received = false;
    for (int i = 0; i < kMaxDatagramsPerReceive; ++i) {
        const Poll result = pollOnce();
        if (result == Poll::kNothing) {
            break;
        }
        received = received || result == Poll::kAccepted;
    }
    return received;
}

const char* Connection::data() const
{
    return mReceiveBuffer != nullptr ? reinterpret_cast<const char*>(mReceiveBuffer->data) : "";
}

std::size_t Connection::size() const
{
    if (mReceiveBuffer == nullptr || mReceiveBuffer->len <= 0) {
        return 0;
    }
    return static_cast<std::size_t>(mReceiveBuffer->len);
}

std::string Connection::getData() const
{
    return std::string(data(), size());
}
