// The add-in's Windows parts under Wine: its resources found in the module
// that carries Quorvel.rc, and the buttons' face put on the clipboard with
// the clipboard's former content back afterwards, also when another
// program holds the clipboard.
#include "addin/unButtonFace.h"
#include "addin/unResources.h"
#include "winCheck.h"

#include <windows.h>

// The system names its own functions the same way, as macros.
#undef FindResource
#undef LoadBitmap

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

void resourcesAreFound() {
  quorvel::TResourceData typeLib;
  CHECK(quorvel::FindResource(quorvel::HInstance(), 1, "TYPELIB", &typeLib));
  CHECK(typeLib.size > 4 && std::memcmp(typeLib.data, "MSFT", 4) == 0);
  quorvel::TResourceData missing;
  CHECK(!quorvel::FindResource(quorvel::HInstance(), 102, "BITMAP", &missing));

  quorvel::TBitmap face;
  CHECK(quorvel::LoadBitmap(quorvel::HInstance(), quorvel::kButtonFaceBitmap, &face));
  CHECK(face.width == 16 && face.height == 16 && face.rgb.size() == 16 * 16 * 3);
  CHECK(quorvel::ownModulePath().find("addin_parts_win") != std::string::npos);
}

bool putText(const wchar_t* text) {
  if (!::OpenClipboard(nullptr)) return false;
  ::EmptyClipboard();
  const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  std::memcpy(::GlobalLock(block), text, bytes);
  ::GlobalUnlock(block);
  const bool set = ::SetClipboardData(CF_UNICODETEXT, block) != nullptr;
  ::CloseClipboard();
  return set;
}

std::wstring clipboardText() {
  std::wstring text;
  if (!::OpenClipboard(nullptr)) return L"<not opened>";
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(::GlobalLock(data));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return text;
}

void faceGoesThroughTheClipboard() {
  CHECK(putText(L"the user's copy"));
  {
    quorvel::TClipboardFace face;
    CHECK(face.placed());
    CHECK(::IsClipboardFormatAvailable(CF_BITMAP));
    CHECK(!::IsClipboardFormatAvailable(CF_UNICODETEXT));
    // Emptied by a window of the add-in's, which owns what was set.
    CHECK(::GetClipboardOwner() != nullptr);
  }
  CHECK(clipboardText() == L"the user's copy");
}

/// Another program's hold on the clipboard, played by a thread of this one:
/// it opens the clipboard with a window of its own and keeps it open until
/// let go.
class ClipboardHolder {
public:
  ClipboardHolder() {
    thread_ = std::thread([this] {
      HWND window = ::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, nullptr, nullptr);
      opened_ = window && ::OpenClipboard(window) != FALSE;
      ::SetEvent(holding_);
      ::WaitForSingleObject(letGo_, INFINITE);
      if (opened_) ::CloseClipboard();
      if (window) ::DestroyWindow(window);
    });
    ::WaitForSingleObject(holding_, INFINITE);
  }
  ~ClipboardHolder() {
    letGo();
    ::CloseHandle(holding_);
    ::CloseHandle(letGo_);
  }
  bool holds() const { return opened_; }
  /// Closes the clipboard and returns once it is closed.
  void letGo() {
    if (!thread_.joinable()) return;
    ::SetEvent(letGo_);
    thread_.join();
  }

private:
  HANDLE holding_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE letGo_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool opened_ = false;
  std::thread thread_;
};

void aHeldClipboardIsLeftAloneAndABrieflyHeldOneIsWaitedFor() {
  struct Case {
    const char* name;
    int letGoBefore; // the attempt before which the holder lets go; 0: never
    bool placed;
  };
  const Case cases[] = {{"held throughout", 0, false}, {"held for a moment", 3, true}};
  for (const Case& c : cases) {
    std::fprintf(stderr, "case: %s\n", c.name);
    CHECK(putText(L"the user's copy"));
    {
      ClipboardHolder holder;
      CHECK(holder.holds());
      int attempts = 0;
      quorvel::setClipboardHeld([&] {
        if (++attempts == c.letGoBefore) holder.letGo();
        return false; // the holder alone makes the attempts fail
      });
      quorvel::TClipboardFace face;
      quorvel::setClipboardHeld({});
      CHECK(face.placed() == c.placed);
      CHECK(attempts == (c.placed ? c.letGoBefore : 10));
      holder.letGo();
      CHECK(::IsClipboardFormatAvailable(CF_BITMAP) == c.placed);
    }
    CHECK(clipboardText() == L"the user's copy");
  }
}

} // namespace

int main() {
  resourcesAreFound();
  faceGoesThroughTheClipboard();
  aHeldClipboardIsLeftAloneAndABrieflyHeldOneIsWaitedFor();
  return quorvel::wintest::testResult();
}
