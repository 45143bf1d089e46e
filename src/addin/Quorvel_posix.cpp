// The library itself: start-up at load, unload, and its four exported entry
// points (the only symbols it exports).
#include "addin/unLibMain.h"

using namespace quorvel;
using com::HRESULT;

namespace {

__attribute__((constructor)) void onLoad() { libraryStartup(); }
__attribute__((destructor)) void onUnload() { libraryShutdown(); }

} // namespace

#define QUORVEL_EXPORT extern "C" __attribute__((visibility("default")))

QUORVEL_EXPORT HRESULT DllGetClassObject(com::REFCLSID rclsid, com::REFIID riid, void** ppv) {
  return getClassObject(rclsid, riid, ppv);
}

QUORVEL_EXPORT HRESULT DllCanUnloadNow() { return canUnloadNow(); }

QUORVEL_EXPORT HRESULT DllRegisterServer() { return registerServer(); }

QUORVEL_EXPORT HRESULT DllUnregisterServer() { return unregisterServer(); }
