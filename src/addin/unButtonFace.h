// The buttons' face on its way through the clipboard to PasteFace.
#pragma once

namespace quorvel {

/// While it lives, the clipboard holds the library's bitmap 101 (when it
/// loads; otherwise the clipboard is left alone). When it goes, the
/// clipboard gets back what it held before, so that adding the buttons
/// never destroys what the user had copied.
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

} // namespace quorvel
