// The content of one address dialog: contacts, search, and the wells filled
// from the list passed in; turns the wells back into an address list.
#include "mapi/dialogmodel.h"

#include "mapi/mapiexports.h"
#include "mapi/mapitext.h"

namespace quorvel::mapi {

const std::string AddressDialogModel::empty_;

AddressDialogModel::AddressDialogModel(const ContactList& contacts, const ADRPARM& parm,
                                       const ADRLIST* previous)
    : contacts_(contacts.contacts()), list_(contacts) {
  for (const auto& c : contacts_)
    details_.push_back(!c.mobile.empty() ? c.mobile : c.email);
  caption_ = parm.lpszCaption ? parm.lpszCaption : "";
  wellsTitle_ = parm.lpszDestWellsTitle ? parm.lpszDestWellsTitle : "";
  for (ULONG i = 0; i < parm.cDestFields; ++i) {
    std::string title = parm.lppszDestTitles && parm.lppszDestTitles[i] ? parm.lppszDestTitles[i]
                                                                        : "";
    ULONG type = parm.lpulDestComps ? parm.lpulDestComps[i] : MAPI_TO + i;
    wells_.push_back({title, type, {}});
  }
  if (parm.nDestFieldFocus < wells_.size())
    focus_ = parm.nDestFieldFocus;
  if (!previous || wells_.empty())
    return;

  for (ULONG i = 0; i < previous->cEntries; ++i) {
    const ADRENTRY& e = previous->aEntries[i];
    PropertyBag bag;
    for (ULONG k = 0; k < e.cValues && e.rgPropVals; ++k)
      if (isSupportedType(PROP_TYPE(e.rgPropVals[k].ulPropTag)))
        bag.set(PropValue::fromMapi(e.rgPropVals[k]));
    size_t well = 0;
    if (auto type = bag.getLong(PR_RECIPIENT_TYPE))
      for (size_t w = 0; w < wells_.size(); ++w)
        if (wells_[w].recipientType == ULONG(*type))
          well = w;
    Entry entry;
    entry.name = bag.getString(PR_DISPLAY_NAME).value_or("");
    if (const PropValue* id = bag.find(PR_ENTRYID))
      if (const Contact* c = list_.byEntryId(id->data))
        entry.contact = size_t(c - contacts_.data());
    if (!entry.contact)
      entry.carried = std::move(bag);
    wells_[well].entries.push_back(std::move(entry));
  }
}

size_t AddressDialogModel::contactCount() const { return contacts_.size(); }

const std::string& AddressDialogModel::contactName(size_t c) const {
  return c < contacts_.size() ? contacts_[c].displayName : empty_;
}

const std::string& AddressDialogModel::contactDetail(size_t c) const {
  return c < details_.size() ? details_[c] : empty_;
}

std::vector<size_t> AddressDialogModel::search(const std::string& text) const {
  std::string needle = foldCase(trimmed(text));
  std::vector<size_t> found;
  for (size_t i = 0; i < contacts_.size(); ++i) {
    const Contact& c = contacts_[i];
    if (needle.empty() || foldCase(c.displayName).find(needle) != std::string::npos ||
        c.mobile.find(needle) != std::string::npos ||
        foldCase(c.email).find(needle) != std::string::npos)
      found.push_back(i);
  }
  return found;
}

size_t AddressDialogModel::findContact(const std::string& name) const {
  std::string folded = foldCase(name);
  for (size_t i = 0; i < contacts_.size(); ++i)
    if (foldCase(contacts_[i].displayName) == folded)
      return i;
  return contacts_.size();
}

const std::string& AddressDialogModel::wellTitle(size_t well) const {
  return well < wells_.size() ? wells_[well].title : empty_;
}

std::vector<std::string> AddressDialogModel::wellNames(size_t well) const {
  std::vector<std::string> names;
  if (well < wells_.size())
    for (const auto& e : wells_[well].entries)
      names.push_back(e.name);
  return names;
}

bool AddressDialogModel::pick(size_t well, size_t contact) {
  if (well >= wells_.size() || contact >= contacts_.size())
    return false;
  for (const auto& e : wells_[well].entries)
    if (e.contact == contact)
      return false;
  wells_[well].entries.push_back({contacts_[contact].displayName, contact, {}});
  return true;
}

bool AddressDialogModel::remove(size_t well, size_t position) {
  if (well >= wells_.size() || position >= wells_[well].entries.size())
    return false;
  wells_[well].entries.erase(wells_[well].entries.begin() + std::ptrdiff_t(position));
  return true;
}

HRESULT AddressDialogModel::buildList(ADRLIST** out) const {
  *out = nullptr;
  size_t n = 0;
  for (const auto& w : wells_)
    n += w.entries.size();
  void* mem = nullptr;
  if (SCODE sc = MAPIAllocateBuffer(ULONG(CbNewADRLIST(n)), &mem); sc != S_OK)
    return sc;
  auto* list = static_cast<ADRLIST*>(mem);
  list->cEntries = 0;
  for (const auto& w : wells_)
    for (const auto& e : w.entries) {
      PropertyBag bag = e.contact ? contactProperties(contacts_[*e.contact]) : e.carried;
      bag.setLong(PR_RECIPIENT_TYPE, LONG(w.recipientType));
      bag.erase(PR_OBJECT_TYPE);
      bool missing = false;
      std::vector<PropValue> values = bag.select(nullptr, &missing);
      ADRENTRY& entry = list->aEntries[list->cEntries];
      entry = ADRENTRY{};
      if (SCODE sc = copyArray(values, &entry.rgPropVals); sc != S_OK) {
        freeAddressList(list);
        return sc;
      }
      entry.cValues = ULONG(values.size());
      ++list->cEntries;
    }
  *out = list;
  return S_OK;
}

void freeAddressList(ADRLIST* list) {
  if (!list)
    return;
  for (ULONG i = 0; i < list->cEntries; ++i)
    MAPIFreeBuffer(list->aEntries[i].rgPropVals);
  MAPIFreeBuffer(list);
}

} // namespace quorvel::mapi
