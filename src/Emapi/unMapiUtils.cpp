// The system's one gateway to the mail layer: logon, the address book and
// its dialog, and filing sent batches in the default message store.
#include "Emapi/unMapiUtils.h"

#include "Emapi/unEmail.h"
#include "Emapi/unMapiLib.h"

#include <chrono>
#include <cstring>

namespace quorvel {

using namespace mapi;

const char* const PrglpszDestTitles[3] = {"To", "CC", "BCC"};
const ULONG PrgulDestComps[3] = {MAPI_TO, MAPI_CC, MAPI_BCC};

namespace {

constexpr ULONG kLogonFlags =
    MAPI_LOGON_UI | MAPI_NEW_SESSION | MAPI_ALLOW_OTHERS | MAPI_EXTENDED | MAPI_USE_DEFAULT;
// The batch size of the fixed address list the recipients are handed over in.
constexpr size_t kMaxRecipientsPerList = 256;
// Returned where an entry point of the layer is not bound.
constexpr HRESULT kUnbound = MAPI_E_NOT_INITIALIZED;

const TMapiEntryPoints& ep() { return mapiEntryPoints(); }

/// Frees a buffer of the layer when it goes out of scope.
template <typename T> class TMapiBuffer {
public:
  TMapiBuffer() = default;
  TMapiBuffer(const TMapiBuffer&) = delete;
  TMapiBuffer& operator=(const TMapiBuffer&) = delete;
  ~TMapiBuffer() { reset(); }
  T** out() {
    reset();
    return &p_;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  void reset() {
    if (p_ && ep().MAPIFreeBuffer)
      ep().MAPIFreeBuffer(p_);
    p_ = nullptr;
  }

private:
  T* p_ = nullptr;
};

FILETIME fileTimeNow() {
  using namespace std::chrono;
  // 100-nanosecond steps since 1601-01-01 UTC.
  constexpr int64_t kEpochDelta = 11644473600LL * 10000000LL;
  int64_t ticks =
      duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100 +
      kEpochDelta;
  return FILETIME{uint32_t(uint64_t(ticks)), uint32_t(uint64_t(ticks) >> 32)};
}

SPropValue stringProp(ULONG tag, std::string& s) {
  SPropValue v{};
  v.ulPropTag = tag;
  v.Value.lpszA = s.data();
  return v;
}

SPropValue longProp(ULONG tag, LONG l) {
  SPropValue v{};
  v.ulPropTag = tag;
  v.Value.l = l;
  return v;
}

SPropValue timeProp(ULONG tag, FILETIME ft) {
  SPropValue v{};
  v.ulPropTag = tag;
  v.Value.ft = ft;
  return v;
}

} // namespace

TkaMapi::TkaMapi(uintptr_t hndl) : FHandle(hndl) {
  if (ep().MAPIInitialize)
    ep().MAPIInitialize(nullptr);
}

TkaMapi::~TkaMapi() {
  FSession.reset();
  FAddrBook.reset();
  freeAddressList(FAddrList);
  FMsgStore.reset();
  selAddrlist.clear();
  if (ep().MAPIUninitialize)
    ep().MAPIUninitialize();
}

// Lists from the address dialog hold one buffer of values per entry.
void TkaMapi::freeAddressList(ADRLIST*& list) {
  if (list && ep().MAPIFreeBuffer) {
    for (ULONG i = 0; i < list->cEntries; ++i)
      ep().MAPIFreeBuffer(list->aEntries[i].rgPropVals);
    ep().MAPIFreeBuffer(list);
  }
  list = nullptr;
}

HRESULT TkaMapi::MapiLogin() {
  if (FSession)
    return S_OK;
  if (!ep().MAPILogonEx)
    return kUnbound;
  IMAPISession* session = nullptr;
  HRESULT hr = ep().MAPILogonEx(FHandle, nullptr, nullptr, kLogonFlags, &session);
  Ref<IMAPISession> got(session);
  if (hr == S_OK)
    FSession = std::move(got);
  return hr;
}

HRESULT TkaMapi::mapiOpenAddressBook() {
  if (FAddrBook)
    return S_OK;
  if (!FSession)
    return kUnbound;
  IAddrBook* book = nullptr;
  HRESULT hr = FSession->OpenAddressBook(FHandle, nullptr, 0, &book);
  Ref<IAddrBook> got(book);
  if (hr == S_OK)
    FAddrBook = std::move(got);
  return hr;
}

std::string TkaMapi::getContactProperty(const ADRENTRY& AddressBookEntry, ULONG propertyName,
                                        std::string& displayName) {
  std::string result;
  for (ULONG i = 0; AddressBookEntry.rgPropVals && i < AddressBookEntry.cValues; ++i) {
    const SPropValue& v = AddressBookEntry.rgPropVals[i];
    if (v.ulPropTag == PR_DISPLAY_NAME) {
      displayName = fromMapiText(v.Value.lpszA);
    } else if (v.ulPropTag == PR_ENTRYID && FAddrBook && ep().HrGetOneProp) {
      ULONG type = 0;
      IUnknown* unk = nullptr;
      HRESULT hr = FAddrBook->OpenEntry(v.Value.bin.cb, reinterpret_cast<ENTRYID*>(v.Value.bin.lpb),
                                        nullptr, 0, &type, &unk);
      // An entry opened without an interface id comes as its own kind of
      // property object (a mail user).
      Ref<IMAPIProp> entry(static_cast<IMAPIProp*>(unk));
      if (hr != S_OK || !entry)
        continue;
      TMapiBuffer<SPropValue> value;
      if (ep().HrGetOneProp(entry.get(), propertyName, value.out()) == S_OK && value.get() &&
          PROP_TYPE(value->ulPropTag) == PT_STRING8 && value->Value.lpszA)
        result = fromMapiText(value->Value.lpszA);
    }
  }
  return result;
}

void TkaMapi::showAddressSelForm() {
  FAddrSelConfirmed = false;
  MapiLogin();
  if (!FSession)
    return;
  mapiOpenAddressBook();
  if (!FAddrBook)
    return;
  ULONG_PTR handle = FHandle; // the dialog takes the parent by reference

  ADRPARM parm{};
  parm.ulFlags = DIALOG_MODAL | AB_SELECTONLY;
  parm.lpszCaption = "Select Names";
  parm.lpszNewEntryTitle = "For this test only";
  parm.lpszDestWellsTitle = "Message Recipients";
  parm.cDestFields = 3;
  parm.nDestFieldFocus = 0;
  parm.lppszDestTitles = const_cast<LPCSTR*>(PrglpszDestTitles);
  parm.lpulDestComps = const_cast<ULONG*>(PrgulDestComps);

  if (FAddrBook->Address(&handle, &parm, &FAddrList) != S_OK)
    return; // cancelled or failed: the earlier selection stays

  FAddrSelConfirmed = true;
  selAddrlist.clear();
  if (!FAddrList)
    return;
  // The well an entry came from does not matter here; the caller decides
  // where each text goes.
  for (ULONG i = 0; i < FAddrList->cEntries; ++i) {
    std::string displayName;
    std::string phone =
        getContactProperty(FAddrList->aEntries[i], PR_MOBILE_TELEPHONE_NUMBER, displayName);
    selAddrlist.push_back(displayName + " [" + phone + "] ");
  }
}

HRESULT TkaMapi::OpenDefaultMessageStore() {
  if (!FSession)
    return kUnbound;
  if (!ep().HrQueryAllRows || !ep().FreeProws)
    return kUnbound;
  IMAPITable* rawTable = nullptr;
  HRESULT hr = FSession->GetMsgStoresTable(0, &rawTable);
  Ref<IMAPITable> table(rawTable);
  SRowSet* rows = nullptr;
  if (!HR_FAILED(hr) && table) {
    SPropTagArray columns[2]{}; // room for two tags
    columns[0].cValues = 2;
    ULONG* tags = columns[0].aulPropTag;
    tags[0] = PR_ENTRYID;
    tags[1] = PR_DEFAULT_STORE;
    SPropValue isDefault{};
    isDefault.ulPropTag = PR_DEFAULT_STORE;
    isDefault.Value.b = 1;
    SRestriction restriction{};
    restriction.rt = RES_PROPERTY;
    restriction.res.resProperty = {RELOP_EQ, PR_DEFAULT_STORE, &isDefault};

    hr = ep().HrQueryAllRows(table.get(), columns, &restriction, nullptr, 0, &rows);
    if (hr == S_OK) {
      bool found = rows && rows->cRows >= 1 && rows->aRow[0].cValues >= 1 &&
                   rows->aRow[0].lpProps && rows->aRow[0].lpProps[0].ulPropTag == PR_ENTRYID;
      if (!found) {
        hr = S_FALSE; // a plain "not found"
      } else {
        const SBinary& id = rows->aRow[0].lpProps[0].Value.bin;
        FMsgStore.reset();
        IMsgStore* store = nullptr;
        hr = FSession->OpenMsgStore(0, id.cb, reinterpret_cast<ENTRYID*>(id.lpb), nullptr,
                                    MDB_WRITE, &store);
        Ref<IMsgStore> got(store);
        if (hr == S_OK)
          FMsgStore = std::move(got);
      }
    }
  } else if (!HR_FAILED(hr)) {
    hr = MAPI_E_CALL_FAILED; // a warning without a table
  }
  ep().FreeProws(rows);
  return hr;
}

void TkaMapi::CreateMessage(uint32_t mailbox, TkaEmail* kaEmail) {
  if (!kaEmail)
    return;
  MapiLogin();
  if (!FSession)
    return;
  OpenDefaultMessageStore();
  if (!FMsgStore)
    return;

  // The folder: the receive folder for PR_DEFAULT_STORE, else the store
  // property named by mailbox holds its entry id.
  const bool toInbox = mailbox == PR_DEFAULT_STORE;
  ULONG idSize = 0;
  const ENTRYID* folderId = nullptr;
  TMapiBuffer<ENTRYID> receiveId;
  TMapiBuffer<char> explicitClass;
  TMapiBuffer<SPropValue> storeProps;
  if (toInbox) {
    if (FMsgStore->GetReceiveFolder("IPM.Note", 0, &idSize, receiveId.out(),
                                    explicitClass.out()) != S_OK)
      return;
    folderId = receiveId.get();
  } else {
    ULONG count = 0;
    if (FMsgStore->GetProps(nullptr, 0, &count, storeProps.out()) != S_OK)
      return;
    for (ULONG i = 0; storeProps.get() && i < count; ++i)
      if (storeProps.get()[i].ulPropTag == mailbox) {
        idSize = storeProps.get()[i].Value.bin.cb;
        folderId = reinterpret_cast<const ENTRYID*>(storeProps.get()[i].Value.bin.lpb);
        break;
      }
    if (!folderId)
      return; // the store has no such folder: nothing is filed
  }

  ULONG type = 0;
  IUnknown* unk = nullptr;
  if (FMsgStore->OpenEntry(idSize, folderId, nullptr, MAPI_MODIFY, &type, &unk) != S_OK) {
    Ref<IUnknown> drop(unk);
    return;
  }
  Ref<IMAPIFolder> folder(static_cast<IMAPIFolder*>(unk));
  IMessage* rawMessage = nullptr;
  HRESULT created = folder ? folder->CreateMessage(nullptr, MAPI_DEFERRED_ERRORS, &rawMessage)
                           : MAPI_E_CALL_FAILED;
  Ref<IMessage> message(rawMessage);
  if (created != S_OK || !message)
    return;

  // From here on failures are not looked at: the message is saved with
  // whatever could be set.
  if (kaEmail->toAddr.empty()) {
    if (FAddrList)
      message->ModifyRecipients(MODRECIP_ADD, FAddrList);
  } else {
    SetMsgTO(message.get(), {kaEmail->toAddr.front()}, MAPI_TO);
    if (kaEmail->toAddr.size() > 1)
      SetMsgTO(message.get(), {kaEmail->toAddr.begin() + 1, kaEmail->toAddr.end()}, MAPI_CC);
  }

  std::string body = toMapiText(kaEmail->body);
  SetMessageText(message.get(), body);

  FILETIME now = fileTimeNow();
  std::string subject = toMapiText(kaEmail->subject), messageClass = "IPM.Note",
              from = toMapiText(kaEmail->fromAddr);
  SPropValue props[10] = {
      stringProp(PR_SUBJECT, subject),
      stringProp(PR_MESSAGE_CLASS, messageClass),
      longProp(PR_SUBMIT_FLAGS, LONG(SUBMITFLAG_LOCKED)),
      stringProp(PR_SENT_REPRESENTING_NAME, from),
      timeProp(PR_CREATION_TIME, now),
      timeProp(PR_CLIENT_SUBMIT_TIME, now),
      timeProp(PR_MESSAGE_DELIVERY_TIME, now),
      // Filed in the inbox it shows unread; anywhere else as read.
      longProp(PR_MESSAGE_FLAGS,
               LONG(toInbox ? MSGFLAG_UNMODIFIED : MSGFLAG_READ | MSGFLAG_UNMODIFIED)),
      longProp(PR_PRIORITY, kaEmail->priority),
      longProp(PR_IMPORTANCE, kaEmail->importance),
  };
  TMapiBuffer<SPropProblemArray> problems;
  message->SetProps(10, props, problems.out());
  message->SaveChanges(0); // saved, never submitted
}

HRESULT TkaMapi::SetMsgTO(IMessage* pmsg, const std::vector<std::string>& recipient_email,
                          ULONG RECIP_TYPE) {
  std::vector<std::string> texts;
  for (const auto& t : recipient_email)
    if (!t.empty())
      texts.push_back(t);
  // Longer lists go over in several address lists, so that none is lost.
  HRESULT hr = S_OK;
  for (size_t first = 0; first < texts.size() && !HR_FAILED(hr);
       first += kMaxRecipientsPerList) {
    std::vector<std::string> batch(
        texts.begin() + std::ptrdiff_t(first),
        texts.begin() + std::ptrdiff_t(std::min(texts.size(), first + kMaxRecipientsPerList)));
    hr = addRecipients(pmsg, batch, RECIP_TYPE);
  }
  return hr;
}

HRESULT TkaMapi::addRecipients(IMessage* pmsg, const std::vector<std::string>& texts,
                               ULONG RECIP_TYPE) {
  const size_t n = texts.size();
  if (n == 0)
    return S_OK;
  if (!pmsg || !ep().MAPIAllocateBuffer || !ep().MAPIFreeBuffer)
    return kUnbound;
  ADRLIST* list = nullptr;
  HRESULT hr =
      ep().MAPIAllocateBuffer(ULONG(CbNewADRLIST(n)), reinterpret_cast<void**>(&list));
  if (hr != S_OK || !list)
    return HR_FAILED(hr) ? hr : MAPI_E_NOT_ENOUGH_MEMORY;
  std::memset(static_cast<void*>(list), 0, CbNewADRLIST(n));

  // What this object allocated per entry; the layer may replace an entry's
  // values while resolving, and then owns (and has freed) the old ones.
  std::vector<SPropValue*> ownValues(n, nullptr);
  std::vector<std::string> names(n);
  auto release = [&] {
    for (size_t i = 0; i < n; ++i) {
      SPropValue* values = list->aEntries[i].rgPropVals;
      if (values && values == ownValues[i] && list->aEntries[i].cValues == 5)
        ep().MAPIFreeBuffer(values[4].Value.bin.lpb); // the one-off id
      ep().MAPIFreeBuffer(values);
    }
    ep().MAPIFreeBuffer(list);
  };

  mapiOpenAddressBook();
  if (!FAddrBook) {
    release();
    return S_OK;
  }

  list->cEntries = ULONG(n);
  for (size_t i = 0; i < n; ++i) {
    ADRENTRY& entry = list->aEntries[i];
    if (texts[i].find('@') != std::string::npos) {
      hr = createAddrEntry(entry, texts[i], RECIP_TYPE);
      ownValues[i] = entry.rgPropVals;
      if (HR_FAILED(hr)) {
        release();
        return hr;
      }
      continue;
    }
    // A name with a number in brackets, or a bare number: no Internet
    // address, but the text still names the recipient in the filed copy.
    names[i] = toMapiText(texts[i]);
    size_t b = names[i].find_first_not_of(" \t"), e = names[i].find_last_not_of(" \t");
    names[i] = b == std::string::npos ? "" : names[i].substr(b, e - b + 1);
    if (names[i].empty())
      continue;
    void* mem = nullptr;
    if (HR_FAILED(hr = ep().MAPIAllocateBuffer(ULONG(2 * sizeof(SPropValue)), &mem)) || !mem) {
      release();
      return HR_FAILED(hr) ? hr : MAPI_E_NOT_ENOUGH_MEMORY;
    }
    auto* values = static_cast<SPropValue*>(mem);
    values[0] = stringProp(PR_DISPLAY_NAME, names[i]);
    values[1] = longProp(PR_RECIPIENT_TYPE, LONG(RECIP_TYPE));
    entry.rgPropVals = values;
    entry.cValues = 2;
    ownValues[i] = values;
  }

  hr = FAddrBook->ResolveName(0, 0, nullptr, list);
  if (!HR_FAILED(hr))
    hr = pmsg->ModifyRecipients(MODRECIP_ADD, list);
  release();
  return hr;
}

HRESULT TkaMapi::createAddrEntry(ADRENTRY& aEntry, const std::string& email, ULONG RECIP_TYPE) {
  mapiOpenAddressBook();
  if (!FAddrBook)
    return S_OK;
  if (!ep().MAPIAllocateBuffer)
    return kUnbound;
  void* mem = nullptr;
  HRESULT hr = ep().MAPIAllocateBuffer(ULONG(5 * sizeof(SPropValue)), &mem);
  if (HR_FAILED(hr) || !mem)
    return HR_FAILED(hr) ? hr : MAPI_E_NOT_ENOUGH_MEMORY;
  auto* values = static_cast<SPropValue*>(mem);
  std::memset(static_cast<void*>(values), 0, 5 * sizeof(SPropValue));
  aEntry.cValues = 5;
  aEntry.rgPropVals = values;

  char* text = const_cast<char*>(email.c_str()); // read only by the layer
  values[0].ulPropTag = PR_DISPLAY_NAME;
  values[0].Value.lpszA = text;
  values[1].ulPropTag = PR_ADDRTYPE;
  values[1].Value.lpszA = const_cast<char*>("SMTP");
  values[2].ulPropTag = PR_EMAIL_ADDRESS;
  values[2].Value.lpszA = text;
  values[3].ulPropTag = PR_RECIPIENT_TYPE;
  values[3].Value.l = LONG(RECIP_TYPE);
  values[4].ulPropTag = PR_ENTRYID;
  return FAddrBook->CreateOneOff(text, "SMTP", text, 0, &values[4].Value.bin.cb,
                                 reinterpret_cast<ENTRYID**>(&values[4].Value.bin.lpb));
}

HRESULT TkaMapi::SetMessageText(IMessage* pMsg, const std::string& bodyStream) {
  if (!pMsg || !FMsgStore)
    return MAPI_E_INVALID_PARAMETER;
  if (!ep().HrGetOneProp || !ep().WrapCompressedRTFStream || !ep().RTFSync)
    return kUnbound;
  constexpr ULONG kStreamOptions = STGM_CREATE | STGM_WRITE;
  constexpr ULONG kStreamFlags = MAPI_CREATE | MAPI_MODIFY;
  const ULONG size = ULONG(bodyStream.size());

  IUnknown* unk = nullptr;
  HRESULT hr = pMsg->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, kStreamOptions, kStreamFlags,
                                  &unk);
  Ref<IStream> rtf(static_cast<IStream*>(unk));
  if (HR_FAILED(hr) || !rtf)
    return HR_FAILED(hr) ? hr : MAPI_E_CALL_FAILED;

  TMapiBuffer<SPropValue> mask;
  hr = ep().HrGetOneProp(FMsgStore.get(), PR_STORE_SUPPORT_MASK, mask.out());
  if (HR_FAILED(hr) || !mask.get())
    return HR_FAILED(hr) ? hr : MAPI_E_CALL_FAILED;
  if (mask->ulPropTag != PR_STORE_SUPPORT_MASK)
    throw EAssertionFailed("Assertion failure (unMapiUtils)");
  const ULONG support = mask->Value.ul;

  IStream* rawWrapped = nullptr;
  hr = ep().WrapCompressedRTFStream(
      rtf.get(), (support & STORE_UNCOMPRESSED_RTF) ? MAPI_MODIFY | STORE_UNCOMPRESSED_RTF
                                                    : MAPI_MODIFY,
      &rawWrapped);
  Ref<IStream> wrapped(rawWrapped);
  if (HR_FAILED(hr) || !wrapped)
    return HR_FAILED(hr) ? hr : MAPI_E_CALL_FAILED;
  // The text goes in as it is, with no RTF around it.
  wrapped->Write(bodyStream.data(), size, nullptr);
  if (HR_FAILED(hr = wrapped->Commit(0)))
    return hr;
  wrapped.reset();
  if (HR_FAILED(hr = rtf->Commit(0)))
    return hr;
  rtf.reset();

  if (support & STORE_RTF_OK)
    return hr; // the store keeps the plain text in step itself

  unk = nullptr;
  hr = pMsg->OpenProperty(PR_BODY, &IID_IStream, kStreamOptions, kStreamFlags, &unk);
  Ref<IStream> plain(static_cast<IStream*>(unk));
  if (HR_FAILED(hr) || !plain)
    return HR_FAILED(hr) ? hr : MAPI_E_CALL_FAILED;
  plain->Write(bodyStream.data(), size, nullptr);
  BOOL updated = 0;
  hr = ep().RTFSync(pMsg, RTF_SYNC_RTF_CHANGED | RTF_SYNC_BODY_CHANGED, &updated);
  if (!HR_FAILED(hr))
    hr = plain->Commit(0);
  return hr;
}

} // namespace quorvel
