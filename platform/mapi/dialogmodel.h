// The content of one address dialog: contacts, search, and the wells filled
// from the list passed in; turns the wells back into an address list.
#pragma once

#include "mapi/contacts.h"
#include "mapi/mapidialog.h"

#include <optional>

namespace quorvel::mapi {

class AddressDialogModel : public IAddressDialog {
public:
  AddressDialogModel(const ContactList& contacts, const ADRPARM& parm, const ADRLIST* previous);
  virtual ~AddressDialogModel() = default;

  const std::string& caption() const override { return caption_; }
  const std::string& wellsTitle() const override { return wellsTitle_; }
  std::size_t contactCount() const override;
  const std::string& contactName(std::size_t contact) const override;
  const std::string& contactDetail(std::size_t contact) const override;
  std::vector<std::size_t> search(const std::string& text) const override;
  std::size_t findContact(const std::string& name) const override;
  std::size_t wellCount() const override { return wells_.size(); }
  const std::string& wellTitle(std::size_t well) const override;
  std::size_t focusWell() const override { return focus_; }
  std::vector<std::string> wellNames(std::size_t well) const override;
  bool pick(std::size_t well, std::size_t contact) override;
  bool remove(std::size_t well, std::size_t position) override;

  /// The wells as a new address list (well by well, in order), allocated
  /// the way Address hands lists out.
  HRESULT buildList(ADRLIST** out) const;

private:
  struct Entry {
    std::string name;
    std::optional<std::size_t> contact;
    PropertyBag carried; // an entry of the list passed in that is no contact
  };
  struct Well {
    std::string title;
    ULONG recipientType;
    std::vector<Entry> entries;
  };

  const std::vector<Contact>& contacts_;
  const ContactList& list_;
  std::vector<std::string> details_;
  std::string caption_, wellsTitle_;
  std::vector<Well> wells_;
  std::size_t focus_ = 0;
  static const std::string empty_;
};

/// Frees a list handed out by Address: each entry's values, then the list.
void freeAddressList(ADRLIST* list);

} // namespace quorvel::mapi
