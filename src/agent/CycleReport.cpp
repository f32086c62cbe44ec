#include "agent/CycleReport.h"

#include <iostream>

#include "common/Logger.h"

void reportClientException(const std::string& nickname, const ClientException& e)
{
    LOG(log_DEBUG) << "Client exception: loop principal ";
    std::cout << "Client " << nickname << " exception: loop principal:" << e.what() << std::endl;
}
