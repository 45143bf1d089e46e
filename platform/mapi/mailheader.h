// One mail header field written with folding within the mail line limits.
#pragma once

#include <string>

namespace quorvel::mapi {

/// Builds one header field from pieces, so that lines holding encoded words
/// stay within 76 characters (RFC 2047) and no line passes 998 octets
/// (RFC 5322) as long as no piece is that long. A piece written after blanks may
/// start a new line (the line break goes before the blanks, so unfolding
/// gives the text back exactly); glued pieces never do.
class HeaderField {
public:
  /// Lines are folded before they pass this length where they can be.
  static constexpr size_t kFoldAt = 76;
  /// Room kept at the end of a line for a glued ",", ":;" or ":;,".
  static constexpr size_t kGlueRoom = 3;

  /// Starts the field "name:".
  explicit HeaderField(const std::string& name);

  /// Appends \p text after \p blanks (one or more blanks), on a new line
  /// when it would not fit on this one with room for a glued piece.
  void add(const std::string& blanks, const std::string& text);
  /// Appends \p text right after what is there, on the same line.
  void glue(const std::string& text);
  /// Appends printable ASCII text after one blank, folded at its own blanks.
  void addText(const std::string& text);
  /// Appends UTF-8 text after one blank as encoded words, each sized to the
  /// room left on its line (with room for a glued ",", ":;" or ":;,").
  void addEncoded(const std::string& text);
  /// Makes the next added piece start a new line.
  void breakLine() { breakNext_ = true; }

  /// The field with its final line break.
  std::string str() const { return out_ + "\n"; }

private:
  void fold();
  size_t room() const;

  std::string out_;
  size_t column_ = 0;
  bool breakNext_ = false;
  bool empty_ = true; // nothing after the field name yet
};

/// The longest run of blanks, or of characters other than blanks, in \p s.
size_t longestRun(const std::string& s);

} // namespace quorvel::mapi
