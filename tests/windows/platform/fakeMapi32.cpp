// A stand-in MAPI32.DLL for the binding test: the entry points the system
// binds, exported under the names the real 32-bit or 64-bit library uses,
// with a logon that checks its arguments and always fails.
#include "mapi/mapidefs.h"

namespace q = quorvel::mapi;

namespace {
long logons = 0;
long logonsWithExpectedArguments = 0;
} // namespace

extern "C" {

q::HRESULT QUORVEL_MAPI_CALL MAPIInitialize(void*) { return 0; }
void QUORVEL_MAPI_CALL MAPIUninitialize() {}

q::HRESULT QUORVEL_MAPI_CALL MAPILogonEx(q::ULONG_PTR uiParam, q::LPCSTR profile,
                                         q::LPCSTR password, q::ULONG flags,
                                         q::IMAPISession** session) {
  ++logons;
  const q::ULONG expectedFlags = q::MAPI_LOGON_UI | q::MAPI_NEW_SESSION | q::MAPI_ALLOW_OTHERS |
                                 q::MAPI_EXTENDED | q::MAPI_USE_DEFAULT;
  if (uiParam == 0x1234 && !profile && !password && flags == expectedFlags && session)
    ++logonsWithExpectedArguments;
  if (session) *session = nullptr;
  return q::MAPI_E_LOGON_FAILED;
}

q::HRESULT QUORVEL_MAPI_CALL HrQueryAllRows(q::IMAPITable*, const q::SPropTagArray*,
                                            const q::SRestriction*, const q::SSortOrderSet*,
                                            q::LONG, q::SRowSet**) {
  return q::MAPI_E_NOT_INITIALIZED;
}
void QUORVEL_MAPI_CALL FreeProws(q::SRowSet*) {}
q::HRESULT QUORVEL_MAPI_CALL HrGetOneProp(q::IMAPIProp*, q::ULONG, q::SPropValue**) {
  return q::MAPI_E_NOT_INITIALIZED;
}

/// How many logons arrived, and how many of them with the system's arguments.
long QUORVEL_MAPI_CALL FakeMapiLogons(long* withExpectedArguments) {
  *withExpectedArguments = logonsWithExpectedArguments;
  return logons;
}

} // extern "C"
