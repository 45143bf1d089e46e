// Initialisation, activation, ProgIDs, task memory and the running-object
// table on Windows: ole32 and oleaut32 themselves.
#include "com/native_win32.h"

namespace quorvel::com {

using namespace native;

// ---- Initialisation ------------------------------------------------------

HRESULT CoInitialize(void* pvReserved) { return ::CoInitialize(pvReserved); }

HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit) {
  return ::CoInitializeEx(pvReserved, dwCoInit);
}

void CoUninitialize() { ::CoUninitialize(); }

HRESULT OleInitialize(void* pvReserved) { return ::OleInitialize(pvReserved); }

void OleUninitialize() { ::OleUninitialize(); }

bool isComInitialized() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  return SUCCEEDED(::CoGetApartmentType(&type, &qualifier));
}

// ---- Activation ----------------------------------------------------------

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid, void** ppv) {
  return ::CoGetClassObject(guid(rclsid), dwClsContext, nullptr, guid(riid), ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv) {
  return ::CoCreateInstance(guid(rclsid), unk(pUnkOuter), dwClsContext, guid(riid), ppv);
}

HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk, DWORD dwClsContext, DWORD flags,
                              DWORD* lpdwRegister) {
  return ::CoRegisterClassObject(guid(rclsid), unk(pUnk), dwClsContext, flags,
                                 as<::DWORD>(lpdwRegister));
}

HRESULT CoRevokeClassObject(DWORD dwRegister) { return ::CoRevokeClassObject(dwRegister); }

void CoFreeUnusedLibraries() { ::CoFreeUnusedLibraries(); }

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  return ::CLSIDFromProgID(wide(lpszProgID), guid(lpclsid));
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  return ::ProgIDFromCLSID(guid(clsid), as<::LPOLESTR>(lplpszProgID));
}

void* CoTaskMemAlloc(size_t cb) { return ::CoTaskMemAlloc(cb); }

void CoTaskMemFree(void* pv) { ::CoTaskMemFree(pv); }

// ---- Running-object table ------------------------------------------------

HRESULT RegisterActiveObject(IUnknown* punk, REFCLSID rclsid, DWORD dwFlags, DWORD* pdwRegister) {
  return ::RegisterActiveObject(unk(punk), guid(rclsid), dwFlags, as<::DWORD>(pdwRegister));
}

HRESULT RevokeActiveObject(DWORD dwRegister, void* pvReserved) {
  return ::RevokeActiveObject(dwRegister, pvReserved);
}

HRESULT GetActiveObject(REFCLSID rclsid, void* pvReserved, IUnknown** ppunk) {
  return ::GetActiveObject(guid(rclsid), pvReserved, unk(ppunk));
}

} // namespace quorvel::com
