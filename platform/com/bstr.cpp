// BSTR helpers shared by every platform: UTF-8 conversions and the owning Bstr.
#include "com/oleauto.h"

#include "util/unTextCodec.h"

#include <utility>

namespace quorvel::com {

BSTR bstrFromUtf8(const std::string& s) {
  std::u16string w = utf8ToUtf16(s);
  return SysAllocStringLen(w.data(), UINT(w.size()));
}

std::u16string bstrToU16(BSTR b) { return b ? std::u16string(b, SysStringLen(b)) : std::u16string(); }

std::string bstrToUtf8(BSTR b) { return utf16ToUtf8(bstrToU16(b)); }

// ---- Bstr ----------------------------------------------------------------

Bstr::Bstr(const std::string& utf8) : b_(bstrFromUtf8(utf8)) {}
Bstr::Bstr(const std::u16string& s) : b_(SysAllocStringLen(s.data(), UINT(s.size()))) {}
Bstr::Bstr(const Bstr& o) : b_(o.b_ ? SysAllocStringLen(o.b_, o.length()) : nullptr) {}
Bstr::Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
Bstr& Bstr::operator=(Bstr o) noexcept {
  std::swap(b_, o.b_);
  return *this;
}
Bstr::~Bstr() { SysFreeString(b_); }

Bstr Bstr::adopt(BSTR b) {
  Bstr r;
  r.b_ = b;
  return r;
}

BSTR Bstr::detach() { return std::exchange(b_, nullptr); }

BSTR* Bstr::put() {
  SysFreeString(std::exchange(b_, nullptr));
  return &b_;
}

} // namespace quorvel::com
