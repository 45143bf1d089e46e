// Entry ids of the library: four flag bytes, the id of the provider that
// issued them, then the provider's own payload.
#include "mapi/mapientryid.h"

#include "mapi/mapiexports.h"

#include <cstring>

namespace quorvel::mapi {

std::string makeEntryId(const GUID& provider, const std::string& payload) {
  std::string id(4, '\0');
  id.append(reinterpret_cast<const char*>(&provider), sizeof provider);
  return id + payload;
}

std::optional<std::string> entryIdPayload(const std::string& id, const GUID& provider) {
  constexpr size_t head = 4 + sizeof(GUID);
  if (id.size() < head || id.compare(0, 4, std::string(4, '\0')) != 0 ||
      std::memcmp(id.data() + 4, &provider, sizeof provider) != 0)
    return std::nullopt;
  return id.substr(head);
}

std::optional<std::string> entryIdPayload(ULONG cb, const ENTRYID* id, const GUID& provider) {
  if (!id)
    return std::nullopt;
  return entryIdPayload(std::string(reinterpret_cast<const char*>(id), cb), provider);
}

HRESULT copyEntryId(const std::string& id, ULONG* cb, ENTRYID** out) {
  if (!cb || !out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  *cb = 0;
  void* mem = nullptr;
  if (SCODE sc = MAPIAllocateBuffer(ULONG(id.size()), &mem); sc != S_OK)
    return sc;
  std::memcpy(mem, id.data(), id.size());
  *out = static_cast<ENTRYID*>(mem);
  *cb = ULONG(id.size());
  return S_OK;
}

} // namespace quorvel::mapi
