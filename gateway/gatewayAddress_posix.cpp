// What the gateway reads from numeric network addresses (through the POSIX address parser).
#include "gateway/gatewayAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstring>

namespace quorvel::gateway {

namespace {

bool mappedIpv4(const in6_addr& a) {
  static const unsigned char prefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  return std::memcmp(a.s6_addr, prefix, sizeof prefix) == 0;
}

std::string ipv4Text(const unsigned char* b) {
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

} // namespace

bool isLoopbackHost(const std::string& host) {
  if (host == "localhost") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return reinterpret_cast<const unsigned char*>(&v4)[0] == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, host.c_str(), &v6) != 1) return false;
  if (mappedIpv4(v6)) return v6.s6_addr[12] == 127;
  return IN6_IS_ADDR_LOOPBACK(&v6);
}

std::string clientGroup(const std::string& address) {
  in6_addr v6{};
  if (inet_pton(AF_INET6, address.c_str(), &v6) != 1) return address;
  if (mappedIpv4(v6)) return ipv4Text(v6.s6_addr + 12);
  char text[48];
  std::snprintf(text, sizeof text, "%x:%x:%x:%x::/64", v6.s6_addr[0] << 8 | v6.s6_addr[1],
                v6.s6_addr[2] << 8 | v6.s6_addr[3], v6.s6_addr[4] << 8 | v6.s6_addr[5],
                v6.s6_addr[6] << 8 | v6.s6_addr[7]);
  return text;
}

} // namespace quorvel::gateway
