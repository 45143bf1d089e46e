// The parts of the default table that move bytes; they live beside libcurl.
#pragma once

#include "wininet_handles.h"

namespace quorvel::wininet::detail {

/// Initialises libcurl once per process; false when it cannot be used.
bool curlReady();
/// Sends the request and waits for the final response headers.
bool curlSendRequest(RequestHandle& request, const char* headers, DWORD headersLength,
                     const void* body, DWORD bodyLength);
/// Hands out what has arrived of the body, waiting only when nothing has.
bool curlReadFile(RequestHandle& request, void* buffer, DWORD toRead, DWORD* read);
/// Wakes the send or read under way on \p request, which then sees it closed.
void curlCancel(RequestHandle& request);

} // namespace quorvel::wininet::detail
