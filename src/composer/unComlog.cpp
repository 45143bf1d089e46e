// Cutting the communication log to its last lines.
#include "composer/unComlog.h"

namespace quorvel {

std::string keepLastLines(const std::string& text, std::size_t maxLines) {
  // Walk back over maxLines line ends (a final LF only closes the last line).
  std::size_t end = text.size();
  if (end > 0 && text[end - 1] == '\n')
    --end;
  std::size_t seen = 0;
  std::size_t pos = end;
  while (pos > 0) {
    const std::size_t lf = text.rfind('\n', pos - 1);
    if (lf == std::string::npos)
      return text;
    if (++seen == maxLines)
      return text.substr(lf + 1);
    pos = lf;
  }
  return text;
}

} // namespace quorvel
