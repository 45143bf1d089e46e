// Class objects and activation: CoInitialize counting, IClassFactory,
// CoCreateInstance through HKEY_CLASSES_ROOT and dlopen, ProgIDs, task memory
// and the running-object table.
#pragma once

#include "com/unknown.h"

#include <functional>

namespace quorvel::com {

inline constexpr IID IID_IClassFactory = makeGuid("00000001-0000-0000-C000-000000000046");

/// Makes instances of one class.
struct IClassFactory : IUnknown {
  static constexpr const IID& uuid = IID_IClassFactory;
  virtual HRESULT QUORVEL_STDCALL CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                 void** ppvObject) = 0;
  virtual HRESULT QUORVEL_STDCALL LockServer(BOOL fLock) = 0;
};

// ---- Initialisation (counted per thread) ---------------------------------

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

/// CoInitializeEx(NULL, COINIT_APARTMENTTHREADED).
QUORVEL_COM_API HRESULT CoInitialize(void* pvReserved);
/// S_OK for the thread's first call, S_FALSE for each further one (each
/// needs its CoUninitialize); RPC_E_CHANGED_MODE (not counted) when the
/// thread was initialised with the other concurrency model.
QUORVEL_COM_API HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit);
/// Undoes one successful CoInitialize(Ex); extra calls do nothing.
QUORVEL_COM_API void CoUninitialize();
/// CoInitialize plus OLE's own count: S_OK first, S_FALSE for repeats.
QUORVEL_COM_API HRESULT OleInitialize(void* pvReserved);
/// Undoes one successful OleInitialize (and its CoInitialize).
QUORVEL_COM_API void OleUninitialize();
/// Whether the calling thread has COM initialised (not a Win32 call).
QUORVEL_COM_API bool isComInitialized();

// ---- Activation ----------------------------------------------------------

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_SERVER =
    CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

inline constexpr DWORD REGCLS_SINGLEUSE = 0;
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;

/// The class object of \p rclsid: first one registered in this process by
/// CoRegisterClassObject, else the library named by the default value of
/// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32, loaded once and kept,
/// through its DllGetClassObject. CO_E_NOTINITIALIZED without
/// CoInitialize; REGDB_E_CLASSNOTREG when the class is unknown;
/// CO_E_DLLNOTFOUND when the library does not load, CO_E_ERRORINDLL when it
/// lacks DllGetClassObject (both with error info naming the library and the
/// loader's reason).
QUORVEL_COM_API HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved,
                                         REFIID riid, void** ppv);
/// CoGetClassObject, then IClassFactory::CreateInstance.
QUORVEL_COM_API HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter,
                                         DWORD dwClsContext, REFIID riid, void** ppv);
/// Makes \p pUnk (a class object, usually an IClassFactory) the one that
/// CoGetClassObject hands out for \p rclsid in this process, ahead of the
/// registry; \p lpdwRegister receives the key for CoRevokeClassObject.
QUORVEL_COM_API HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk,
                                              DWORD dwClsContext, DWORD flags,
                                              DWORD* lpdwRegister);
/// Ends a CoRegisterClassObject registration; E_INVALIDARG for an unknown key.
QUORVEL_COM_API HRESULT CoRevokeClassObject(DWORD dwRegister);
/// Asks every library loaded by CoGetClassObject whether it can go
/// (DllCanUnloadNow) and unloads those answering S_OK.
QUORVEL_COM_API void CoFreeUnusedLibraries();

/// The class id registered for a programmatic id (the default value of
/// HKEY_CLASSES_ROOT\<ProgID>\Clsid); CO_E_CLASSSTRING when none.
QUORVEL_COM_API HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
/// The programmatic id of a class (HKEY_CLASSES_ROOT\CLSID\{clsid}\ProgID),
/// allocated with CoTaskMemAlloc; REGDB_E_CLASSNOTREG when none.
QUORVEL_COM_API HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

QUORVEL_COM_API void* CoTaskMemAlloc(size_t cb);
QUORVEL_COM_API void CoTaskMemFree(void* pv);

/// A class factory that makes objects with \p create (a new object with a
/// count of 0, or nullptr when out of resources); aggregation is refused
/// with CLASS_E_NOAGGREGATION. LockServer counts in lockCount().
class QUORVEL_COM_API ClassFactory : public Object<IClassFactory> {
public:
  explicit ClassFactory(std::function<IUnknown*()> create);
  HRESULT QUORVEL_STDCALL CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                         void** ppvObject) override;
  HRESULT QUORVEL_STDCALL LockServer(BOOL fLock) override;
  long lockCount() const { return locks_; }

protected:
  ~ClassFactory() override;

private:
  std::function<IUnknown*()> create_;
  std::atomic<long> locks_{0};
};

// ---- Running-object table (per process) ----------------------------------

inline constexpr DWORD ACTIVEOBJECT_STRONG = 0x0;
inline constexpr DWORD ACTIVEOBJECT_WEAK = 0x1;

/// Registers \p punk as the running object of \p rclsid (the newest
/// registration of a class is the one found); a strong registration holds a
/// reference until revoked.
QUORVEL_COM_API HRESULT RegisterActiveObject(IUnknown* punk, REFCLSID rclsid, DWORD dwFlags,
                                             DWORD* pdwRegister);
/// Ends a registration; E_INVALIDARG for an unknown key.
QUORVEL_COM_API HRESULT RevokeActiveObject(DWORD dwRegister, void* pvReserved);
/// The running object of \p rclsid with a new reference; MK_E_UNAVAILABLE
/// when none is registered.
QUORVEL_COM_API HRESULT GetActiveObject(REFCLSID rclsid, void* pvReserved, IUnknown** ppunk);

} // namespace quorvel::com
