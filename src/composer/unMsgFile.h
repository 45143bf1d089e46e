// The message file: To, Cc and text of a message on three lines.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

/// What a message file holds; all texts UTF-8.
struct TMsgFileContent {
  std::string to;   ///< the To field
  std::string cc;   ///< the Cc field
  std::string text; ///< the message text, line breaks included
};

/// The file bytes: the To text, the escaped Cc text and the escaped message
/// text, each followed by CR LF. Every line break in Cc and text (CR LF, a
/// lone LF or a lone CR) is written as backslash-r backslash-n. A To text
/// starting with U+FEFF is preceded by a byte-order mark, so that it reads
/// back whole.
std::string encodeMsgFile(const TMsgFileContent& content);

/// Splits \p text into lines ending at CR LF, a lone CR or a lone LF; a final
/// line break does not start another line.
std::vector<std::string> splitTextLines(const std::string& text);

/// Reads file bytes written by encodeMsgFile. Bytes that are not valid UTF-8
/// are read as Windows-1252; one byte-order mark at the start is skipped.
/// Returns nothing for fewer than three lines.
std::optional<TMsgFileContent> decodeMsgFile(const std::string& bytes);

} // namespace quorvel
