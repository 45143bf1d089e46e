// Decoding of application/x-www-form-urlencoded request bodies.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::gateway {

/// One decoded name/value pair, in the order it appeared in the body.
using FormField = std::pair<std::string, std::string>;

/// Decodes a form body that arrives in pieces, handing on each field as soon
/// as it is complete, so that the body itself is never held whole. Fields
/// are split at "&" and at their first "="; "+" decodes as a blank, "%XX" as
/// a byte (also across piece boundaries). CR and LF characters at the very
/// end of the body are ignored (the clients end every body with CR LF), as
/// are empty parts.
class FormReader {
public:
  /// Receives each decoded field. The reader reuses its buffers for the next
  /// field, so a copy taken here is allocated once, at its exact size.
  using Sink = std::function<void(const std::string& name, const std::string& value)>;

  explicit FormReader(Sink sink) : sink_(std::move(sink)) {}

  /// Decodes the next piece of the body. Once a "%" is found that is not
  /// followed by two hexadecimal digits, the rest is ignored.
  void feed(std::string_view piece);
  /// Ends the body and hands on its last field; false when it was malformed.
  bool finish();
  /// False once a malformed escape was met.
  bool good() const { return good_; }

private:
  std::string& target() { return inValue_ ? value_ : name_; }
  void putRun(std::string_view run);
  void endField();
  void flushLineBreaks();

  Sink sink_;
  std::string name_;
  std::string value_;
  std::string lineBreaks_;  // CR/LF held back until it is known whether the body ends with them
  bool inValue_ = false;
  bool started_ = false;    // the current part holds at least one character
  int escapeDigits_ = -1;   // hexadecimal digits of a "%" escape still due: -1 none, else 0..1 seen
  int escapeValue_ = 0;
  bool good_ = true;
};

/// Splits \p body into its fields as FormReader does; returns nothing when a
/// "%" is not followed by two hexadecimal digits.
std::optional<std::vector<FormField>> parseForm(const std::string& body);

/// Decodes one form value; nothing on a malformed "%" escape.
std::optional<std::string> formDecode(const std::string& text);

/// Decodes the NUL-terminated \p text in place as a URL's query fields are
/// decoded: "%XX" and "+"; a "%" without two hexadecimal digits stays as it
/// is. Returns the decoded length (a decoded "%00" is a NUL within it).
std::size_t unescapeInPlace(char* text);

} // namespace quorvel::gateway
