// Helpers of the mail tests: a private mail home, an address dialog answered
// by script, and messages read back by an independent parser.
#pragma once

#include "mapi/mapidialog.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quorvel::test {

/// A fresh folder standing for the user's configuration and data homes for
/// the life of the object.
class TempMailHome {
public:
  TempMailHome();
  ~TempMailHome();
  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path contactsDir() const { return root_ / "data/quorvel/contacts"; }
  std::filesystem::path maildir() const { return root_ / "data/quorvel/Maildir"; }
  /// Copies files of tests/data (e.g. "vcard/google_contacts.vcf") into the
  /// default address book's folder.
  void addContacts(const std::vector<std::string>& files) const;

private:
  std::filesystem::path root_;
};

/// The test data folder of the source tree.
std::filesystem::path testDataDir();

/// Answers every address dialog with \p answer while installed.
class ScriptedDialog {
public:
  using Answer = std::function<bool(mapi::IAddressDialog&)>;
  explicit ScriptedDialog(Answer answer);
  ~ScriptedDialog();
  int calls = 0;

private:
  static bool trampoline(mapi::IAddressDialog& dialog, void* self);
  Answer answer_;
};

/// Picks the contacts named in \p wells (one list per well) and says OK.
ScriptedDialog::Answer pickByName(std::vector<std::vector<std::string>> wells);

using MailFields = std::map<std::string, std::string>;
/// The messages of \p folder ("" for the inbox) of the Maildir \p root, oldest
/// first, as Python's mailbox and email modules read them.
std::vector<MailFields> readMaildir(const std::filesystem::path& root, const std::string& folder);

} // namespace quorvel::test
