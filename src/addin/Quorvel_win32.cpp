// The library itself on Windows: DllMain (start-up at load, unload) and the
// four exported entry points, exported by name and ordinal through
// Quorvel.def.
#include "addin/unLibMain.h"
#include "addin/unResources.h"

#include <windows.h>

using namespace quorvel;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
  case DLL_PROCESS_ATTACH:
    // The handle first: start-up reads the library's own resources.
    setHInstance(instance);
    ::DisableThreadLibraryCalls(instance);
    libraryStartup();
    break;
  case DLL_PROCESS_DETACH:
    // Unloaded by FreeLibrary: the unload work, as on any platform. At the
    // process's end (reserved set) the libraries it would call may be gone
    // already, and the end takes everything with it.
    if (!reserved)
      libraryShutdown();
    break;
  default:
    break;
  }
  return TRUE;
}

extern "C" com::HRESULT QUORVEL_STDCALL DllGetClassObject(const com::CLSID& rclsid,
                                                          const com::IID& riid, void** ppv) {
  return getClassObject(rclsid, riid, ppv);
}

extern "C" com::HRESULT QUORVEL_STDCALL DllCanUnloadNow() { return canUnloadNow(); }

extern "C" com::HRESULT QUORVEL_STDCALL DllRegisterServer() { return registerServer(); }

extern "C" com::HRESULT QUORVEL_STDCALL DllUnregisterServer() { return unregisterServer(); }
