// A property file, then the settings read from it as the agent reads them at
// start-up. Only the documented exceptions may come out.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "agent/Client.h"
#include "common/Logger.h"
#include "common/Properties.h"
#include "world/WorldData.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzQuietScratchDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    Properties props;
    try {
        props = PropertyReader().read(in);
    } catch (const BadPropertyFormatException&) {
        return 0;
    } catch (const PropertyStreamError&) {
        return 0;
    }
    std::ostringstream out;
    PropertyReader().write(out, "header", props);

    try {
        Client client(props);
    } catch (const std::exception&) {
        // Settings errors end start-up with a message, as they should.
    }
    try {
        WorldData world(props);
    } catch (const std::exception&) {
    }
    return 0;
}
