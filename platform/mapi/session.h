// A logged-on session: the profile's address book and message store.
#pragma once

#include "mapi/contacts.h"
#include "mapi/mapiobject.h"
#include "mapi/profile.h"

#include <memory>

namespace quorvel::mapi {

class Session : public Object<IMAPISession> {
public:
  explicit Session(Profile profile);

  HRESULT QueryInterface(const IID& riid, void** ppv) override;
  HRESULT GetMsgStoresTable(ULONG ulFlags, IMAPITable** lppTable) override;
  HRESULT OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, const ENTRYID* lpEntryID,
                       LPCIID lpInterface, ULONG ulFlags, IMsgStore** lppMDB) override;
  HRESULT OpenAddressBook(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags,
                          IAddrBook** lppAdrBook) override;
  HRESULT Logoff(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) override;

private:
  Profile profile_;
  std::shared_ptr<ContactList> contacts_;
  bool loggedOff_ = false;
};

} // namespace quorvel::mapi
