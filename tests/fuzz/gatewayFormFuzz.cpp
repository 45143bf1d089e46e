// Fuzz target: the gateway's form decoding and request reading.
// Properties: decoded fields encode back to a body that decodes to the same
// fields; reading a request never throws and never holds more send items
// than the body has fields, whatever messageCount says.
#include "fuzzInput.h"

#include "gateway/gatewayForm.h"
#include "gateway/gatewayRequest.h"

#include <variant>

using namespace quorvel::gateway;
using quorvel::fuzz::check;

namespace {

std::string formEncode(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c == ' ') {
      out += '+';
    } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               c == '-' || c == '_' || c == '.' || c == '*') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

void checkFormRoundTrip(const std::vector<FormField>& fields) {
  std::string body;
  for (const auto& [name, value] : fields)
    body += (body.empty() ? "" : "&") + formEncode(name) + "=" + formEncode(value);
  const auto again = parseForm(body + "\r\n");
  check(again.has_value(), "an encoded form decodes", body);
  check(*again == fields, "an encoded form decodes to the same fields", body);
}

void checkRequest(const std::string& body, size_t fieldCount) {
  const auto parsed = parseRequest(body);
  if (const auto* error = std::get_if<RequestError>(&parsed)) {
    check(!error->message.empty(), "a refusal says why");
    return;
  }
  const ParsedRequest& request = std::get<ParsedRequest>(parsed);
  if (const auto* error = std::get_if<RequestError>(&request.action))
    check(!error->message.empty(), "a refused action says why");
  if (const auto* send = std::get_if<SendRequest>(&request.action)) {
    check(!send->items.empty(), "a send request holds a message");
    check(send->items.capacity() <= fieldCount, "send items are bounded by the body's fields");
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const auto fields = parseForm(body);
  if (fields) checkFormRoundTrip(*fields);
  (void)formDecode(body);
  checkRequest(body, fields ? fields->size() : 0);
  return 0;
}
