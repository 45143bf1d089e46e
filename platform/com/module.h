// Loading a shared library and finding its entry points (LoadLibrary and
// GetProcAddress in spirit), for class activation and registration tools.
#pragma once

#include "com/comdefs.h"

#include <string>

namespace quorvel::com {

/// Loads the library at \p path (symbols resolved at once, kept local);
/// nullptr on failure, with the loader's reason in \p error.
QUORVEL_COM_API void* loadModule(const std::string& path, std::string* error);
/// The address of the exported symbol \p name, or nullptr.
QUORVEL_COM_API void* moduleSymbol(void* module, const char* name);
/// Releases a library loaded by loadModule.
QUORVEL_COM_API void freeModule(void* module);

/// The four entry points of an in-process server.
using DllGetClassObjectFn = HRESULT(QUORVEL_STDCALL*)(REFCLSID rclsid, REFIID riid, void** ppv);
using DllCanUnloadNowFn = HRESULT(QUORVEL_STDCALL*)();
using DllRegisterServerFn = HRESULT(QUORVEL_STDCALL*)();
using DllUnregisterServerFn = HRESULT(QUORVEL_STDCALL*)();

} // namespace quorvel::com
