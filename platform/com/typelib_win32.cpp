// Type-library registration on Windows: the library compiled into the
// file is loaded from it and registered by oleaut32, so that the keys are
// the system's own.
#include "com/native_win32.h"
#include "com/typelib.h"

#include "util/unTextCodec.h"

namespace quorvel::com {

using namespace native;

HRESULT RegisterTypeLib(const TypeLibDesc& lib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
  if (!szFullPath || !*szFullPath) return E_INVALIDARG;
  ::ITypeLib* loaded = nullptr;
  HRESULT hr = ::LoadTypeLibEx(wide(szFullPath), REGKIND_NONE, &loaded);
  if (FAILED(hr)) return hr;
  // The file must carry the library described, not some other one.
  ::TLIBATTR* attr = nullptr;
  hr = loaded->GetLibAttr(&attr);
  if (SUCCEEDED(hr)) {
    const bool same = IsEqualGUID(attr->guid, guid(lib.libid)) &&
                      attr->wMajorVerNum == lib.majorVersion &&
                      attr->wMinorVerNum == lib.minorVersion;
    loaded->ReleaseTLibAttr(attr);
    // The system's declaration takes the texts without const; it only reads them.
    hr = same ? ::RegisterTypeLib(loaded, const_cast<wchar_t*>(wide(szFullPath)),
                                  const_cast<wchar_t*>(wide(szHelpDir)))
              : TYPE_E_LIBNOTREGISTERED;
  }
  loaded->Release();
  return hr;
}

HRESULT UnRegisterTypeLib(const TypeLibDesc& lib, SYSKIND syskind) {
  return ::UnRegisterTypeLib(guid(lib.libid), lib.majorVersion, lib.minorVersion, lib.lcid,
                             ::SYSKIND(syskind));
}

std::string registeredTypeLibPath(REFGUID libid, WORD major, WORD minor, LCID lcid) {
  ::BSTR path = nullptr;
  if (FAILED(::QueryPathOfRegTypeLib(guid(libid), major, minor, lcid, &path))) return {};
  std::string text = utf16ToUtf8(std::u16string(ours(path), ::SysStringLen(path)));
  ::SysFreeString(path);
  return text;
}

} // namespace quorvel::com
