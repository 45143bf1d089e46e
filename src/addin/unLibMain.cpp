// The library's start-up and unload, in order, and what its four entry
// points do.
#include "addin/unLibMain.h"

#include "addin/Main.h"
#include "addin/unResources.h"
#include "com/objbase.h"
#include "com/typelib.h"
#include "composer/unGatewayRequest.h"
#include "composer/unGetCreditThread.h"
#include "Emapi/unMapiLib.h"
#include "util/unCharacterMap.h"
#include "util/unTextCodec.h"

#include <atomic>
#include <chrono>
#include <filesystem>

namespace quorvel {

using namespace com;

namespace {

/// The process-wide server record: the live objects and the factories.
struct TComServer {
  std::atomic<long> objects{0};
  TOfficeAddInFactory* factory = nullptr; // holds one reference
  bool oleInitialized = false;
};

constinit TComServer* server = nullptr;

} // namespace

void libraryStartup() {
  if (server)
    return;
  // 1. The process-wide server record.
  server = new TComServer;
  // 2. The mail library, its entry points bound by name.
  mapiLibraryLoaded();
  // 3. OLE and COM for the loading thread (the composer's needs).
  server->oleInitialized = SUCCEEDED(OleInitialize(nullptr));
  // 4. The single class factory.
  TOfficeHostApps outlookOnly;
  outlookOnly.set(ohaOutlook);
  server->factory = new TOfficeAddInFactory(CLSID_VaskAddin_, outlookOnly, "Zuzever EZA", 3);
  server->factory->AddRef();
  // 5. The GSM tables.
  initCharMaps();
}

void libraryShutdown() {
  if (!server)
    return;
  // The reverse order: the host's application object goes first.
  VariantClear(&GApp);
  server->factory->Release();
  server->factory = nullptr;
  // A credit query still out runs code of this library: it gets its
  // client's time-out to end before the code goes.
  TGetCreditThread::waitForAll(std::chrono::seconds(clientTimeOutSeconds(TGatewayClientOptions{})));
  if (server->oleInitialized)
    OleUninitialize();
  // The mail library is released by its own unit after this.
  delete server;
  server = nullptr;
}

TOfficeAddInFactory* addInFactory() { return server ? server->factory : nullptr; }

void objectCreated() {
  if (server)
    ++server->objects;
}

void objectDestroyed() {
  if (server)
    --server->objects;
}

HRESULT getClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!ppv)
    return E_POINTER;
  *ppv = nullptr;
  TOfficeAddInFactory* factory = addInFactory();
  if (!factory || rclsid != factory->ClassID())
    return CLASS_E_CLASSNOTAVAILABLE;
  return factory->QueryInterface(riid, ppv);
}

HRESULT canUnloadNow() {
  if (!server)
    return S_OK;
  const bool factoryHeld = server->factory && server->factory->refCount() > 1;
  const bool locked = server->factory && server->factory->lockCount() > 0;
  const bool busy = server->objects > 0 || factoryHeld || locked || TGetCreditThread::runningCount() > 0;
  return busy ? S_FALSE : S_OK;
}

HRESULT registerServer() {
  try {
    const std::string path = ownModulePath();
    const std::string dir = std::filesystem::path(path).parent_path().string();
    checkResult(RegisterTypeLib(VaskAddinTypeLib(), utf8ToUtf16(path).c_str(), utf8ToUtf16(dir).c_str()));
    if (TOfficeAddInFactory* factory = addInFactory())
      factory->UpdateRegistry(true);
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT unregisterServer() {
  try {
    // A type library that is registered no more is no failure here.
    UnRegisterTypeLib(VaskAddinTypeLib());
    if (TOfficeAddInFactory* factory = addInFactory())
      factory->UpdateRegistry(false);
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

} // namespace quorvel
