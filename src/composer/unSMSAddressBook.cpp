// The Qt window's address-book dialog behind "&To:", "&Cc:" and "&Addressbook".
#include "composer/unSMSForm.h"

#include "Emapi/unMapiUtils.h"

namespace quorvel {

void TfrmSMSComposer::selectAddresses() {
  if (!myMapi)
    return;
  myMapi->showAddressSelForm();
  // Cancel (or no address book at all) leaves the fields as they were.
  if (!myMapi->lastAddressSelConfirmed())
    return;
  applyAddressSelection(withoutCopiesInCc(myMapi->selAddrlist));
}

} // namespace quorvel
