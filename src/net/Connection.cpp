#include "net/Connection.h"

#include <cstring>
#include <iostream>
#include <utility>

#include "common/Logger.h"

namespace {

constexpr int kAnyLocalPort = 0;
constexpr int kUsePacketAddress = -1;

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

void Connection::release()
{
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

Connection::Poll Connection::pollOnce()
{
    if (SDLNet_UDP_Recv(mSocket, mIncoming) != 1) {
        return Poll::kNothing;
    }
    // Hosts only: the server may answer from another port than the one we send to.
    if (!mAcceptAnySource && mIncoming->address.host != mServerAddress.host) {
        LOG(log_DEBUG) << "Dropped a datagram from a host other than the server";
        return Poll::kDropped;
    }
    std::swap(mIncoming, mReceiveBuffer);
    return Poll::kAccepted;
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
