// The server's two datagrams of the connect exchange: the acceptance and the
// server's own connect message.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "net/Connection.h"
#include "net/XmlConnection.h"
#include "xml/XMLSerializer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzQuietScratchDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Connection connection;
    const std::string text(reinterpret_cast<const char*>(data), size);
    connection.receiveConnectionResponse(text);

    const XMLItem root = XMLSerializer::documentToRoot(text.data(), text.size());
    ServerToClientConnect serverConnect;
    serverConnect.read(root);
    return 0;
}
