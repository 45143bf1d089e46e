// Answers to HttpQueryInfoA from raw header blocks.
#include "wininet_query.h"

#include <cstring>
#include <string_view>

namespace quorvel::wininet::detail {

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool fail(DWORD code) {
  SetLastError(code);
  return false;
}

bool answerText(const std::string& text, void* buffer, DWORD* bufferLength) {
  if (!bufferLength) return fail(ERROR_INVALID_PARAMETER);
  const DWORD needed = static_cast<DWORD>(text.size() + 1);
  if (!buffer || *bufferLength < needed) {
    *bufferLength = needed;
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, text.data(), text.size());
  static_cast<char*>(buffer)[text.size()] = '\0';
  *bufferLength = static_cast<DWORD>(text.size());
  return true;
}

bool answerNumber(const std::string& text, void* buffer, DWORD* bufferLength) {
  if (!bufferLength) return fail(ERROR_INVALID_PARAMETER);
  if (!buffer || *bufferLength < sizeof(DWORD)) {
    *bufferLength = sizeof(DWORD);
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  DWORD n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return fail(ERROR_HTTP_INVALID_HEADER);
    n = n * 10 + static_cast<DWORD>(c - '0');
  }
  std::memcpy(buffer, &n, sizeof n);
  *bufferLength = sizeof n;
  return true;
}

const char* headerNameOf(DWORD level) {
  switch (level) {
  case HTTP_QUERY_CONTENT_TYPE: return "Content-Type";
  case HTTP_QUERY_CONTENT_LENGTH: return "Content-Length";
  default: return nullptr;
  }
}

} // namespace

bool findHeader(const std::string& block, const std::string& name, DWORD occurrence,
                std::string& value) {
  std::string_view rest(block);
  bool first = true; // the request or status line is no header
  while (!rest.empty()) {
    size_t eol = rest.find('\n');
    std::string_view line = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      first = false;
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || !sameIgnoringCase(line.substr(0, colon), name)) continue;
    if (occurrence-- == 0) {
      value = std::string(trimBlanks(line.substr(colon + 1)));
      return true;
    }
  }
  return false;
}

int statusCodeOf(const std::string& block) {
  size_t sp = block.find(' ');
  if (sp == std::string::npos) return 0;
  int code = 0;
  for (size_t i = sp + 1; i < block.size() && i < sp + 4; ++i) {
    if (block[i] < '0' || block[i] > '9') return 0;
    code = code * 10 + (block[i] - '0');
  }
  return code;
}

bool queryHeaders(const std::string& requestHeaders, const std::string& responseHeaders,
                  DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index) {
  const bool ofRequest = infoLevel & HTTP_QUERY_FLAG_REQUEST_HEADERS;
  const bool asNumber = infoLevel & HTTP_QUERY_FLAG_NUMBER;
  const DWORD level = infoLevel & 0xFFFF;
  const std::string& block = ofRequest ? requestHeaders : responseHeaders;

  if (level == HTTP_QUERY_RAW_HEADERS_CRLF && !asNumber) {
    if (block.empty()) return fail(ERROR_HTTP_HEADER_NOT_FOUND);
    return answerText(block, buffer, bufferLength);
  }
  if (level == HTTP_QUERY_STATUS_CODE && !ofRequest) {
    const int code = statusCodeOf(block);
    if (code == 0) return fail(ERROR_HTTP_HEADER_NOT_FOUND);
    const std::string text = std::to_string(code);
    return asNumber ? answerNumber(text, buffer, bufferLength)
                    : answerText(text, buffer, bufferLength);
  }
  const char* name = headerNameOf(level);
  if (!name) return fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
  const DWORD occurrence = index ? *index : 0;
  std::string value;
  if (!findHeader(block, name, occurrence, value)) return fail(ERROR_HTTP_HEADER_NOT_FOUND);
  const bool ok = asNumber ? answerNumber(value, buffer, bufferLength)
                           : answerText(value, buffer, bufferLength);
  if (ok && index) *index = occurrence + 1;
  return ok;
}

} // namespace quorvel::wininet::detail
