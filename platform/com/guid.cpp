// GUIDs in their brace text form, and readable texts for result codes.
#include "com/comdefs.h"


#include <cstdio>

namespace quorvel::com {

std::string guidToString(REFGUID g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

std::u16string guidToU16String(REFGUID g) {
  std::string s = guidToString(g);
  return std::u16string(s.begin(), s.end());
}

bool guidFromString(const std::string& text, GUID* out) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  char inner[37];
  for (int i = 0; i < 36; ++i) {
    char c = text[size_t(i) + 1];
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (dash ? c != '-' : !hex) return false;
    inner[i] = c;
  }
  inner[36] = 0;
  if (out) *out = makeGuid(inner);
  return true;
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  std::u16string s = guidToU16String(rguid);
  if (!lpsz || cchMax < int(s.size()) + 1) return 0;
  for (size_t i = 0; i < s.size(); ++i) lpsz[i] = s[i];
  lpsz[s.size()] = 0;
  return int(s.size()) + 1;
}

namespace {
bool guidFromOleString(LPCOLESTR lpsz, GUID* out) {
  if (!lpsz) return false;
  std::u16string s(lpsz);
  for (char16_t c : s)
    if (c > 0x7F) return false;
  return guidFromString(std::string(s.begin(), s.end()), out);
}
} // namespace

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (!pclsid) return E_INVALIDARG;
  return guidFromOleString(lpsz, pclsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid) {
  if (!lpiid) return E_INVALIDARG;
  return guidFromOleString(lpsz, lpiid) ? S_OK : E_INVALIDARG;
}

std::string hresultHex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", uint32_t(hr));
  return buf;
}

namespace {
struct HresultName {
  HRESULT hr;
  const char* text;
};
// The system's texts for the codes this layer and its users produce.
constexpr HresultName kTexts[] = {
    {S_OK, "The operation completed successfully."},
    {S_FALSE, "The operation completed with a negative answer."},
    {E_NOTIMPL, "Not implemented."},
    {E_NOINTERFACE, "No such interface supported."},
    {E_POINTER, "Invalid pointer."},
    {E_ABORT, "Operation aborted."},
    {E_FAIL, "Unspecified error."},
    {E_UNEXPECTED, "Catastrophic failure."},
    {E_ACCESSDENIED, "Access is denied."},
    {E_HANDLE, "The handle is invalid."},
    {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
    {E_INVALIDARG, "The parameter is incorrect."},
    {DISP_E_UNKNOWNINTERFACE, "Unknown interface."},
    {DISP_E_MEMBERNOTFOUND, "Member not found."},
    {DISP_E_PARAMNOTFOUND, "Parameter not found."},
    {DISP_E_TYPEMISMATCH, "Type mismatch."},
    {DISP_E_UNKNOWNNAME, "Unknown name."},
    {DISP_E_NONAMEDARGS, "No named arguments."},
    {DISP_E_BADVARTYPE, "Bad variable type."},
    {DISP_E_EXCEPTION, "Exception occurred."},
    {DISP_E_OVERFLOW, "Out of present range."},
    {DISP_E_BADINDEX, "Invalid index."},
    {DISP_E_BADPARAMCOUNT, "Invalid number of parameters."},
    {DISP_E_PARAMNOTOPTIONAL, "Parameter not optional."},
    {TYPE_E_REGISTRYACCESS, "Error accessing the OLE registry."},
    {TYPE_E_LIBNOTREGISTERED, "Library not registered."},
    {CLASS_E_NOAGGREGATION, "Class does not support aggregation (or class object is remote)."},
    {CLASS_E_CLASSNOTAVAILABLE, "ClassFactory cannot supply requested class."},
    {REGDB_E_READREGDB, "Could not read key from registry."},
    {REGDB_E_WRITEREGDB, "Could not write key to registry."},
    {REGDB_E_CLASSNOTREG, "Class not registered."},
    {CONNECT_E_NOCONNECTION, "No connection for this connection ID."},
    {CONNECT_E_ADVISELIMIT, "Need to unadvise first."},
    {CONNECT_E_CANNOTCONNECT, "Cannot connect."},
    {CO_E_NOTINITIALIZED, "CoInitialize has not been called."},
    {CO_E_CLASSSTRING, "Invalid class string."},
    {CO_E_DLLNOTFOUND, "DLL for class not found."},
    {CO_E_ERRORINDLL, "Error in the DLL."},
    {MK_E_UNAVAILABLE, "Operation unavailable."},
    {RPC_E_CHANGED_MODE, "Cannot change thread mode after it is set."},
};
} // namespace

std::string hresultText(HRESULT hr) {
  for (const HresultName& n : kTexts)
    if (n.hr == hr) return std::string(n.text) + " (" + hresultHex(hr) + ")";
  return "Error " + hresultHex(hr);
}

} // namespace quorvel::com
