// Checks, from inside Wine, what registering Quorvel.dll leaves behind: its exports, the class's
// server path and the registered type library. Usage: regcheck exports DLL | inproc LONGPATH |
// typelib | typelib-gone
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <cwchar>
#include <string>

#include "winCheck.h"

namespace quorvel::wintest {
namespace {

const wchar_t kClsidKey[] = L"CLSID\\{BC2445F7-9514-49B2-90E6-C22FA2A94F1C}\\InprocServer32";

GUID guidOf(const wchar_t* text) {
  GUID g{};
  CHECK_HR(CLSIDFromString(const_cast<LPOLESTR>(text), &g));
  return g;
}

const GUID kLibId = guidOf(L"{200F7626-ECEC-4B36-9A67-7F1257096C01}");
const GUID kIid = guidOf(L"{F17749CF-B593-4888-B844-125ED0235391}");
const GUID kClsid = guidOf(L"{BC2445F7-9514-49B2-90E6-C22FA2A94F1C}");
const GUID kIdtExtensibility2 = guidOf(L"{B65AD801-ABAF-11D0-BB8B-00A0C90F2744}");

std::wstring stringValue(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t buf[MAX_PATH * 2] = {};
  DWORD size = sizeof buf;
  if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
    return L"(absent)";
  return buf;
}

// An export as a plain function pointer, to be cast to its real type.
void (*entry(HMODULE lib, const char* name))() {
  return reinterpret_cast<void (*)()>(GetProcAddress(lib, name));
}

// Exactly the four entry points, by name and by their ordinals 1 to 4; a class nobody serves is
// refused with a nil object; nothing is alive yet, so the library may unload.
void checkExports(const wchar_t* dll) {
  HMODULE lib = LoadLibraryW(dll);
  if (!CHECK(lib != nullptr))
    return;
  const char* names[] = {"DllUnregisterServer", "DllRegisterServer", "DllCanUnloadNow", "DllGetClassObject"};
  for (int ordinal = 1; ordinal <= 4; ++ordinal) {
    FARPROC byName = GetProcAddress(lib, names[ordinal - 1]);
    CHECK(byName != nullptr);
    CHECK_EQ(reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(ordinal))),
             reinterpret_cast<void*>(byName));
  }
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  auto getClassObject = reinterpret_cast<GetClassObject>(entry(lib, "DllGetClassObject"));
  auto canUnload = reinterpret_cast<CanUnloadNow>(entry(lib, "DllCanUnloadNow"));
  if (getClassObject && canUnload) {
    void* factory = reinterpret_cast<void*>(1);
    CHECK_EQ(getClassObject(kLibId, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
    CHECK(factory == nullptr);
    IClassFactory* real = nullptr;
    if (CHECK_HR(getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&real)))) {
      CHECK_EQ(canUnload(), S_FALSE);
      real->Release();
    }
    CHECK_EQ(canUnload(), S_OK);
  }
}

// The server path is the short form of where the library lies (no blank in it), apartment-threaded.
void checkInproc(const wchar_t* longPath) {
  const std::wstring registered = stringValue(HKEY_CLASSES_ROOT, kClsidKey, nullptr);
  std::printf("InprocServer32: %ls\n", registered.c_str());
  CHECK(registered.find(L' ') == std::wstring::npos);
  wchar_t expanded[MAX_PATH * 2] = {};
  CHECK(GetLongPathNameW(registered.c_str(), expanded, MAX_PATH * 2) > 0);
  CHECK(_wcsicmp(expanded, longPath) == 0);
  CHECK_EQ(stringValue(HKEY_CLASSES_ROOT, kClsidKey, L"ThreadingModel"), std::wstring(L"Apartment"));
}

// VaskAddin 1.0 loads by its id; the class and its dual interface deriving from IDTExtensibility2
// are in it.
void checkTypeLib() {
  ITypeLib* lib = nullptr;
  if (!CHECK_HR(LoadRegTypeLib(kLibId, 1, 0, 0x0409, &lib)))
    return;
  BSTR name = nullptr, help = nullptr;
  if (CHECK_HR(lib->GetDocumentation(-1, &name, &help, nullptr, nullptr))) {
    CHECK_EQ(std::wstring(name ? name : L""), std::wstring(L"VaskAddin"));
    CHECK_EQ(std::wstring(help ? help : L""), std::wstring(L"VaskAddin Library"));
  }
  SysFreeString(name);
  SysFreeString(help);
  ITypeInfo* coclass = nullptr;
  CHECK_HR(lib->GetTypeInfoOfGuid(kClsid, &coclass));
  if (coclass)
    coclass->Release();
  ITypeInfo* intf = nullptr;
  if (CHECK_HR(lib->GetTypeInfoOfGuid(kIid, &intf))) {
    TYPEATTR* attr = nullptr;
    if (CHECK_HR(intf->GetTypeAttr(&attr))) {
      CHECK(attr->wTypeFlags & TYPEFLAG_FDUAL);
      intf->ReleaseTypeAttr(attr);
    }
    // A dual interface's dispatch view derives from IDispatch; its vtable view from the base.
    HREFTYPE vtableRef = 0;
    ITypeInfo* vtable = nullptr;
    if (CHECK_HR(intf->GetRefTypeOfImplType(-1, &vtableRef)) &&
        CHECK_HR(intf->GetRefTypeInfo(vtableRef, &vtable))) {
      HREFTYPE baseRef = 0;
      ITypeInfo* base = nullptr;
      if (CHECK_HR(vtable->GetRefTypeOfImplType(0, &baseRef)) &&
          CHECK_HR(vtable->GetRefTypeInfo(baseRef, &base))) {
        TYPEATTR* baseAttr = nullptr;
        if (CHECK_HR(base->GetTypeAttr(&baseAttr))) {
          CHECK(IsEqualGUID(baseAttr->guid, kIdtExtensibility2));
          base->ReleaseTypeAttr(baseAttr);
        }
        base->Release();
      }
      vtable->Release();
    }
    intf->Release();
  }
  lib->Release();
}

} // namespace
} // namespace quorvel::wintest

using namespace quorvel::wintest;

int wmain(int argc, wchar_t** argv) {
  CoInitialize(nullptr);
  const std::wstring what = argc > 1 ? argv[1] : L"";
  if (what == L"exports" && argc > 2)
    checkExports(argv[2]);
  else if (what == L"inproc" && argc > 2)
    checkInproc(argv[2]);
  else if (what == L"typelib")
    checkTypeLib();
  else if (what == L"typelib-gone") {
    ITypeLib* lib = nullptr;
    CHECK(FAILED(LoadRegTypeLib(kLibId, 1, 0, 0x0409, &lib)));
    if (lib)
      lib->Release();
  } else {
    std::fprintf(stderr, "usage: regcheck exports DLL | inproc LONGPATH | typelib | typelib-gone\n");
    return 2;
  }
  CoUninitialize();
  return testResult();
}
