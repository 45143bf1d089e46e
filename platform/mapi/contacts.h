// The contacts of one profile, read from a vCard file or a folder of them
// and read again whenever the files change.
#pragma once

#include "mapi/mapiprops.h"
#include "mapi/vcard.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::mapi {

class ContactList {
public:
  /// Contacts from \p source: one .vcf file, or every .vcf file in a folder.
  explicit ContactList(std::filesystem::path source);

  /// Reads the files again when any of them changed since the last read.
  void refresh();
  /// The contacts ordered by name.
  const std::vector<Contact>& contacts() const { return contacts_; }
  /// The contact whose entry id is \p entryId, or nullptr.
  const Contact* byEntryId(const std::string& entryId) const;
  const std::vector<std::string>& warnings() const { return warnings_; }

private:
  std::filesystem::path source_;
  std::string signature_;
  std::vector<Contact> contacts_;
  std::vector<std::string> warnings_;
};

/// The entry id of \p c in the address book.
std::string contactEntryId(const Contact& c);
/// The properties of \p c as an address book entry.
PropertyBag contactProperties(const Contact& c);

} // namespace quorvel::mapi
