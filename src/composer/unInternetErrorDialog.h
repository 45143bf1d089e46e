// The HTTP layer's error dialog, asked through the composer window.
#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

class TfrmSMSComposer;

/// The question the user is asked about certificate problem \p error (a
/// WinINet error code), or "" for a code the user has nothing to decide on.
std::string certificateQuestion(uint32_t error);

/// Makes \p form the window that asks the HTTP layer's certificate
/// questions. Asked on the window's thread, it puts the question through
/// \p form's messageBox and answers ERROR_SUCCESS on Yes (the layer then
/// accepts the problem for the resent request) and ERROR_CANCELLED on No.
/// Every other code, and every call from another thread, is answered
/// ERROR_CANCELLED at once without a window, so the request fails.
void registerInternetErrorDialog(TfrmSMSComposer* form);
/// Removes the dialog again when \p form is the window that asks.
void unregisterInternetErrorDialog(TfrmSMSComposer* form);

} // namespace quorvel
