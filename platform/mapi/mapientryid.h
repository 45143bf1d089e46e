// Entry ids of the library: four flag bytes, the id of the provider that
// issued them, then the provider's own payload.
#pragma once

#include "mapi/mapidefs.h"

#include <optional>
#include <string>

namespace quorvel::mapi {

inline constexpr GUID kContactsProvider = {0x7a1c3e52, 0x41b0, 0x4c7e, {0x9d, 0x12, 0x51, 0x0b, 0x6e, 0x33, 0xa0, 0x01}};
inline constexpr GUID kOneOffProvider = {0x7a1c3e52, 0x41b0, 0x4c7e, {0x9d, 0x12, 0x51, 0x0b, 0x6e, 0x33, 0xa0, 0x02}};
inline constexpr GUID kStoreProvider = {0x7a1c3e52, 0x41b0, 0x4c7e, {0x9d, 0x12, 0x51, 0x0b, 0x6e, 0x33, 0xa0, 0x03}};

std::string makeEntryId(const GUID& provider, const std::string& payload);
/// The payload of an entry id issued by \p provider, or nullopt.
std::optional<std::string> entryIdPayload(ULONG cb, const ENTRYID* id, const GUID& provider);
std::optional<std::string> entryIdPayload(const std::string& id, const GUID& provider);

/// Hands \p id out as a MAPIAllocateBuffer copy.
HRESULT copyEntryId(const std::string& id, ULONG* cb, ENTRYID** out);

} // namespace quorvel::mapi
