// The composer window as the add-in hosts it inside the host's application
// object, and the add-in's own message box.
#pragma once

#include <functional>
#include <string>

namespace quorvel {

class TfrmSMSComposer;

/// Makes the composer window; the default makes a TfrmSMSComposer.
using TComposerMaker = std::function<TfrmSMSComposer*()>;
/// Shows an error message box with an OK button.
using TErrorBox = std::function<void(const std::string& text)>;

/// Creates the single composer window, hidden and without an owner, in the
/// host's application object, and stores it in frmSMSComposer. Throws
/// com::ComError when the host runs no widget application object (the
/// add-in never makes one of its own).
void createComposer();
/// Destroys the composer window when there is one.
void destroyComposer();
/// Shows the composer window without making it modal and brings it to the
/// front; nothing when there is none.
void showComposer();
/// The "Notify on" text of the live settings page.
std::string composerNotifyOn();
/// Sends \p msg to the notification number through the composer; a
/// balance not known yet is asked for quietly first.
void sendReminderThroughComposer(const std::string& msg);
/// A modal message box with an error icon and a single OK button.
void showAddInError(const std::string& text);

/// For tests and other hosts: how the composer is made, and how the error
/// box is shown; an empty function restores the default.
void setComposerMaker(TComposerMaker maker);
void setErrorBox(TErrorBox box);

/// The maker and the error box set above (empty when the defaults apply),
/// for the toolkit's own half of this module.
const TComposerMaker& composerMaker();
const TErrorBox& errorBox();

} // namespace quorvel
