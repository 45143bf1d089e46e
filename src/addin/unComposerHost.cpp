// The composer host's toolkit-free part: the maker and error box that tests
// and other hosts put in place of the defaults.
#include "addin/unComposerHost.h"

#include <utility>

namespace quorvel {

namespace {

TComposerMaker& composerMakerSlot() {
  static TComposerMaker maker;
  return maker;
}

TErrorBox& errorBoxSlot() {
  static TErrorBox box;
  return box;
}

} // namespace

void setComposerMaker(TComposerMaker maker) { composerMakerSlot() = std::move(maker); }

void setErrorBox(TErrorBox box) { errorBoxSlot() = std::move(box); }

const TComposerMaker& composerMaker() { return composerMakerSlot(); }

const TErrorBox& errorBox() { return errorBoxSlot(); }

} // namespace quorvel
