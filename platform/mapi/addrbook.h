// The address book of a session: contact entries, one-off entries, name
// resolution and the address dialog.
#pragma once

#include "mapi/contacts.h"
#include "mapi/mapiobject.h"

#include <memory>

namespace quorvel::mapi {

/// One address-book entry opened by entry id.
class MailUser : public Object<IMailUser> {
public:
  explicit MailUser(PropertyBag props) : props_(std::move(props)) {}

  HRESULT QueryInterface(const IID& riid, void** ppv) override;
  HRESULT SaveChanges(ULONG) override { return MAPI_E_NO_ACCESS; }
  HRESULT GetProps(const SPropTagArray* tags, ULONG flags, ULONG* count,
                   SPropValue** values) override;
  HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, IUnknown**) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT SetProps(ULONG, const SPropValue*, SPropProblemArray**) override {
    return MAPI_E_NO_ACCESS;
  }

private:
  PropertyBag props_;
};

class AddrBook : public Object<IAddrBook> {
public:
  explicit AddrBook(std::shared_ptr<ContactList> contacts) : contacts_(std::move(contacts)) {}

  HRESULT QueryInterface(const IID& riid, void** ppv) override;
  HRESULT SaveChanges(ULONG) override { return MAPI_E_NO_ACCESS; }
  HRESULT GetProps(const SPropTagArray* tags, ULONG flags, ULONG* count,
                   SPropValue** values) override;
  HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, IUnknown**) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT SetProps(ULONG, const SPropValue*, SPropProblemArray**) override {
    return MAPI_E_NO_ACCESS;
  }
  HRESULT OpenEntry(ULONG cbEntryID, const ENTRYID* lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                    ULONG* lpulObjType, IUnknown** lppUnk) override;
  HRESULT CreateOneOff(LPCSTR lpszName, LPCSTR lpszAdrType, LPCSTR lpszAddress, ULONG ulFlags,
                       ULONG* lpcbEntryID, ENTRYID** lppEntryID) override;
  HRESULT ResolveName(ULONG_PTR ulUIParam, ULONG ulFlags, LPCSTR lpszNewEntryTitle,
                      ADRLIST* lpAdrList) override;
  HRESULT Address(ULONG_PTR* lpulUIParam, ADRPARM* lpAdrParms, ADRLIST** lppAdrList) override;

private:
  std::shared_ptr<ContactList> contacts_;
};

} // namespace quorvel::mapi
