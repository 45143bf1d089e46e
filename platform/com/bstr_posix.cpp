// BSTR: 16-bit strings with a 32-bit byte count in front of the text.
#include "com/oleauto.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace quorvel::com {

namespace {
constexpr size_t kPrefix = sizeof(uint32_t);

uint32_t* header(BSTR b) { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(b) - kPrefix); }
} // namespace

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (ui > (std::numeric_limits<uint32_t>::max() - kPrefix - 2) / 2) return nullptr;
  size_t bytes = size_t(ui) * sizeof(OLECHAR);
  char* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  uint32_t len = uint32_t(bytes);
  std::memcpy(block, &len, kPrefix);
  BSTR b = reinterpret_cast<BSTR>(block + kPrefix);
  if (strIn)
    std::memcpy(b, strIn, bytes);
  else
    std::memset(b, 0, bytes);
  b[ui] = 0;
  return b;
}

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  return SysAllocStringLen(psz, UINT(std::char_traits<char16_t>::length(psz)));
}

void SysFreeString(BSTR bstrString) {
  if (bstrString) std::free(header(bstrString));
}

UINT SysStringByteLen(BSTR bstr) { return bstr ? *header(bstr) : 0; }

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (!pbstr) return FALSE;
  BSTR fresh = SysAllocString(psz);
  if (psz && !fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

} // namespace quorvel::com
