// The composer's mail layer: the address book behind "&To:", "&Cc:" and
// "&Addressbook". Until the mail layer exists there is no address book, so
// the buttons change nothing.
#include "composer/unSMSForm.h"

namespace quorvel {

void TfrmSMSComposer::createMapi() {}

void TfrmSMSComposer::destroyMapi() {}

void TfrmSMSComposer::selectAddresses() {}

} // namespace quorvel
