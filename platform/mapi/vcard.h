// Contacts read from vCard files (versions 2.1, 3.0 and 4.0).
#pragma once

#include <string>
#include <vector>

namespace quorvel::mapi {

/// One contact as the address book offers it.
struct Contact {
  std::string key; ///< stable identity: "uid:" + UID, else a hash of the name
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
  /// "source:line: reason": one per skipped card, and one per value whose
  /// character set could not be decoded (the card is kept).
  std::vector<std::string> warnings;
};

/// Reads every card in \p text (UTF-8 with or without a byte-order mark,
/// UTF-16 with one, or Windows-1252). A malformed card is skipped with a
/// warning naming \p source and its line. Cards without UID are keyed by
/// their name, so that editing a number keeps the key; cards of the same
/// name within one call get "#2", "#3"... appended, in file order.
VCardResult parseVCards(const std::string& text, const std::string& source);

} // namespace quorvel::mapi
