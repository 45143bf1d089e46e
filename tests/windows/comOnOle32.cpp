// The COM layer on the real ole32 and oleaut32 under Wine: ids, BSTR and
// VARIANT round trips, a description-served IDispatch called through the
// system's IDispatch, a connection point with a sink of the system's kind,
// and Quorvel.dll registered and created through CoCreateInstance.
// Usage: com_on_ole32 PATH-OF-Quorvel.dll
#include "addin/VaskAddin_TLB.h"
#include "com/connpoint.h"
#include "com/dispatch.h"
#include "com/errorinfo.h"
#include "com/objbase.h"
#include "com/oleauto.h"
#include "office/officeids.h"

#include <windows.h>

#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <string>

// From here on S_OK, E_ACCESSDENIED and the other codes are the system's
// macros; the layer's constants have the same numbers.

namespace com = quorvel::com;

namespace {

int failures = 0;

#define CHECK(cond)                                                                                \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      std::printf("%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #cond);                         \
      ++failures;                                                                                  \
    }                                                                                              \
  } while (0)

bool sameGuid(const com::GUID& ours, const ::GUID& system) {
  return std::memcmp(&ours, &system, sizeof system) == 0;
}

std::wstring wide(const char16_t* s) {
  return std::wstring(s, s + std::char_traits<char16_t>::length(s));
}

// ---- Interface ids ---------------------------------------------------------

void idsAreTheSystemOnes() {
  struct {
    const com::IID& ours;
    const ::IID& system;
  } const table[] = {
      {com::IID_IUnknown, ::IID_IUnknown},
      {com::IID_IDispatch, ::IID_IDispatch},
      {com::IID_ITypeInfo, ::IID_ITypeInfo},
      {com::IID_IClassFactory, ::IID_IClassFactory},
      {com::IID_IErrorInfo, ::IID_IErrorInfo},
      {com::IID_ICreateErrorInfo, ::IID_ICreateErrorInfo},
      {com::IID_ISupportErrorInfo, ::IID_ISupportErrorInfo},
      {com::IID_IConnectionPointContainer, ::IID_IConnectionPointContainer},
      {com::IID_IConnectionPoint, ::IID_IConnectionPoint},
  };
  for (const auto& row : table) CHECK(sameGuid(row.ours, row.system));
}

// ---- BSTR and VARIANT through oleaut32 -------------------------------------

void stringsAndVariantsRoundTrip() {
  // Our BSTR is the system's: its length prefix and its allocator.
  com::Bstr text(std::string("Gr\xC3\xBC\xC3\x9F"
                             "e"));
  CHECK(::SysStringLen(reinterpret_cast<::BSTR>(text.get())) == 5);
  CHECK(text.utf8() == "Gr\xC3\xBC\xC3\x9F"
                       "e");

  // Converted by the system, read back by us, and the other way round.
  struct {
    com::Variant value;
    VARTYPE to;
    const char* text;
  } const table[] = {
      {com::Variant(42), VT_BSTR, "42"},
      {com::Variant("17"), VT_I4, "17"},
      {com::Variant(true), VT_I4, "-1"},
      {com::Variant(std::u16string(u"\u00e9t\u00e9")), VT_BSTR, "\xC3\xA9t\xC3\xA9"},
  };
  for (const auto& row : table) {
    ::VARIANT converted;
    ::VariantInit(&converted);
    CHECK(::VariantChangeType(&converted,
                              reinterpret_cast<::VARIANT*>(const_cast<com::Variant*>(&row.value)),
                              0, row.to) == S_OK);
    CHECK(converted.vt == row.to);
    com::Variant back = com::Variant::adopt(reinterpret_cast<com::VARIANT&>(converted));
    CHECK(back.toString() == row.text);
  }

  // An array made by us, read by the system.
  SAFEARRAY* array =
      reinterpret_cast<SAFEARRAY*>(com::makeVariantArray({com::Variant(1), com::Variant("two")}));
  LONG upper = -1;
  CHECK(::SafeArrayGetUBound(array, 1, &upper) == S_OK && upper == 1);
  ::VARIANT item;
  ::VariantInit(&item);
  LONG index = 1;
  CHECK(::SafeArrayGetElement(array, &index, &item) == S_OK && item.vt == VT_BSTR);
  CHECK(wide(reinterpret_cast<const char16_t*>(item.bstrVal)) == L"two");
  ::VariantClear(&item);
  CHECK(::SafeArrayDestroy(array) == S_OK);
}

// ---- A description-served object through the system's IDispatch ----------

const com::IID IID_ICalc = com::makeGuid("6A0B1C52-3F0E-4D8B-9E43-2B6C1D0E9F71");

struct ICalc : com::IDispatch {
  static constexpr const com::IID& uuid = IID_ICalc;
  using Base = com::IDispatch;
};

const com::InterfaceDesc& calcDesc() {
  static const com::InterfaceDesc desc{
      .name = "ICalc",
      .iid = IID_ICalc,
      .members = {{.name = "Add", .id = 1, .params = {{"a", VT_I4}, {"b", VT_I4}}, .result = VT_I4},
                  {.name = "Fail", .id = 2}},
  };
  return desc;
}

class Calc : public com::DispatchObject<ICalc> {
public:
  Calc() : DispatchObject(calcDesc()) {
    dispatcher().bind("Add", [](com::DispArgs& a, com::VARIANT* result) {
      *result = com::Variant(a.toInt(0) + a.toInt(1)).detach();
      return S_OK;
    });
    dispatcher().bind("Fail", [](com::DispArgs&, com::VARIANT*) -> com::HRESULT {
      throw com::ComError(E_ACCESSDENIED, "no calculation today", "Calc");
    });
  }
};

DISPID idOf(::IDispatch* object, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  return object->GetIDsOfNames(::IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) == S_OK
             ? id
             : DISPID_UNKNOWN;
}

void servedDispatchThroughTheSystemsVtable() {
  com::ComPtr<ICalc> calc(new Calc);
  auto* object = reinterpret_cast<::IDispatch*>(static_cast<com::IDispatch*>(calc.get()));

  CHECK(idOf(object, L"add") == 1);
  CHECK(idOf(object, L"Missing") == DISPID_UNKNOWN);

  // Arguments last first, as every caller of Invoke passes them.
  ::VARIANT args[2];
  args[0].vt = VT_I4;
  args[0].lVal = 5;
  args[1].vt = VT_BSTR;
  args[1].bstrVal = ::SysAllocString(L"37");
  DISPPARAMS params{args, nullptr, 2, 0};
  ::VARIANT result;
  ::VariantInit(&result);
  CHECK(object->Invoke(1, ::IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                       nullptr, nullptr) == S_OK);
  CHECK(result.vt == VT_I4 && result.lVal == 42);
  ::VariantClear(&args[1]);

  // A failure comes back in the system's EXCEPINFO, with strings it frees.
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXCEPINFO info{};
  CHECK(object->Invoke(2, ::IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, &info,
                       nullptr) == DISP_E_EXCEPTION);
  CHECK(info.scode == E_ACCESSDENIED);
  CHECK(info.bstrDescription && std::wstring(info.bstrDescription) == L"no calculation today");
  ::SysFreeString(info.bstrSource);
  ::SysFreeString(info.bstrDescription);
  ::SysFreeString(info.bstrHelpFile);

  // Without EXCEPINFO the description goes to the thread's error object,
  // which the system hands out.
  CHECK(object->Invoke(2, ::IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                       nullptr) == E_ACCESSDENIED);
  ::IErrorInfo* error = nullptr;
  CHECK(::GetErrorInfo(0, &error) == S_OK && error);
  if (error) {
    ::BSTR description = nullptr;
    error->GetDescription(&description);
    CHECK(description && std::wstring(description) == L"no calculation today");
    ::SysFreeString(description);
    error->Release();
  }

  // The system's VariantClear releases our object through its vtable.
  const ULONG before = calc.get()->AddRef() - 1;
  ::VARIANT holder;
  holder.vt = VT_DISPATCH;
  holder.pdispVal = object;
  ::VariantClear(&holder);
  CHECK(calc.get()->AddRef() == before + 1);
  calc.get()->Release();
}

// ---- Connection points: our container, a sink written against the system -

const com::IID DIID_TickEvents = com::makeGuid("6A0B1C52-3F0E-4D8B-9E43-2B6C1D0E9F72");

class Ticker : public com::Object<com::IConnectionPointContainer> {
public:
  com::HRESULT QUORVEL_STDCALL EnumConnectionPoints(com::IEnumConnectionPoints**) override {
    return E_NOTIMPL;
  }
  com::HRESULT QUORVEL_STDCALL FindConnectionPoint(const com::IID& riid,
                                                   com::IConnectionPoint** pp) override {
    return com::findConnectionPoint({&ticks}, riid, pp);
  }
  com::ConnectionPoint ticks{*this, DIID_TickEvents};
};

// A sink as the system's own code writes one: the system's IDispatch.
class SystemSink : public ::IDispatch {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = IsEqualIID(riid, ::IID_IUnknown) || IsEqualIID(riid, ::IID_IDispatch) ? this : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ::ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, ::VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    lastId = id;
    if (params->cArgs == 1 && params->rgvarg[0].vt == VT_I4) lastValue = params->rgvarg[0].lVal;
    return S_OK;
  }
  ULONG refs = 1;
  DISPID lastId = 0;
  LONG lastValue = 0;
};

void connectionPointsAcrossTheSystemsVtables() {
  com::ComPtr<Ticker> ticker(new Ticker);
  auto* container = reinterpret_cast<::IConnectionPointContainer*>(
      static_cast<com::IConnectionPointContainer*>(ticker.get()));
  ::IConnectionPoint* point = nullptr;
  CHECK(container->FindConnectionPoint(reinterpret_cast<const ::IID&>(DIID_TickEvents), &point) ==
        S_OK);
  if (!point) return;
  SystemSink sink;
  DWORD cookie = 0;
  CHECK(point->Advise(&sink, &cookie) == S_OK && cookie != 0);
  CHECK(sink.refs == 2);
  CHECK(ticker->ticks.fire(3, {com::Variant(9)}) == S_OK);
  CHECK(sink.lastId == 3 && sink.lastValue == 9);
  CHECK(point->Unadvise(cookie) == S_OK);
  CHECK(sink.refs == 1);
  point->Release();
}

// ---- Quorvel.dll registered and created through ole32 ----------------------

std::wstring windowsPath(const char* path) {
  std::wstring result;
  // A Unix path from the build: Wine sees the root as drive Z.
  if (path[0] == '/')
    result = L"Z:";
  for (const char* p = path; *p; ++p)
    result += *p == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(*p));
  return result;
}

std::wstring classesValue(const std::wstring& key) {
  wchar_t data[MAX_PATH * 2] = {};
  LONG size = sizeof data;
  if (::RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), data, &size) != ERROR_SUCCESS)
    return L"<none>";
  return data;
}

// The type library places IDTExtensibility2's members after IDispatch's
// seven slots, as the system's own declaration does: OnStartupComplete
// (dispatch id 4) is the eleventh.
void onStartupCompleteHasItsSlot(::ITypeLib* typeLib) {
  ::ITypeInfo* dispatchPart = nullptr;
  CHECK(typeLib->GetTypeInfoOfGuid(
            reinterpret_cast<const ::GUID&>(quorvel::office::IID_IDTExtensibility2),
            &dispatchPart) == S_OK);
  if (!dispatchPart)
    return;
  HREFTYPE vtablePart = 0;
  ::ITypeInfo* methods = nullptr;
  CHECK(dispatchPart->GetRefTypeOfImplType(-1, &vtablePart) == S_OK);
  CHECK(dispatchPart->GetRefTypeInfo(vtablePart, &methods) == S_OK);
  dispatchPart->Release();
  if (!methods)
    return;
  FUNCDESC* func = nullptr;
  CHECK(methods->GetFuncDesc(3, &func) == S_OK);
  if (func) {
    CHECK(func->memid == 4);
    CHECK(func->oVft == 10 * sizeof(void*));
    CHECK(func->callconv == CC_STDCALL);
    methods->ReleaseFuncDesc(func);
  }
  methods->Release();
}

// The Outlook add-in key's LoadBehavior, or -1 when the key or value is missing.
LONG outlookLoadBehavior() {
  DWORD value = 0, size = sizeof value;
  const LONG rc = ::RegGetValueW(HKEY_CURRENT_USER,
                                 L"Software\\Microsoft\\Office\\Outlook\\AddIns\\VaskAddin.VaskAddin_",
                                 L"LoadBehavior", RRF_RT_REG_DWORD, nullptr, &value, &size);
  return rc == ERROR_SUCCESS ? LONG(value) : -1;
}

using EntryPoint = HRESULT(STDAPICALLTYPE*)();

HRESULT callEntry(HMODULE library, const char* name) {
  auto entry =
      reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
  return entry ? entry() : E_NOTIMPL;
}

void libraryRegistersAndCreates(const std::wstring& path) {
  HMODULE library = ::LoadLibraryW(path.c_str());
  CHECK(library != nullptr);
  if (!library)
    return;
  CHECK(callEntry(library, "DllRegisterServer") == S_OK);

  const ::CLSID& clsid = reinterpret_cast<const ::CLSID&>(quorvel::CLSID_VaskAddin_);
  const std::wstring clsidKey = L"CLSID\\{BC2445F7-9514-49B2-90E6-C22FA2A94F1C}";
  const std::wstring registered = classesValue(clsidKey + L"\\InprocServer32");
  CHECK(registered.find(L' ') == std::wstring::npos);
  CHECK(_wcsicmp(registered.c_str(), path.c_str()) == 0 || path.find(L' ') != std::wstring::npos);
  CHECK(classesValue(L"VaskAddin.VaskAddin_\\Clsid") == L"{BC2445F7-9514-49B2-90E6-C22FA2A94F1C}");
  CHECK(outlookLoadBehavior() == 3);

  // Our layer finds the class by its ProgID, as ole32 does.
  com::CLSID found{};
  CHECK(com::CLSIDFromProgID(u"VaskAddin.VaskAddin_", &found) == S_OK);
  CHECK(found == quorvel::CLSID_VaskAddin_);

  // The type library came from the library's own resource.
  ::ITypeLib* typeLib = nullptr;
  CHECK(::LoadRegTypeLib(reinterpret_cast<const ::GUID&>(quorvel::LIBID_VaskAddin), 1, 0, 0x0409,
                         &typeLib) == S_OK);
  if (typeLib) {
    ::ITypeInfo* info = nullptr;
    CHECK(typeLib->GetTypeInfoOfGuid(reinterpret_cast<const ::GUID&>(quorvel::IID_IVaskAddin_),
                                     &info) == S_OK);
    if (info)
      info->Release();
    onStartupCompleteHasItsSlot(typeLib);
    typeLib->Release();
  }

  // ole32 loads the library by the registered path and asks its factory.
  ::IUnknown* addIn = nullptr;
  CHECK(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                           reinterpret_cast<const ::IID&>(quorvel::office::IID_IDTExtensibility2),
                           reinterpret_cast<void**>(&addIn)) == S_OK);
  if (addIn) {
    ::IDispatch* dispatch = nullptr;
    CHECK(addIn->QueryInterface(::IID_IDispatch, reinterpret_cast<void**>(&dispatch)) == S_OK);
    if (dispatch) {
      CHECK(idOf(dispatch, L"OnStartupComplete") == 4);
      dispatch->Release();
    }
    CHECK(callEntry(library, "DllCanUnloadNow") == S_FALSE);
    addIn->Release();
    CHECK(callEntry(library, "DllCanUnloadNow") == S_OK);
  }

  CHECK(callEntry(library, "DllUnregisterServer") == S_OK);
  CHECK(classesValue(clsidKey + L"\\InprocServer32") == L"<none>");
  CHECK(outlookLoadBehavior() == -1);
  ::FreeLibrary(library);
}

// A library path with a blank is registered in its short form.
void blankPathRegistersShort(const std::wstring& path) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"Quorvel Test";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"\\Quorvel.dll";
  CHECK(::CopyFileW(path.c_str(), copy.c_str(), FALSE));
  libraryRegistersAndCreates(copy);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: com_on_ole32 PATH-OF-Quorvel.dll\n");
    return 2;
  }
  CHECK(::CoInitialize(nullptr) == S_OK);
  idsAreTheSystemOnes();
  stringsAndVariantsRoundTrip();
  servedDispatchThroughTheSystemsVtable();
  connectionPointsAcrossTheSystemsVtables();
  libraryRegistersAndCreates(windowsPath(argv[1]));
  blankPathRegistersShort(windowsPath(argv[1]));
  ::CoUninitialize();
  std::printf("%d failure(s)\n", failures);
  return failures == 0 ? 0 : 1;
}
