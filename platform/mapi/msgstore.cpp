// The message store of a profile: a Maildir with an inbox and a sent-items
// folder, its folders and the messages created in them. Saving a message
// files it as Internet mail.
#include "mapi/msgstore.h"

#include "mapi/maildir.h"
#include "mapi/mapientryid.h"
#include "mapi/mapiexports.h"
#include "mapi/mapirtf.h"
#include "mapi/mapistream.h"
#include "mapi/mapitext.h"
#include "mapi/rfc5322.h"

#include <cctype>
#include <cstring>

namespace quorvel::mapi {
namespace fs = std::filesystem;

// Store ids carry "S" and the Maildir path; folder ids "F", the path, a zero
// byte and the folder name ("" for the inbox).
std::string StoreConfig::entryId() const {
  return makeEntryId(kStoreProvider, "S" + root.string());
}

std::string StoreConfig::folderEntryId(const std::string& folder) const {
  return makeEntryId(kStoreProvider, "F" + root.string() + '\0' + folder);
}

MsgStore::MsgStore(StoreConfig config, bool writable)
    : config_(std::move(config)), writable_(writable) {}

HRESULT MsgStore::QueryInterface(const IID& riid, void** ppv) {
  return answer(riid, ppv, {IID_IMAPIProp, IID_IMsgStore});
}

PropertyBag MsgStore::properties() const {
  PropertyBag bag;
  bag.setBinary(PR_ENTRYID, config_.entryId());
  bag.setString(PR_DISPLAY_NAME, config_.displayName);
  bag.setLong(PR_OBJECT_TYPE, LONG(MAPI_STORE));
  bag.setLong(PR_STORE_SUPPORT_MASK, LONG(kStoreSupportMask));
  bag.setBinary(PR_IPM_SENTMAIL_ENTRYID, config_.folderEntryId(config_.sentFolder));
  return bag;
}

HRESULT MsgStore::OpenEntry(ULONG cb, const ENTRYID* id, LPCIID iid, ULONG flags, ULONG* type,
                            IUnknown** out) {
  if (!out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  if (!wants(iid, {IID_IMAPIProp, IID_IMAPIFolder}))
    return MAPI_E_INTERFACE_NOT_SUPPORTED;
  return guarded([&]() -> HRESULT {
    std::string name; // no id opens the inbox
    if (id && cb) {
      std::optional<std::string> payload = entryIdPayload(cb, id, kStoreProvider);
      std::string prefix = "F" + config_.root.string() + '\0';
      if (!payload || payload->compare(0, prefix.size(), prefix) != 0)
        return MAPI_E_INVALID_ENTRYID;
      name = payload->substr(prefix.size());
      if (!name.empty() && !isValidFolderName(name))
        return MAPI_E_INVALID_ENTRYID;
    }
    bool modify = (flags & MAPI_MODIFY) != 0;
    if (modify && !writable_)
      return MAPI_E_NO_ACCESS;
    fs::path folder = maildirFolder(config_.root, name);
    if (modify) {
      if (HRESULT hr = ensureMaildir(folder, !name.empty()); HR_FAILED(hr))
        return hr;
    } else if (std::error_code ec; !fs::is_directory(folder / "cur", ec)) {
      return MAPI_E_NOT_FOUND;
    }
    if (type)
      *type = MAPI_FOLDER;
    *out = new Folder(config_, name, modify);
    return S_OK;
  });
}

HRESULT MsgStore::GetReceiveFolder(LPCSTR, ULONG, ULONG* cb, ENTRYID** id, LPSTR* explicitClass) {
  if (!cb || !id)
    return MAPI_E_INVALID_PARAMETER;
  if (explicitClass)
    *explicitClass = nullptr;
  return guarded([&]() -> HRESULT {
    // Every message class arrives in the inbox.
    HRESULT hr = copyEntryId(config_.folderEntryId(""), cb, id);
    if (HR_FAILED(hr) || !explicitClass)
      return hr;
    void* mem = nullptr;
    if (SCODE sc = MAPIAllocateBuffer(1, &mem); sc != S_OK) {
      MAPIFreeBuffer(*id);
      *id = nullptr;
      return sc;
    }
    *explicitClass = static_cast<char*>(mem); // "": the default for all classes
    return S_OK;
  });
}

Folder::Folder(StoreConfig config, std::string name, bool writable)
    : config_(std::move(config)), name_(std::move(name)), writable_(writable) {}

HRESULT Folder::QueryInterface(const IID& riid, void** ppv) {
  return answer(riid, ppv, {IID_IMAPIProp, IID_IMAPIFolder});
}

PropertyBag Folder::properties() const {
  PropertyBag bag;
  bag.setBinary(PR_ENTRYID, config_.folderEntryId(name_));
  bag.setString(PR_DISPLAY_NAME, name_.empty() ? "Inbox" : name_);
  bag.setLong(PR_OBJECT_TYPE, LONG(MAPI_FOLDER));
  return bag;
}

HRESULT Folder::CreateMessage(LPCIID iid, ULONG, IMessage** out) {
  if (!out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  if (!wants(iid, {IID_IMAPIProp, IID_IMessage}))
    return MAPI_E_INTERFACE_NOT_SUPPORTED;
  if (!writable_)
    return MAPI_E_NO_ACCESS;
  return guarded([&] {
    *out = new Message(maildirFolder(config_.root, name_), !name_.empty());
    return S_OK;
  });
}

Message::Message(fs::path folder, bool subfolder)
    : folder_(std::move(folder)), subfolder_(subfolder) {
  std::string host;
  for (char c : hostName())
    if (std::isalnum(uint8_t(c)) || c == '.' || c == '-')
      host.push_back(c);
  std::string unique = uniqueMessageName();
  messageId_ = unique.substr(0, unique.find('.', unique.find('Q'))) + "@" +
               (host.empty() ? "localhost" : host);
}

HRESULT Message::QueryInterface(const IID& riid, void** ppv) {
  return answer(riid, ppv, {IID_IMAPIProp, IID_IMessage});
}

HRESULT Message::GetProps(const SPropTagArray* tags, ULONG, ULONG* count, SPropValue** values) {
  return guarded([&] { return props_.getProps(tags, count, values); });
}

HRESULT Message::SetProps(ULONG n, const SPropValue* values, SPropProblemArray** problems) {
  return guarded([&] { return props_.setProps(n, values, problems); });
}

HRESULT Message::OpenProperty(ULONG tag, LPCIID iid, ULONG options, ULONG flags,
                              IUnknown** out) {
  if (!out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  ULONG type = PROP_TYPE(tag);
  if (type != PT_BINARY && type != PT_STRING8)
    return MAPI_E_NO_SUPPORT;
  if (!iid || !(*iid == IID_IStream))
    return MAPI_E_INTERFACE_NOT_SUPPORTED;
  return guarded([&]() -> HRESULT {
    const PropValue* current = props_.find(tag);
    bool create = (flags & MAPI_CREATE) != 0;
    if (!current && !create)
      return MAPI_E_NOT_FOUND;
    bool writable = (flags & MAPI_MODIFY) && (options & (STGM_WRITE | STGM_READWRITE));
    std::string initial = (options & STGM_CREATE) || !current ? "" : current->data;
    AddRef();
    Ref<IMessage> self(this);
    *out = new MemStream(std::move(initial), [self, tag, writable, this](const std::string& bytes) {
      if (!writable)
        return MAPI_E_NO_ACCESS;
      props_.set(PROP_TYPE(tag) == PT_BINARY ? PropValue::binary(tag, bytes)
                                             : PropValue::string(tag, bytes));
      return S_OK;
    });
    return S_OK;
  });
}

HRESULT Message::ModifyRecipients(ULONG flags, const ADRLIST* mods) {
  if (!mods)
    return MAPI_E_INVALID_PARAMETER;
  if (flags & (MODRECIP_MODIFY | MODRECIP_REMOVE))
    return MAPI_E_NO_SUPPORT;
  return guarded([&] {
    if (!(flags & MODRECIP_ADD))
      recipients_.clear(); // no flag replaces the whole list
    for (ULONG i = 0; i < mods->cEntries; ++i) {
      const ADRENTRY& e = mods->aEntries[i];
      PropertyBag bag;
      for (ULONG k = 0; e.rgPropVals && k < e.cValues; ++k) {
        ULONG type = PROP_TYPE(e.rgPropVals[k].ulPropTag);
        if (isSupportedType(type) && type != PT_ERROR)
          bag.set(PropValue::fromMapi(e.rgPropVals[k]));
      }
      if (bag.find(PR_DISPLAY_NAME) || bag.find(PR_EMAIL_ADDRESS))
        recipients_.push_back(std::move(bag)); // an entry with nothing to show is dropped
    }
    return S_OK;
  });
}

namespace {

int64_t messageDate(const PropertyBag& props) {
  for (ULONG tag : {PR_MESSAGE_DELIVERY_TIME, PR_CLIENT_SUBMIT_TIME, PR_CREATION_TIME})
    if (const PropValue* v = props.find(tag))
      return unixFromFileTime(v->scalar.ft);
  return unixFromFileTime(fileTimeNow());
}

MailRecipient recipientOf(const PropertyBag& r) {
  MailRecipient m;
  m.type = ULONG(r.getLong(PR_RECIPIENT_TYPE).value_or(LONG(MAPI_TO)));
  m.name = r.getString(PR_DISPLAY_NAME).value_or("");
  if (equalsNoCase(r.getString(PR_ADDRTYPE).value_or("SMTP"), "SMTP"))
    m.address = r.getString(PR_EMAIL_ADDRESS).value_or("");
  m.mobile = r.getString(PR_MOBILE_TELEPHONE_NUMBER).value_or("");
  return m;
}

} // namespace

HRESULT Message::SaveChanges(ULONG) {
  return guarded([&]() -> HRESULT {
    MailMessage m;
    m.from = props_.getString(PR_SENT_REPRESENTING_NAME).value_or("");
    for (const auto& r : recipients_)
      m.recipients.push_back(recipientOf(r));
    m.subject = props_.getString(PR_SUBJECT).value_or("");
    m.date = messageDate(props_);
    m.priority = props_.getLong(PR_PRIORITY).value_or(0);
    m.importance = props_.getLong(PR_IMPORTANCE).value_or(1);
    if (auto body = props_.getString(PR_BODY))
      m.body = *body;
    else if (props_.find(PR_RTF_COMPRESSED))
      m.body = bodyFromRtfProperty(this).value_or("");
    m.messageId = messageId_;
    bool seen = (props_.getLong(PR_MESSAGE_FLAGS).value_or(0) & LONG(MSGFLAG_READ)) != 0;

    if (HRESULT hr = ensureMaildir(folder_, subfolder_); HR_FAILED(hr))
      return hr;
    fs::path file;
    if (HRESULT hr = deliverToMaildir(folder_, renderMessage(m), seen, file); HR_FAILED(hr))
      return hr;
    // Saving again replaces the copy filed before.
    if (!delivered_.empty()) {
      std::error_code ec;
      fs::remove(delivered_, ec);
    }
    delivered_ = file;
    return S_OK;
  });
}

} // namespace quorvel::mapi
