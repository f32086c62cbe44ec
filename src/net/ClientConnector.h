#pragma once
// Opens the one UDP connection to the server and runs the connect handshake.
// The connection outlives this object: it is shared by plain pointers for the
// rest of the process.

#include <string>

#include "agent/Client.h"
#include "net/Connection.h"

class ClientConnector {
public:
    /// \brief Creates the connection on the heap and opens it; a failed open is not fatal here,
    /// the handshake then simply runs out of tries.
    ClientConnector(const std::string& host, int port);
    ClientConnector(const ClientConnector&) = delete;
    ClientConnector& operator=(const ClientConnector&) = delete;
    /// \brief Leaves the connection alive.
    ~ClientConnector() = default;

    /// \brief The connection, not owned by the caller either.
    Connection* getConnection() { return mUdpConnection; }

    /// \brief The connect request text for `client`.
    std::string generateMsgConnectServer(Client& client);

    /// \brief Sends the request, waits at most TRIES pauses of SLEEP microseconds (each ending
    /// early when a datagram lands) for the
    /// acceptance and the server's connect message, and answers it; true if the answer went out.
    bool ConnectToServer(Client& client);

private:
    Connection* mUdpConnection;
    std::string mHost;
    int mPort;
};
