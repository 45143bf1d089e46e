// The add-in's Windows parts under Wine: its resources found in the module
// that carries Quorvel.rc, and the buttons' face put on the clipboard with
// the clipboard's former content back afterwards.
#include "addin/unButtonFace.h"
#include "addin/unResources.h"

#include <windows.h>

// The system names its own functions the same way, as macros.
#undef FindResource
#undef LoadBitmap

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int failures = 0;

#define CHECK(cond)                                                                                \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      std::printf("%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #cond);                         \
      ++failures;                                                                                  \
    }                                                                                              \
  } while (0)

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
  }
  CHECK(clipboardText() == L"the user's copy");
}

} // namespace

int main() {
  resourcesAreFound();
  faceGoesThroughTheClipboard();
  std::printf("%d failure(s)\n", failures);
  return failures == 0 ? 0 : 1;
}
