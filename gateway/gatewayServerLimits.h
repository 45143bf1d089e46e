// What the HTTP front refuses once a request's headers are in, before reading its body.
#pragma once

#include "gateway/gatewayAnswers.h"

#include <cstddef>
#include <optional>

struct MHD_Connection;

namespace quorvel::gateway {

/// The 413 refusal of a body over \p limit bytes.
Answer tooLargeAnswer(std::size_t limit);

/// The refusal for a request whose headers are in, or nothing when it may
/// go on: 414 for a request line over kMaxLineBytes, 431 for a header line
/// over it or more than kMaxHeaders headers or kMaxHeaderBytes in all, 413
/// for a declared body over \p maxBody, 403 for a browser's cross-site
/// request (an Origin header, or Sec-Fetch-Site: cross-site).
std::optional<Answer> screenRequest(MHD_Connection* connection, const char* url, const char* method,
                                    std::size_t maxBody);

} // namespace quorvel::gateway
