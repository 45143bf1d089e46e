// The composer's mail layer: the object behind the address book of "&To:",
// "&Cc:" and "&Addressbook" and the Sent Items copies, living as long as the
// window.
#include "composer/unSMSForm.h"

#include "Emapi/unMapiUtils.h"
#include "util/unStrings.h"

#include <QLineEdit>

#include <algorithm>

namespace quorvel {
namespace {

// The selection without the texts after the first that Cc holds already: the
// dialog opens with the previous picks, and appending them again would send
// to the same numbers twice.
std::vector<std::string> withoutCopiesInCc(const std::vector<std::string>& selection,
                                           const std::string& cc) {
  std::vector<std::string> present;
  splittolist(";", cc, present);
  for (auto& item : present)
    item = trim(item);
  std::vector<std::string> result;
  for (std::size_t i = 0; i < selection.size(); ++i) {
    std::string item = trim(selection[i]);
    if (i > 0 && std::find(present.begin(), present.end(), item) != present.end())
      continue;
    if (i > 0)
      present.push_back(item);
    result.push_back(selection[i]);
  }
  return result;
}

} // namespace

void TfrmSMSComposer::createMapi() {
  // The window parents the mail layer's dialogs.
  myMapi = new TkaMapi(uintptr_t(winId()));
}

void TfrmSMSComposer::destroyMapi() {
  delete myMapi;
  myMapi = nullptr;
}

void TfrmSMSComposer::selectAddresses() {
  if (!myMapi)
    return;
  myMapi->showAddressSelForm();
  // Cancel (or no address book at all) leaves the fields as they were.
  if (!myMapi->lastAddressSelConfirmed())
    return;
  applyAddressSelection(withoutCopiesInCc(myMapi->selAddrlist, eCC->text().toStdString()));
}

} // namespace quorvel
