// The buttons' face on its way through the clipboard to PasteFace: bitmap
// resource 101 as CF_BITMAP, and the clipboard's former content put back.
#include "addin/unButtonFace.h"

#include "addin/unResources.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace quorvel {

namespace {

/// One clipboard format and a private copy of its data.
struct TSavedFormat {
  UINT format;
  HANDLE data; // a global memory block, or a bitmap for CF_BITMAP
};

/// What the clipboard held before the face went on it, and the window that
/// opens the clipboard to put it back.
struct TSavedClipboard {
  std::vector<TSavedFormat> formats;
  HWND window = nullptr;
};

// EmptyClipboard makes the window that opened the clipboard its owner; with
// none (OpenClipboard(NULL)) SetClipboardData fails. A message-only window
// of the system's static class is enough to own it.
HWND makeClipboardWindow() {
  return ::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           static_cast<HINSTANCE>(const_cast<void*>(HInstance())), nullptr);
}

bool openClipboard(HWND window) {
  return window && openClipboardRetrying([window] { return ::OpenClipboard(window) != FALSE; });
}

HANDLE copyGlobal(HANDLE source) {
  const SIZE_T size = ::GlobalSize(source);
  const void* from = ::GlobalLock(source);
  if (!from)
    return nullptr;
  HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (void* to = copy ? ::GlobalLock(copy) : nullptr) {
    std::memcpy(to, from, size);
    ::GlobalUnlock(copy);
  }
  ::GlobalUnlock(source);
  return copy;
}

// Formats held as global memory blocks can be copied byte for byte, and a
// bitmap as an image; metafiles, palettes and owner-drawn content stay
// behind (the system derives the synthesized formats again itself).
bool copyable(UINT format) {
  switch (format) {
  case CF_METAFILEPICT:
  case CF_ENHMETAFILE:
  case CF_PALETTE:
  case CF_OWNERDISPLAY:
  case CF_DSPBITMAP:
  case CF_DSPMETAFILEPICT:
  case CF_DSPENHMETAFILE:
    return false;
  default:
    return format < CF_GDIOBJFIRST || format > CF_GDIOBJLAST;
  }
}

void saveContent(TSavedClipboard& saved) {
  for (UINT format = ::EnumClipboardFormats(0); format; format = ::EnumClipboardFormats(format)) {
    if (!copyable(format))
      continue;
    HANDLE data = ::GetClipboardData(format);
    if (!data)
      continue;
    HANDLE copy = format == CF_BITMAP ? ::CopyImage(data, IMAGE_BITMAP, 0, 0, 0) : copyGlobal(data);
    if (copy)
      saved.formats.push_back({format, copy});
  }
}

void release(const TSavedFormat& saved) {
  if (saved.format == CF_BITMAP)
    ::DeleteObject(saved.data);
  else
    ::GlobalFree(saved.data);
}

/// Hands each saved format to the open clipboard, which owns what it
/// accepts; the others are freed.
void restoreContent(const TSavedClipboard& saved) {
  for (const TSavedFormat& f : saved.formats)
    if (!::SetClipboardData(f.format, f.data))
      release(f);
}

} // namespace

TClipboardFace::TClipboardFace() {
  HBITMAP face = static_cast<HBITMAP>(
      ::LoadImageW(static_cast<HINSTANCE>(const_cast<void*>(HInstance())),
                   MAKEINTRESOURCEW(kButtonFaceBitmap), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  if (!face)
    return;
  const HWND window = makeClipboardWindow();
  if (!openClipboard(window)) {
    ::DeleteObject(face);
    if (window)
      ::DestroyWindow(window);
    return;
  }
  auto* saved = new TSavedClipboard;
  saved->window = window;
  saveContent(*saved);
  ::EmptyClipboard();
  // The clipboard owns the bitmap once it is set.
  if (::SetClipboardData(CF_BITMAP, face)) {
    saved_ = saved;
    ::CloseClipboard();
    return;
  }
  ::DeleteObject(face);
  restoreContent(*saved);
  ::CloseClipboard();
  ::DestroyWindow(window);
  delete saved;
}

TClipboardFace::~TClipboardFace() {
  auto* saved = static_cast<TSavedClipboard*>(saved_);
  if (!saved)
    return;
  if (openClipboard(saved->window)) {
    ::EmptyClipboard();
    restoreContent(*saved);
    ::CloseClipboard();
  } else {
    // The face stays on a clipboard that cannot be had back.
    for (const TSavedFormat& f : saved->formats)
      release(f);
  }
  // What was set stays on the clipboard when its owner window goes.
  ::DestroyWindow(saved->window);
  delete saved;
}

} // namespace quorvel
