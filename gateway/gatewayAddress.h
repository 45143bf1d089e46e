// What the gateway reads from numeric network addresses: loopback or not, and whose they are.
#pragma once

#include <string>

namespace quorvel::gateway {

/// True for an address only this machine can reach: "localhost", 127.0.0.0/8,
/// "::1" and IPv4 loopback addresses mapped into IPv6. Names other than
/// "localhost" and wildcards ("0.0.0.0", "::") are not loopback.
bool isLoopbackHost(const std::string& host);

/// The part of a client's numeric address that one client holds: the whole
/// IPv4 address (also when mapped into IPv6), the first 64 bits of an IPv6
/// address (one network's hosts get a whole /64). Text that is no numeric
/// address is returned as it is.
std::string clientGroup(const std::string& address);

} // namespace quorvel::gateway
