// What the HTTP front refuses once a request's headers are in, before reading its body.
#include "gateway/gatewayServerLimits.h"

#include "gateway/gatewayServer.h"

#include <microhttpd.h>

#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

namespace quorvel::gateway {

namespace {

struct Sizes {
  std::size_t count = 0;
  std::size_t longest = 0;
  std::size_t total = 0;
};

MHD_Result measure(void* cls, MHD_ValueKind, const char* key, const char* value) {
  auto* s = static_cast<Sizes*>(cls);
  const std::size_t line = std::strlen(key ? key : "") + 2 + std::strlen(value ? value : "") + 2;
  ++s->count;
  s->longest = std::max(s->longest, line);
  s->total += line;
  return MHD_YES;
}

// "/kavri?a=1&b=2" as it stood in the request line, near enough.
std::size_t targetLength(MHD_Connection* c, const char* url) {
  Sizes query;
  MHD_get_connection_values(c, MHD_GET_ARGUMENT_KIND, measure, &query);
  return std::strlen(url) + query.total;
}

bool crossSite(MHD_Connection* c) {
  if (MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Origin")) return true;
  const char* site = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Sec-Fetch-Site");
  return site && strcasecmp(site, "cross-site") == 0;
}

bool declaredOver(MHD_Connection* c, std::size_t maxBody) {
  const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
  if (!length) return false;
  const std::string_view text(length);
  unsigned long long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc::result_out_of_range || (ec == std::errc() && value > maxBody);
}

} // namespace

Answer tooLargeAnswer(std::size_t limit) {
  return errorAnswer("the request is larger than the gateway takes (" + std::to_string(limit) + " bytes)", 413);
}

std::optional<Answer> screenRequest(MHD_Connection* c, const char* url, const char* method, std::size_t maxBody) {
  if (std::strlen(method) + targetLength(c, url) + 11 > kMaxLineBytes)
    return plainAnswer(414, "Request line too long");
  Sizes headers;
  MHD_get_connection_values(c, MHD_HEADER_KIND, measure, &headers);
  if (headers.count > kMaxHeaders || headers.longest > kMaxLineBytes || headers.total > kMaxHeaderBytes)
    return plainAnswer(431, "Request header fields too large");
  if (declaredOver(c, maxBody))
    return tooLargeAnswer(maxBody);
  if (crossSite(c))
    return errorAnswer("requests from web pages are refused: this gateway takes requests from programs only", 403);
  return std::nullopt;
}

} // namespace quorvel::gateway
