// The address book of a session: contact entries, one-off entries, name
// resolution and the address dialog.
#include "mapi/addrbook.h"

#include "mapi/addresswindow.h"
#include "mapi/dialogmodel.h"
#include "mapi/mapientryid.h"
#include "mapi/mapiexports.h"
#include "mapi/mapitext.h"

#include <mutex>

namespace quorvel::mapi {
namespace {

struct InstalledHandler {
  std::mutex lock;
  AddressDialogHandler handler = nullptr;
  void* context = nullptr;
};

InstalledHandler& installed() {
  static InstalledHandler h;
  return h;
}

// The payload of a one-off id: name, address type and address, each ended
// by a zero byte.
std::string oneOffPayload(LPCSTR name, LPCSTR type, LPCSTR address) {
  std::string p;
  for (LPCSTR part : {name, type, address}) {
    p += part ? part : "";
    p.push_back('\0');
  }
  return p;
}

PropertyBag oneOffProperties(const std::string& payload, const std::string& entryId) {
  std::string parts[3];
  size_t at = 0;
  for (auto& part : parts) {
    size_t end = payload.find('\0', at);
    part = payload.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? payload.size() : end + 1;
  }
  PropertyBag bag;
  bag.setString(PR_DISPLAY_NAME, parts[0]);
  bag.setString(PR_ADDRTYPE, parts[1]);
  bag.setString(PR_EMAIL_ADDRESS, parts[2]);
  bag.setBinary(PR_ENTRYID, entryId);
  bag.setLong(PR_OBJECT_TYPE, LONG(MAPI_MAILUSER));
  return bag;
}

const PropValue* findIn(const ADRENTRY& e, ULONG tag, PropValue& holder) {
  for (ULONG k = 0; e.rgPropVals && k < e.cValues; ++k)
    if (e.rgPropVals[k].ulPropTag == tag) {
      holder = PropValue::fromMapi(e.rgPropVals[k]);
      return &holder;
    }
  return nullptr;
}

} // namespace

void QuorvelSetAddressDialogHandler(AddressDialogHandler handler, void* context) {
  std::lock_guard guard(installed().lock);
  installed().handler = handler;
  installed().context = context;
}

HRESULT MailUser::QueryInterface(const IID& riid, void** ppv) {
  return answer(riid, ppv, {IID_IMAPIProp, IID_IMailUser});
}

HRESULT AddrBook::QueryInterface(const IID& riid, void** ppv) {
  return answer(riid, ppv, {IID_IMAPIProp, IID_IAddrBook});
}

PropertyBag AddrBook::properties() const {
  PropertyBag bag;
  bag.setString(PR_DISPLAY_NAME, "Contacts");
  bag.setLong(PR_OBJECT_TYPE, LONG(MAPI_ADDRBOOK));
  return bag;
}

HRESULT AddrBook::OpenEntry(ULONG cb, const ENTRYID* id, LPCIID iid, ULONG, ULONG* type,
                            IUnknown** out) {
  if (!out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  if (!id || cb == 0)
    return MAPI_E_NO_SUPPORT; // the library offers no containers to browse
  if (!wants(iid, {IID_IMAPIProp, IID_IMailUser}))
    return MAPI_E_INTERFACE_NOT_SUPPORTED;
  return guarded([&]() -> HRESULT {
    std::string entryId(reinterpret_cast<const char*>(id), cb);
    PropertyBag props;
    if (auto payload = entryIdPayload(entryId, kOneOffProvider)) {
      props = oneOffProperties(*payload, entryId);
    } else if (entryIdPayload(entryId, kContactsProvider)) {
      contacts_->refresh();
      const Contact* c = contacts_->byEntryId(entryId);
      if (!c)
        return MAPI_E_NOT_FOUND;
      props = contactProperties(*c);
    } else {
      return MAPI_E_UNKNOWN_ENTRYID;
    }
    if (type)
      *type = MAPI_MAILUSER;
    *out = new MailUser(std::move(props));
    return S_OK;
  });
}

HRESULT AddrBook::CreateOneOff(LPCSTR name, LPCSTR type, LPCSTR address, ULONG, ULONG* cb,
                               ENTRYID** out) {
  if (!type || !address || !cb || !out)
    return MAPI_E_INVALID_PARAMETER;
  return guarded([&] {
    return copyEntryId(makeEntryId(kOneOffProvider, oneOffPayload(name, type, address)), cb, out);
  });
}

// Entries that carry an entry id are resolved already, and empty ones have
// nothing to resolve. An entry with only a display name takes the contact of
// exactly that name when there is just one; otherwise it stays as it is and
// the call reports a warning.
HRESULT AddrBook::ResolveName(ULONG_PTR, ULONG, LPCSTR, ADRLIST* list) {
  if (!list)
    return MAPI_E_INVALID_PARAMETER;
  return guarded([&]() -> HRESULT {
    contacts_->refresh();
    bool unresolved = false;
    for (ULONG i = 0; i < list->cEntries; ++i) {
      ADRENTRY& e = list->aEntries[i];
      PropValue holder, nameHolder, typeHolder;
      if (e.cValues == 0 || findIn(e, PR_ENTRYID, holder))
        continue;
      const PropValue* name = findIn(e, PR_DISPLAY_NAME, nameHolder);
      const Contact* match = nullptr;
      int matches = 0;
      for (const auto& c : contacts_->contacts())
        if (name && foldCase(c.displayName) == foldCase(trimmed(name->data))) {
          match = &c;
          ++matches;
        }
      if (matches != 1) {
        unresolved = true;
        continue;
      }
      PropertyBag bag = contactProperties(*match);
      bag.erase(PR_OBJECT_TYPE);
      if (const PropValue* t = findIn(e, PR_RECIPIENT_TYPE, typeHolder))
        bag.set(*t);
      bool missing = false;
      std::vector<PropValue> values = bag.select(nullptr, &missing);
      SPropValue* fresh = nullptr;
      if (SCODE sc = copyArray(values, &fresh); sc != S_OK)
        return sc;
      MAPIFreeBuffer(e.rgPropVals);
      e.rgPropVals = fresh;
      e.cValues = ULONG(values.size());
    }
    return unresolved ? MAPI_W_ERRORS_RETURNED : S_OK;
  });
}

HRESULT AddrBook::Address(ULONG_PTR* uiParam, ADRPARM* parm, ADRLIST** list) {
  if (!parm || !list)
    return MAPI_E_INVALID_PARAMETER;
  if (parm->ulFlags & DIALOG_SDI)
    return MAPI_E_NO_SUPPORT; // only the modal dialog exists
  return guarded([&]() -> HRESULT {
    contacts_->refresh();
    AddressDialogModel model(*contacts_, *parm, *list);
    AddressDialogHandler handler = nullptr;
    void* context = nullptr;
    {
      std::lock_guard guard(installed().lock);
      handler = installed().handler;
      context = installed().context;
    }
    if (handler) {
      if (!handler(model, context))
        return MAPI_E_USER_CANCEL;
    } else {
      switch (runAddressWindow(model, uiParam ? *uiParam : 0)) {
      case WindowOutcome::Cancelled:
        return MAPI_E_USER_CANCEL;
      case WindowOutcome::Unavailable:
        return MAPI_E_NO_SUPPORT;
      case WindowOutcome::Accepted:
        break;
      }
    }
    ADRLIST* fresh = nullptr;
    if (HRESULT hr = model.buildList(&fresh); HR_FAILED(hr))
      return hr;
    freeAddressList(*list);
    *list = fresh;
    return S_OK;
  });
}

} // namespace quorvel::mapi
