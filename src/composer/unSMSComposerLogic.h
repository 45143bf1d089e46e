// The composer window's behaviour without a toolkit: sending and filing,
// credit queries, settings, message files, status texts and commands. Each
// toolkit's window derives from it and supplies the controls.
#pragma once

#include "composer/unComposerCommands.h"
#include "composer/unCreditQuery.h"
#include "composer/unDialogs.h"
#include "composer/unGatewayRequest.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

class TkaMapi;

/// The text fields of the window that the behaviour reads and writes.
enum class TComposerField {
  to,         ///< the To field
  cc,         ///< the Cc field
  editor,     ///< the message editor; lines end at LF
  serverURL,  ///< "Server URL:"
  userName,   ///< "User name:"
  password,   ///< "Password:"
  notifPhone, ///< "Phone:"
  eventSel    ///< "Notify on: ", the combo box's current text
};

/// The window's three pages.
enum class TComposerPage { composer, settings, comlog };

/// Everything the composer window does that does not depend on the
/// toolkit. A window implements the abstract view methods below; every
/// dialog goes through one virtual method (showMessage, messageBox,
/// saveFileDialog, openFileDialog), so a subclass can answer them.
class TSMSComposerLogic {
public:
  virtual ~TSMSComposerLogic();
  /// The "Notify on" text.
  std::string notifyOnText() const { return fieldText(TComposerField::eventSel); }
  /// The notification phone number.
  std::string notifPhoneText() const { return fieldText(TComposerField::notifPhone); }

  // --- Window state ------------------------------------------------------------
  /// Last credit balance: empty, a decimal number or "unlimited".
  std::string credits;
  /// Keep the window open after a failed send.
  bool donthide = false;
  /// The mail layer (address book and Sent Items); null while there is none.
  TkaMapi* myMapi = nullptr;
  /// How the background queries set up their clients. Their time-out bounds
  /// how long shutdown may wait for them; they never show a dialog.
  TGatewayClientOptions creditQueryOptions{0, false};

  // --- Status bar and log -------------------------------------------------------
  /// Refreshes the four status panels from the editor text and `credits`.
  void updateStatus();
  /// Text of status panel \p index (0 to 3) as shown.
  virtual std::string statusPanelText(int index) const = 0;
  /// Replaces the log's whole text (UTF-8; CR LF and LF both end a line).
  virtual void setComlogText(const std::string& text) = 0;
  /// The log's text, lines separated by CR LF.
  virtual std::string comlogText() const = 0;
  /// Appends \p text to the log's text, without starting a new line.
  void appendComlogText(const std::string& text);

  // --- Settings ---------------------------------------------------------------
  /// Reads the six settings into their controls, the current texts as defaults.
  void loadSettings();
  /// Writes the six settings from their controls. When the settings file
  /// is damaged nothing is written, and the first save that meets a given
  /// damage says so (file and line) in a message dialog.
  void saveSettings();

  // --- Commands -----------------------------------------------------------------
  /// Runs command \p id as its menu entry or button does.
  void execute(TCommandId id);
  /// "&Send": the editor's text on one line, trimmed, to "To;Cc".
  void send();
  /// What "&Send" passes to sendSMS: trimmed To, ";", trimmed Cc as \p recip;
  /// the editor text without tabs and line breaks, trimmed, as \p msg.
  void sendArguments(std::string& recip, std::string& msg) const;
  /// "&Open": reads a message file into the fields.
  void openMessage();
  /// "&Save": writes the fields to a message file.
  void saveMessage();
  /// "&Print": prints the editor's content as one job, without a dialog.
  virtual void printMessage() = 0;
  /// Fills the address fields from an address-book selection: the first entry
  /// replaces To, each further one is appended to Cc followed by "; ".
  void applyAddressSelection(const std::vector<std::string>& selection);

  // --- Gateway (credit query and sending) -----------------------------------------
  /// Asks the gateway for the credit balance; \p warn shows the outcome.
  void getCredits(bool warn);
  /// Sends \p msg to the ";"-separated recipients \p recip.
  void sendSMS(const std::string& recip, const std::string& msg);
  /// Starts the background credit query run at each showing of the window.
  virtual void startCreditQuery() = 0;
  /// Background credit queries started and not handed back yet.
  virtual int pendingCreditQueries() const = 0;
  /// Posts one send request whose action fields are \p postlist and returns
  /// the gateway's answer, or "[ERROR]" + CR LF + the reason when the
  /// request failed; then refreshes the balance silently.
  std::string postSMSMessages2(const std::string& postlist);
  /// The server URL, user name and password as the settings page holds them now.
  TGatewaySettings gatewaySettings() const;
  /// Applies a credit query's outcome on the window's thread: a balance
  /// newer than the one shown (by \p order, TGetCreditThread::stampAnswer)
  /// replaces it; the status bar is refreshed in every case.
  void applyCreditOutcome(const TCreditOutcome& outcome, uint64_t order);

  // --- Dialogs --------------------------------------------------------------------
  /// A plain message dialog with an OK button.
  virtual void showMessage(const std::string& text) = 0;
  /// A message box with caption, icon and buttons; returns the button pressed.
  virtual MsgResult messageBox(const std::string& text, const std::string& caption,
                               MsgIcon icon, MsgButtons buttons = MsgButtons::ok) = 0;
  /// A save dialog; returns the chosen path, or "" when cancelled.
  virtual std::string saveFileDialog(const TFileDialogOptions& options) = 0;
  /// An open dialog; returns the chosen path, or "" when cancelled.
  virtual std::string openFileDialog(const TFileDialogOptions& options) = 0;

  /// The window's caption, "KAVRI SMS".
  static constexpr const char* caption = "KAVRI SMS";
  /// The message dialog when there is no printer, and when printing failed.
  static constexpr const char* noPrinterText =
      "No printer is installed, so the message cannot be printed.";
  static constexpr const char* printFailedText = "The message could not be printed.";
  /// The print job's name: "SMS Message " + the To text.
  std::string printDocName() const;
  /// The filter of the message file dialogs.
  static constexpr const char* msgFileFilter = "Message file (*.msg)|*.msg";
  /// The status bar's panels: their widest texts and widths in the design.
  static constexpr std::array<const char*, 4> statusPanelWidest{
      "Character: 00000", "SMS: 000", "Characters left: 000", "Credits :  unknown"};
  static constexpr std::array<int, 4> statusPanelDesignWidth{80, 50, 110, 50};

protected:
  // --- The view: controls the window supplies -------------------------------------
  /// Text of field \p field (UTF-8).
  virtual std::string fieldText(TComposerField field) const = 0;
  /// Sets field \p field to \p text (UTF-8).
  virtual void setFieldText(TComposerField field, const std::string& text) = 0;
  /// "Notify all participants".
  virtual bool notifyChecked() const = 0;
  virtual void setNotifyChecked(bool checked) = 0;
  /// The "&Priority high" toggle.
  virtual bool priorityChecked() const = 0;
  /// Shows the four panel texts and the "SMS" panel's tooltip.
  virtual void showStatusPanels(const std::array<std::string, 4>& texts,
                                const std::string& smsToolTip) = 0;
  /// Brings page \p page to the front.
  virtual void showPage(TComposerPage page) = 0;
  /// Hides the window (after a successful send).
  virtual void hideWindow() = 0;
  /// "&Close": closes the window, which only hides it.
  virtual void closeWindow() = 0;
  /// The editor's own commands: undo, cut, copy, paste; "&Delete" cuts.
  virtual void editCommand(TCommandId id) = 0;
  /// Shows the address-book dialog and applies its selection ("&To:", "&Cc:",
  /// "&Addressbook").
  virtual void selectAddresses() = 0;
  /// Writes \p bytes to \p path through a file beside it renamed over it,
  /// so that a failed write never leaves a damaged file; false on failure.
  virtual bool writeFileReplacing(const std::string& path, const std::string& bytes) = 0;
  /// The whole content of \p path; nothing when it cannot be read.
  virtual std::optional<std::string> readWholeFile(const std::string& path) = 0;

  /// Runs a command of the window; an error it raises is shown in an error
  /// box (the window's caption, the error's text) instead of leaving the
  /// event handler.
  void runCommand(const std::function<void()>& command);
  /// Saves the settings, a failure shown in a message dialog.
  void saveSettingsReporting();
  /// "&Apply": saves the settings and goes back to the composer page.
  void applySettings();
  /// Makes the mail layer, its dialogs parented by window \p handle.
  void createMapi(uintptr_t handle);
  void destroyMapi();
  /// Shows the mail layer's address dialog and applies its selection; the
  /// picks Cc holds already are not appended again.
  void pickAddresses();

private:
  void reportSettingsDamage();
  void fileSentCopy(std::vector<std::string> recipients, const std::string& msg);

  uint64_t creditsOrder_ = 0; // answer order of the balance in `credits`
  std::string reportedDamage_; // the damaged settings file last reported, "" when none
};

} // namespace quorvel
