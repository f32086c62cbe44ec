#pragma once
// A failed cycle is reported and the program goes on with the next one.

#include <string>

#include "common/ClientException.h"

/// \brief Logs the failure and writes "Client <nick> exception: loop principal:<text>" on standard output.
void reportClientException(const std::string& nickname, const ClientException& e);
