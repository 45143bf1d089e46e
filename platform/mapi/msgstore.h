// The message store of a profile: a Maildir with an inbox and a sent-items
// folder, its folders and the messages created in them.
#pragma once

#include "mapi/propobject.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::mapi {

/// What the store offers (PR_STORE_SUPPORT_MASK). The store files plain-text
/// mail and keeps no RTF beyond an open message, so it does not claim to
/// keep RTF and text in step (writers then also write PR_BODY, which becomes
/// the mail's text byte for byte), and asks for RTF uncompressed since it is
/// never kept. It submits nothing and holds no attachments.
inline constexpr ULONG kStoreSupportMask =
    STORE_ENTRYID_UNIQUE | STORE_MODIFY_OK | STORE_CREATE_OK | STORE_UNCOMPRESSED_RTF;

struct StoreConfig {
  std::filesystem::path root;          ///< the Maildir
  std::string sentFolder = "Sent Items";
  std::string displayName = "Personal Folders";

  std::string entryId() const;
  std::string folderEntryId(const std::string& folder) const;
};

class MsgStore : public FixedPropObject<IMsgStore> {
public:
  MsgStore(StoreConfig config, bool writable);

  HRESULT QueryInterface(const IID& riid, void** ppv) override;
  HRESULT OpenEntry(ULONG cbEntryID, const ENTRYID* lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                    ULONG* lpulObjType, IUnknown** lppUnk) override;
  HRESULT GetReceiveFolder(LPCSTR lpszMessageClass, ULONG ulFlags, ULONG* lpcbEntryID,
                           ENTRYID** lppEntryID, LPSTR* lppszExplicitClass) override;

protected:
  PropertyBag properties() const override;

private:
  StoreConfig config_;
  bool writable_;
};

class Folder : public FixedPropObject<IMAPIFolder> {
public:
  Folder(StoreConfig config, std::string name, bool writable);

  HRESULT QueryInterface(const IID& riid, void** ppv) override;
  HRESULT CreateMessage(LPCIID lpInterface, ULONG ulFlags, IMessage** lppMessage) override;

protected:
  PropertyBag properties() const override;

private:
  StoreConfig config_;
  std::string name_;
  bool writable_;
};

class Message : public Object<IMessage> {
public:
  Message(std::filesystem::path folder, bool subfolder);

  HRESULT QueryInterface(const IID& riid, void** ppv) override;
  HRESULT SaveChanges(ULONG ulFlags) override;
  HRESULT GetProps(const SPropTagArray* tags, ULONG flags, ULONG* count,
                   SPropValue** values) override;
  HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                       IUnknown** lppUnk) override;
  HRESULT SetProps(ULONG cValues, const SPropValue* lpPropArray,
                   SPropProblemArray** lppProblems) override;
  HRESULT ModifyRecipients(ULONG ulFlags, const ADRLIST* lpMods) override;
  HRESULT SubmitMessage(ULONG) override { return MAPI_E_NO_SUPPORT; }

private:
  std::filesystem::path folder_;
  bool subfolder_;
  PropertyBag props_;
  std::vector<PropertyBag> recipients_;
  std::filesystem::path delivered_; // the file of the last SaveChanges
  std::string messageId_;
};

} // namespace quorvel::mapi
