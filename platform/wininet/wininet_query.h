// Answers to HttpQueryInfoA from raw header blocks; shared by every table.
#pragma once

#include "wininet/wininet.h"

#include <string>

namespace quorvel::wininet::detail {

/// Answers the query \p infoLevel from the raw request and response header
/// blocks (CR LF line ends, blank line at the end), with HttpQueryInfoA's
/// buffer rules: the text and a NUL, ERROR_INSUFFICIENT_BUFFER and the size
/// needed when it does not fit, ERROR_HTTP_HEADER_NOT_FOUND when absent.
bool queryHeaders(const std::string& requestHeaders, const std::string& responseHeaders,
                  DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index);

/// The value of the \p occurrence-th header called \p name (ASCII case
/// ignored) in a raw block; false when there is none.
bool findHeader(const std::string& block, const std::string& name, DWORD occurrence,
                std::string& value);

/// The status code of a raw response block ("HTTP/1.1 404 Not Found" gives 404), 0 if none.
int statusCodeOf(const std::string& block);

} // namespace quorvel::wininet::detail
