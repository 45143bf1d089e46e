// The library's start-up and unload, in order, and what its four entry
// points do.
#pragma once

#include "com/comdefs.h"

namespace quorvel {

class TOfficeAddInFactory;

/// Runs the start-up work when the library is loaded, in this order: the
/// server record, the mail library's entry points, OLE for the loading
/// thread, the single class factory, the GSM tables.
void libraryStartup();
/// Runs the unload work in the reverse order.
void libraryShutdown();

/// The single factory (null outside start-up and unload).
TOfficeAddInFactory* addInFactory();
/// Counts the library's live objects (the add-in objects).
void objectCreated();
void objectDestroyed();

/// DllGetClassObject: the factory's interface \p riid for VaskAddin_'s
/// class id, else a null object and CLASS_E_CLASSNOTAVAILABLE.
com::HRESULT getClassObject(com::REFCLSID rclsid, com::REFIID riid, void** ppv);
/// DllCanUnloadNow: S_FALSE while an object lives, the factory is held or
/// locked, or a background credit query still runs; S_OK otherwise.
com::HRESULT canUnloadNow();
/// DllRegisterServer: the type library, then each factory's registration.
com::HRESULT registerServer();
/// DllUnregisterServer: the type library, then each factory's keys.
com::HRESULT unregisterServer();

} // namespace quorvel
