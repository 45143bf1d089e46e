// Fuzz target: the gateway's form decoding and request reading.
// Properties: decoded fields encode back to a body that decodes to the same
// fields; reading a request never throws and never holds more send items
// than the body has fields, whatever messageCount says; a body read in
// pieces, its sign-in run when the credentials complete or only at the end,
// reads as the whole body does; a query decoded in place agrees with the
// form decoding wherever that takes the text.
#include "fuzzInput.h"

#include "gateway/gatewayForm.h"
#include "gateway/gatewayRequest.h"

#include <memory>
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

struct AcceptAll : SignInCheck {
  bool signIn(const std::string&, const std::string&) override { return true; }
};

// What a read request comes to, as text to compare.
std::string summary(const ReadRequest& read) {
  if (const auto* error = std::get_if<RequestError>(&read)) return "error: " + error->message;
  const ParsedRequest& r = std::get<ParsedRequest>(read);
  std::string s = r.login + "\n" + r.password + "\n";
  if (const auto* error = std::get_if<RequestError>(&r.action)) return s + "action error: " + error->message;
  if (const auto* send = std::get_if<SendRequest>(&r.action))
    for (const SendItem& item : send->items) s += item.recipient + "=" + item.text + "\n";
  return s + std::to_string(r.action.index());
}

std::string readInPieces(const std::string& body, size_t piece, bool signInAtOnce) {
  RequestReader reader(std::make_unique<AcceptAll>());
  for (size_t at = 0; at < body.size(); at += piece) {
    reader.feed(std::string_view(body).substr(at, piece));
    if (signInAtOnce && reader.signInPending()) reader.signIn();
  }
  return summary(reader.finish());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const auto fields = parseForm(body);
  if (fields) checkFormRoundTrip(*fields);
  (void)formDecode(body);
  checkRequest(body, fields ? fields->size() : 0);
  std::string query = body.substr(0, body.find('\0'));
  const auto decoded = formDecode(query);
  query.resize(unescapeInPlace(query.data()));
  check(!decoded || *decoded == query, "a query decodes as a form value", body);
  if (!body.empty()) {
    const std::string whole = readInPieces(body, body.size(), false);
    const size_t piece = 1 + static_cast<unsigned char>(body[0]) % 64;
    check(readInPieces(body, piece, true) == whole, "a body in pieces reads as the whole", body);
    check(readInPieces(body, piece, false) == whole, "a sign-in run late reads as one run at once", body);
  }
  return 0;
}
