// Test support: reads the text and the title back out of a PDF that Qt wrote.
#pragma once

#include <string>

namespace quorvel {

/// The text shown on the pages of the PDF file \p path, one line per text
/// object, decoded through the fonts' ToUnicode maps; "" when unreadable.
std::string pdfText(const std::string& path);
/// The document title of the PDF file \p path (UTF-8).
std::string pdfTitle(const std::string& path);

} // namespace quorvel
