// Judging the server's answer to the connect request; kept apart from the
// transport because it needs the XML parser.

#include <iostream>

#include "net/Connection.h"
#include "xml/XMLSerializer.h"

bool Connection::receiveConnectionResponse(const std::string& srvMsg)
{
    std::cout << " Message received: " << srvMsg << std::endl;
    if (srvMsg.empty()) {
        std::cout << "Connection answer is empty!! Something is wrong with the client." << std::endl;
        return false;
    }
    const XMLItem root = XMLSerializer::documentToRoot(srvMsg.data(), srvMsg.size());
    if (root.getItemType() == XML_NESTED || root.getItemType() == XML_ERROREOUS) {
        std::cout << "Connection error: answer message corrupted." << std::endl;
    }
    const bool isConnect = root.getName() == "connect";
    const std::string content = root.getContent("");
    if (isConnect && content == "true") {
        return true;
    }
    if (isConnect && content == "false") {
        std::cout << "Connection refused by the Soccer Server" << std::endl;
    }
    std::cout << "Invalid message received" << std::endl;
    return false;
}
