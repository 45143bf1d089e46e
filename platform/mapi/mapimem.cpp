// MAPIAllocateBuffer, MAPIAllocateMore and MAPIFreeBuffer: buffers that carry
// their follow-up allocations, so one MAPIFreeBuffer frees a whole result.
#include "mapi/mapiexports.h"

#include <cstdlib>
#include <new>

namespace quorvel::mapi {
namespace {

constexpr uint32_t kMagicRoot = 0x4D415042;  // a buffer of its own
constexpr uint32_t kMagicMore = 0x4D41504D;  // hangs on a root buffer

struct alignas(16) Header {
  uint32_t magic;
  uint32_t size;
  Header* next; // root: first follow-up; follow-up: the next one
};

Header* headerOf(void* p) { return static_cast<Header*>(p) - 1; }

SCODE allocate(ULONG cb, uint32_t magic, Header** out) {
  void* raw = std::calloc(1, sizeof(Header) + cb);
  if (!raw)
    return MAPI_E_NOT_ENOUGH_MEMORY;
  auto* h = new (raw) Header{magic, cb, nullptr};
  *out = h;
  return S_OK;
}

} // namespace

SCODE MAPIAllocateBuffer(ULONG cbSize, void** lppBuffer) {
  if (!lppBuffer)
    return MAPI_E_INVALID_PARAMETER;
  *lppBuffer = nullptr;
  Header* h = nullptr;
  SCODE sc = allocate(cbSize, kMagicRoot, &h);
  if (sc == S_OK)
    *lppBuffer = h + 1;
  return sc;
}

SCODE MAPIAllocateMore(ULONG cbSize, void* lpObject, void** lppBuffer) {
  if (!lppBuffer || !lpObject)
    return MAPI_E_INVALID_PARAMETER;
  *lppBuffer = nullptr;
  Header* root = headerOf(lpObject);
  if (root->magic != kMagicRoot)
    return MAPI_E_INVALID_PARAMETER;
  Header* h = nullptr;
  SCODE sc = allocate(cbSize, kMagicMore, &h);
  if (sc != S_OK)
    return sc;
  h->next = root->next;
  root->next = h;
  *lppBuffer = h + 1;
  return S_OK;
}

ULONG MAPIFreeBuffer(void* lpBuffer) {
  if (!lpBuffer)
    return S_OK;
  Header* root = headerOf(lpBuffer);
  if (root->magic != kMagicRoot)
    return ULONG(MAPI_E_INVALID_PARAMETER); // a follow-up goes with its root
  for (Header* h = root->next; h;) {
    Header* next = h->next;
    std::free(h);
    h = next;
  }
  std::free(root);
  return S_OK;
}

} // namespace quorvel::mapi
