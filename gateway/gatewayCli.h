// The quorvel-gateway command line: serve, account and messages commands.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::gateway {

/// Host and port of a --listen value.
struct ListenAddress {
  std::string host;
  int port = 0;
};

/// Reads "HOST:PORT", "[IPv6]:PORT" or a bare "PORT" (on the loopback
/// address); nothing when the port is not a number from 0 to 65535.
std::optional<ListenAddress> parseListenAddress(const std::string& text);

/// Runs the command in \p args (without the program name) and returns the
/// exit status: 0 done, 1 failed, 2 wrong usage. A password given as "-" is
/// read as one line from \p in.
int runCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace quorvel::gateway
