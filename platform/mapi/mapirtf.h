// The compressed-RTF property format and plain text from RTF.
#pragma once

#include "mapi/mapidefs.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel::mapi {

/// The stored form of \p raw: uncompressed ("MELA") or compressed ("LZFu").
std::string rtfEncode(const std::string& raw, bool uncompressed);
/// The raw content of a stored form, or nullopt when it is damaged.
std::optional<std::string> rtfDecode(const std::string& stored);
/// The checksum the compressed form carries over its data.
uint32_t rtfCrc(const std::string& data, uint32_t crc = 0);
/// True when \p content is an RTF document rather than plain text.
bool looksLikeRtf(const std::string& content);
/// The text of an RTF document, as UTF-8 (formatting and hidden groups
/// dropped, paragraph marks as line feeds).
std::string rtfToText(const std::string& rtf);
/// The plain text held in \p message's compressed-RTF property, if any.
std::optional<std::string> bodyFromRtfProperty(IMessage* message);

} // namespace quorvel::mapi
