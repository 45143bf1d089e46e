// The system's one gateway to the mail layer: logon, the address book and
// its dialog, and filing sent batches in the default message store.
#pragma once

#include "mapi/mapidefs.h"
#include "mapi/mapiref.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel {

class TkaEmail;

/// A failed assertion: the one error the mail operations let through.
class EAssertionFailed : public std::logic_error {
public:
  using std::logic_error::logic_error;
};

/// Titles and recipient types of the address dialog's three wells.
extern const char* const PrglpszDestTitles[3];
extern const mapi::ULONG PrgulDestComps[3];

/// Everything opened lives as long as the object: the session on the first
/// operation that needs it, then the address book and the store. All
/// operations fail silently (they return a status, or nothing).
class TkaMapi {
public:
  /// \p hndl is the window that parents the layer's dialogs (0 for none).
  explicit TkaMapi(uintptr_t hndl);
  ~TkaMapi();
  TkaMapi(const TkaMapi&) = delete;
  TkaMapi& operator=(const TkaMapi&) = delete;

  /// Logs on to the default profile unless a session is open already.
  mapi::HRESULT MapiLogin();
  /// Opens the address book unless it is open already.
  mapi::HRESULT mapiOpenAddressBook();
  /// The string property \p propertyName of the address-book entry behind
  /// \p AddressBookEntry ("" when there is none); \p displayName receives
  /// the entry's display name when it carries one.
  std::string getContactProperty(const mapi::ADRENTRY& AddressBookEntry,
                                 mapi::ULONG propertyName, std::string& displayName);
  /// Shows the address dialog with the previous picks; on OK fills
  /// selAddrlist with one "name [mobile] " text per picked entry.
  void showAddressSelForm();

  /// Opens the default message store afresh.
  mapi::HRESULT OpenDefaultMessageStore();
  /// Files \p kaEmail in the folder named by the store property \p mailbox
  /// (PR_DEFAULT_STORE stands for the receive folder). Raises
  /// EAssertionFailed when the store reports its support mask under a wrong tag.
  void CreateMessage(uint32_t mailbox, TkaEmail* kaEmail);
  /// Adds the texts of \p recipient_email to \p pmsg as recipients of type
  /// \p RECIP_TYPE.
  mapi::HRESULT SetMsgTO(mapi::IMessage* pmsg, const std::vector<std::string>& recipient_email,
                         mapi::ULONG RECIP_TYPE);
  /// Fills \p aEntry as a one-off SMTP recipient for \p email; the entry
  /// points at \p email, which must outlive it.
  mapi::HRESULT createAddrEntry(mapi::ADRENTRY& aEntry, const std::string& email,
                                mapi::ULONG RECIP_TYPE);
  /// Writes \p bodyStream as the text of \p pMsg.
  mapi::HRESULT SetMessageText(mapi::IMessage* pMsg, const std::string& bodyStream);

  /// One text per entry picked in the last successful address dialog.
  std::vector<std::string> selAddrlist;

  /// What the object holds, for callers that need to look (tests).
  bool hasSession() const { return bool(FSession); }
  bool hasAddressBook() const { return bool(FAddrBook); }
  bool hasMessageStore() const { return bool(FMsgStore); }
  const mapi::ADRLIST* lastAddressList() const { return FAddrList; }

private:
  mapi::Ref<mapi::IMAPISession> FSession;
  mapi::Ref<mapi::IMsgStore> FMsgStore;
  mapi::Ref<mapi::IAddrBook> FAddrBook;
  mapi::ADRLIST* FAddrList = nullptr;
  uintptr_t FHandle;

  mapi::HRESULT addRecipients(mapi::IMessage* pmsg, const std::vector<std::string>& texts,
                              mapi::ULONG RECIP_TYPE);
  void freeAddressList(mapi::ADRLIST*& list);
};

} // namespace quorvel
