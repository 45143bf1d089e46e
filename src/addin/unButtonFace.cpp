// The toolkit-free part of the button face: opening a clipboard that
// another program may hold for a moment.
#include "addin/unButtonFace.h"

#include <chrono>
#include <thread>
#include <utility>

namespace quorvel {

namespace {

constexpr int kOpenAttempts = 10;
constexpr std::chrono::milliseconds kOpenPause{50};

TClipboardHeld& heldSlot() {
  static TClipboardHeld held;
  return held;
}

} // namespace

void setClipboardHeld(TClipboardHeld held) { heldSlot() = std::move(held); }

bool openClipboardRetrying(const std::function<bool()>& open) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    // The pause gives the holder time to finish; it is not waited for otherwise.
    if (attempt > 0)
      std::this_thread::sleep_for(kOpenPause);
    const TClipboardHeld& held = heldSlot();
    if (held && held())
      continue;
    if (open())
      return true;
  }
  return false;
}

} // namespace quorvel
