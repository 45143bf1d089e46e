// The Qt window's address-book dialog behind "&To:", "&Cc:" and "&Addressbook".
#include "composer/unSMSForm.h"

namespace quorvel {

void TfrmSMSComposer::selectAddresses() { pickAddresses(); }

} // namespace quorvel
