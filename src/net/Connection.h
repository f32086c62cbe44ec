#pragma once
// The agent's one UDP channel to the server: whole XML texts, one per
// datagram, to and from a single fixed server address. Nothing blocks
// except ReceiveWithin and WaitForData, and those only for the pause given.

#include <SDL_net.h>

#include <cstddef>
#include <string>

#include "net/ReceiveBatch.h"

class Connection {
public:
    /// \brief Size of each packet's data area; a message must fit with its terminating zero.
    static constexpr int kPacketSize = 16384;
    /// \brief The longest text that may be sent.
    static constexpr std::size_t kMaxMessageLength = kPacketSize - 1;
    /// \brief Most datagrams one receive call takes off the socket, so a flood cannot stall the loop.
    static constexpr int kMaxDatagramsPerReceive = 4096;

    /// \brief An unopened connection: every send fails, every receive reports nothing.
    Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    /// \brief Closes what is open and releases the network library.
    virtual ~Connection();

    /// \brief Opens the library, both packets and a socket on a free local port, and resolves
    /// the server (port reduced to 16 bits). On failure reports on standard error, returns false
    /// and leaves the connection unopened.
    bool Init(const std::string& pServer, int pPort);

    /// \brief Sends the text plus one zero byte; true if handed to the network.
    bool Send(const std::string& pMsg);
    /// \brief Sends the connect request without a zero byte; true if handed to the network.
    bool sendConnectionRequest(const std::string& request);
    /// \brief Sends `<connect>true</connect>` or `<connect>false</connect>` without a zero byte.
    bool sendConnectionResponse(bool value);

    /// \brief Takes the oldest waiting datagram from the server; true if one arrived.
    bool ReceiveOne();
    /// \brief Drains the socket (bounded), keeping only the newest datagram; true if any arrived.
    /// Once the socket's descriptor is known this takes one system call while the batch is
    /// not filled, and none is spent asking whether anything is waiting.
    bool Receive();

    /// \brief Waits up to `usec` microseconds for datagrams and takes them as Receive does;
    /// true if one from the server was kept. Once the socket's descriptor is known the wait and
    /// the receive are one system call, and the pause rounds up to the kernel's tick. A signal
    /// or a dropped datagram may end it early. With blind waiting on it sleeps `usec` first.
    bool ReceiveWithin(int usec);
    /// \brief Waits at most `usec` microseconds, ending early when a datagram is waiting on the
    /// socket (it may still be one that Receive drops); true in that case. With blind waiting
    /// on, or without an open socket, it simply sleeps for `usec` and returns false.
    bool WaitForData(int usec);
    /// \brief Makes WaitForData sleep the whole pause whatever arrives (the older behaviour,
    /// kept to measure what the early wake-up gains).
    void setBlindWait(bool blind) { mBlindWait = blind; }
    /// \brief See setBlindWait.
    bool blindWait() const { return mBlindWait; }

    /// \brief Copy of the last datagram received, exactly its length; empty if none.
    std::string getData() const;
    /// \brief The last datagram's bytes without copying; valid until the next receive.
    const char* data() const;
    /// \brief The last datagram's length in bytes.
    std::size_t size() const;

    /// \brief Judges the server's answer to the connect request, reporting on standard output.
    bool receiveConnectionResponse(const std::string& srvMsg);

    /// \brief Releases the socket and packets; the connection is unopened afterwards.
    void Close();

    /// \brief Whether datagrams from hosts other than the server are taken (off by default).
    void setAcceptAnySource(bool accept) { mAcceptAnySource = accept; }
    /// \brief See setAcceptAnySource.
    bool acceptsAnySource() const { return mAcceptAnySource; }
    /// \brief True once Init has succeeded, until Close.
    bool isOpen() const { return mWasInit; }

private:
    enum class Poll { kNothing, kAccepted, kDropped };

    bool sendText(const char* text, std::size_t length, bool withTerminator, const char* caller);
    Poll pollOnce();
    bool receiveBatches();
    bool keepNewest(int count);
    bool setReceiveTimeout(int usec);
    bool accepted(const UDPpacket& packet) const;
    void release();
    void findSocketDescriptor();
    bool waitWithLibrary(int usec);

    IPaddress mServerAddress{};
    UDPsocket mSocket = nullptr;
    UDPpacket* mSendBuffer = nullptr;
    UDPpacket* mReceiveBuffer = nullptr;
    bool mWasInit = false;
    // Datagrams land here first, so one from a foreign host never replaces the last good one.
    UDPpacket* mIncoming = nullptr;
    bool mLibraryStarted = false;
    bool mAcceptAnySource = false;
    bool mBlindWait = false;
    // The socket's own descriptor, found by its local port, for waits finer than a millisecond;
    // -1 when it could not be identified (the library's millisecond wait is used then).
    int mSocketFd = -1;
    SDLNet_SocketSet mSocketSet = nullptr;
    // Receives through the descriptor, when it is known.
    ReceiveBatch mBatch;
    // The socket's receive timeout as last set (microseconds), -1 before the first.
    int mReceiveTimeoutUs = -1;
};
