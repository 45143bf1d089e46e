// The buttons' face on its way through the clipboard to PasteFace.
#pragma once

#include <functional>

namespace quorvel {

/// While it lives, the clipboard holds the library's bitmap 101 (when it
/// loads and the clipboard can be opened; otherwise the clipboard is left
/// alone). When it goes, the clipboard gets back what it held before, so
/// that adding the buttons never destroys what the user had copied.
class TClipboardFace {
public:
  TClipboardFace();
  ~TClipboardFace();
  TClipboardFace(const TClipboardFace&) = delete;
  TClipboardFace& operator=(const TClipboardFace&) = delete;

  /// True when the bitmap loaded and went on the clipboard.
  bool placed() const { return saved_ != nullptr; }

private:
  void* saved_ = nullptr; // the clipboard's former content
};

/// Asked before each attempt at opening the clipboard: true means another
/// program holds it, and the attempt fails.
using TClipboardHeld = std::function<bool()>;

/// For tests: whether the clipboard is held by another program at an
/// attempt; an empty function restores the default (never held, beyond
/// what the system itself reports).
void setClipboardHeld(TClipboardHeld held);

/// Opens the clipboard with \p open, which makes one attempt and answers
/// whether the clipboard is now ours. Another program may hold it for a
/// moment, so a failed attempt is repeated a few times after a short pause
/// (ten attempts 50 ms apart). False when every attempt failed. For the
/// toolkit's own half of this module.
bool openClipboardRetrying(const std::function<bool()>& open);

} // namespace quorvel
