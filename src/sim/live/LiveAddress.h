#pragma once
// Addresses of the live HTTP server: the one to open in a browser, and which
// Host names a request may give when the server is bound to the loopback.
// A web page from elsewhere can point a name of its own at 127.0.0.1 and so
// reach a loopback server through the browser; the Host header it sends then
// names that page's site, which is why only loopback names are answered.

#include <string>

/// \brief Whether `host` (an address or a name) is this machine's loopback.
bool isLoopbackHost(const std::string& host);

/// \brief Whether a request's `Host` header value (with or without a port) names
/// `boundHost` or a loopback host.
bool hostHeaderAllowed(const std::string& hostHeader, const std::string& boundHost);

/// \brief The address to open in a browser for a server bound to `host`:`port`: for
/// the wildcard addresses, one of this machine's own (IPv6 literals bracketed).
std::string liveAddress(const std::string& host, int port);
