// A logged-on session, and the library's start, stop and logon entry points.
#include "mapi/session.h"

#include "mapi/addrbook.h"
#include "mapi/mapiexports.h"
#include "mapi/mapitable.h"

#include <atomic>

namespace quorvel::mapi {
namespace {

std::atomic<int> initCount{0};

} // namespace

HRESULT MAPIInitialize(void*) {
  ++initCount;
  return S_OK;
}

void MAPIUninitialize() {
  int n = initCount.load();
  while (n > 0 && !initCount.compare_exchange_weak(n, n - 1)) {
  }
}

HRESULT MAPILogonEx(ULONG_PTR, LPCSTR profileName, LPCSTR, ULONG, IMAPISession** out) {
  if (!out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  if (initCount.load() <= 0)
    return MAPI_E_NOT_INITIALIZED;
  return guarded([&]() -> HRESULT {
    // Without a name the default profile is used (and made on first use);
    // there is no profile chooser to show.
    Profile profile;
    if (HRESULT hr = loadProfile(profileName ? profileName : "", profile); HR_FAILED(hr))
      return hr;
    *out = new Session(std::move(profile));
    return S_OK;
  });
}

Session::Session(Profile profile)
    : profile_(std::move(profile)),
      contacts_(std::make_shared<ContactList>(profile_.addressBook)) {}

HRESULT Session::QueryInterface(const IID& riid, void** ppv) {
  return answer(riid, ppv, {IID_IMAPISession});
}

HRESULT Session::GetMsgStoresTable(ULONG, IMAPITable** out) {
  if (!out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  if (loggedOff_)
    return MAPI_E_CALL_FAILED;
  return guarded([&] {
    PropertyBag row;
    row.setBinary(PR_ENTRYID, profile_.store.entryId());
    row.setString(PR_DISPLAY_NAME, profile_.store.displayName);
    row.setBool(PR_DEFAULT_STORE, true);
    *out = new MemTable({row}, {PR_ENTRYID, PR_DISPLAY_NAME, PR_DEFAULT_STORE});
    return S_OK;
  });
}

HRESULT Session::OpenMsgStore(ULONG_PTR, ULONG cb, const ENTRYID* id, LPCIID iid, ULONG flags,
                              IMsgStore** out) {
  if (!out || !id)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  if (loggedOff_)
    return MAPI_E_CALL_FAILED;
  if (!wants(iid, {IID_IMAPIProp, IID_IMsgStore}))
    return MAPI_E_INTERFACE_NOT_SUPPORTED;
  return guarded([&]() -> HRESULT {
    if (std::string(reinterpret_cast<const char*>(id), cb) != profile_.store.entryId())
      return MAPI_E_NOT_FOUND;
    *out = new MsgStore(profile_.store, (flags & MDB_WRITE) != 0);
    return S_OK;
  });
}

HRESULT Session::OpenAddressBook(ULONG_PTR, LPCIID iid, ULONG, IAddrBook** out) {
  if (!out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  if (loggedOff_)
    return MAPI_E_CALL_FAILED;
  if (!wants(iid, {IID_IMAPIProp, IID_IAddrBook}))
    return MAPI_E_INTERFACE_NOT_SUPPORTED;
  return guarded([&] {
    *out = new AddrBook(contacts_);
    return S_OK;
  });
}

HRESULT Session::Logoff(ULONG_PTR, ULONG, ULONG) {
  loggedOff_ = true;
  return S_OK;
}

} // namespace quorvel::mapi
