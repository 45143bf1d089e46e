// Small string routines used to cut gateway answers and user input apart.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel {

/// The error raised wherever the system converts malformed text to a number.
class EConvertError : public std::exception {
public:
  explicit EConvertError(std::string msg) : msg_(std::move(msg)) {}
  const char* what() const noexcept override { return msg_.c_str(); }

private:
  std::string msg_;
};

/// Strict text-to-integer conversion: optional blanks, optional sign, decimal
/// digits, 32-bit range. Raises EConvertError for anything else ("" included).
int32_t StrToInt(const std::string& s);

/// The first \p num bytes of \p s (all of it when longer, empty when num <= 0).
std::string leftstr(const std::string& s, int num);
/// The last \p num bytes of \p s (all of it when longer, empty when num <= 0).
std::string rightstr(const std::string& s, int num);
/// \p s without its first \p num bytes; empty when num exceeds the length.
std::string chopfront(const std::string& s, int num);
/// Removes leading and trailing LF, CR, space, TAB and NUL.
std::string trim(const std::string& s);
/// A leading "-" (when more follows) and every digit of \p s, in order.
std::string toNumber(const std::string& s);
/// toNumber converted to a 32-bit integer; "" gives 0. Raises EConvertError
/// for "-" alone or a value out of range.
int32_t toIntNumber(const std::string& s);
/// "1" or "0".
std::string boolToString(bool b);
/// True exactly for "1".
bool stringToBool(const std::string& s);
/// Returns the text before the first \p pattern and removes it and the
/// pattern from \p s; returns "" and leaves \p s alone when absent.
std::string splitHead(const std::string& pattern, std::string& s);
/// Appends the segments of \p str split at \p pattern (ASCII case ignored).
void splittolist(const std::string& pattern, const std::string& str,
                 std::vector<std::string>& targetlist);
/// Replaces every occurrence of \p mit in \p hol by \p mire, left to right.
std::string strReplace(const std::string& mit, const std::string& mire,
                       const std::string& hol);
/// Decodes the five predefined XML entities in a single pass.
std::string fromXmlReady(const std::string& encoded);
/// Splits a URL into host, port (decimal text) and object path.
void kaUrlSplitter(const std::string& url, std::string& host, std::string& port,
                   std::string& data);

/// Escapes backslash, CR and LF so that any text fits on one line.
std::u16string toFakeSingleLine(const std::u16string& s);
/// Reverses toFakeSingleLine.
std::u16string fromFakeSingleLine(const std::u16string& s);
/// Removes every LF, CR and TAB.
std::u16string singleline(const std::u16string& s);

} // namespace quorvel
