// The WinINet code a Windows build would report for a libcurl failure.
#pragma once

#include "wininet_tls.h"

namespace quorvel::wininet::detail {

/// Maps a libcurl result (CURLcode), the operating-system error behind it and
/// what the TLS handshake ran into to a WinINet error code (0 for success).
DWORD mapCurlError(int curlCode, long osError, const TlsPolicy& tls);

} // namespace quorvel::wininet::detail
