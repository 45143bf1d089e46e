// The address book of a session: contact entries, one-off entries, name
// resolution and the address dialog.
#pragma once

#include "mapi/contacts.h"
#include "mapi/propobject.h"

#include <memory>

namespace quorvel::mapi {

/// One address-book entry opened by entry id.
class MailUser : public FixedPropObject<IMailUser> {
public:
  explicit MailUser(PropertyBag props) : props_(std::move(props)) {}
  HRESULT QueryInterface(const IID& riid, void** ppv) override;

protected:
  PropertyBag properties() const override { return props_; }

private:
  PropertyBag props_;
};

class AddrBook : public FixedPropObject<IAddrBook> {
public:
  explicit AddrBook(std::shared_ptr<ContactList> contacts) : contacts_(std::move(contacts)) {}

  HRESULT QueryInterface(const IID& riid, void** ppv) override;
  HRESULT OpenEntry(ULONG cbEntryID, const ENTRYID* lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                    ULONG* lpulObjType, IUnknown** lppUnk) override;
  HRESULT CreateOneOff(LPCSTR lpszName, LPCSTR lpszAdrType, LPCSTR lpszAddress, ULONG ulFlags,
                       ULONG* lpcbEntryID, ENTRYID** lppEntryID) override;
  HRESULT ResolveName(ULONG_PTR ulUIParam, ULONG ulFlags, LPCSTR lpszNewEntryTitle,
                      ADRLIST* lpAdrList) override;
  HRESULT Address(ULONG_PTR* lpulUIParam, ADRPARM* lpAdrParms, ADRLIST** lppAdrList) override;

protected:
  PropertyBag properties() const override;

private:
  std::shared_ptr<ContactList> contacts_;
};

} // namespace quorvel::mapi
