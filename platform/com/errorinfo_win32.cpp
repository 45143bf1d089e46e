// Error objects and the per-thread error slot on Windows: oleaut32's, so
// that the host reads what we set and we read what it sets.
#include "com/native_win32.h"

namespace quorvel::com {

using namespace native;

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  return ::CreateErrorInfo(as<::ICreateErrorInfo*>(pperrinfo));
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  return ::SetErrorInfo(dwReserved, as<::IErrorInfo>(perrinfo));
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  return ::GetErrorInfo(dwReserved, as<::IErrorInfo*>(pperrinfo));
}

} // namespace quorvel::com
