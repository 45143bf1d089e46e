// Contacts read from vCard files (versions 2.1, 3.0 and 4.0).
#pragma once

#include <string>
#include <vector>

namespace quorvel::mapi {

/// One contact as the address book offers it.
struct Contact {
  std::string key; ///< stable identity: "uid:" + UID, else a hash of the card's content
  std::string displayName;
  std::string givenName;
  std::string surname;
  std::string organization;
  std::string mobile; ///< the telephone number typed "cell"
  std::string business;
  std::string home;
  std::string email;
};

struct VCardResult {
  std::vector<Contact> contacts;
  std::vector<std::string> warnings; ///< one per skipped card: "source:line: reason"
};

/// Reads every card in \p text (UTF-8 with or without a byte-order mark,
/// UTF-16 with one, or Windows-1252). A malformed card is skipped with a
/// warning naming \p source and its line. Keys of cards without UID that
/// look alike within one call get "#2", "#3"... appended, in file order.
VCardResult parseVCards(const std::string& text, const std::string& source);

} // namespace quorvel::mapi
