#include "net/ClientConnector.h"

#include <algorithm>
#include <sstream>

#include "net/XmlConnection.h"
#include "xml/XMLSerializer.h"

namespace {

constexpr unsigned int kRequestDepth = 0;

}  // namespace

ClientConnector::ClientConnector(const std::string& host, int port)
    : mUdpConnection(new Connection()), mHost(host), mPort(port)
{
    mUdpConnection->Init(mHost, mPort);
}

std::string ClientConnector::generateMsgConnectServer(Client& client)
{
    ClientToServerConnect connectXml;
    connectXml.mRcId = client.rcID();
    connectXml.mVtId = client.vtID();
    connectXml.mProtocolVersion = client.version();
    connectXml.mType = "Client";
    connectXml.mNickName = client.nickname();

    std::ostringstream connectMsg;
    XMLSerializer::writeNestedNode(&connectMsg, connectXml, kRequestDepth);
    return connectMsg.str();
}

bool ClientConnector::ConnectToServer(Client& client)
{
    // The request goes out once; a lost request shows as a silent server.
    mUdpConnection->sendConnectionRequest(generateMsgConnectServer(client));

    // Negative settings would make the wait unbounded (or a pause of hours).
    int tries = std::max(0, client.getTries());
    const int sleep = std::max(0, client.getSleep());
    bool receivedResponse = false;

    while (tries != 0) {
        if (mUdpConnection->ReceiveOne()) {
            if (!receivedResponse) {
                if (mUdpConnection->receiveConnectionResponse(mUdpConnection->getData())) {
                    // The acceptance costs no try: the connect message may follow at once.
                    receivedResponse = true;
                    continue;
                }
            } else {
                const XMLItem root =
                    XMLSerializer::documentToRoot(mUdpConnection->data(), mUdpConnection->size());
                ServerToClientConnect serverRequest;
                return mUdpConnection->sendConnectionResponse(serverRequest.read(root));
            }
        }
        --tries;
        mUdpConnection->WaitForData(sleep);
    }
    return false;
}
