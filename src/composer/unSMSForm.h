// The composer window: write, address, send, save, open and print an SMS.
#pragma once

#include "composer/unCreditQuery.h"
#include "composer/unDialogs.h"
#include "composer/unGatewayRequest.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTextEdit;
class QToolBar;
class QToolButton;

namespace quorvel {

class TCreditQueryReceiver;
class TkaMapi;

/// The add-in's one window. Page "SMS Composer" writes and addresses a
/// message, page "SMS Settings" holds the gateway and notification settings,
/// page "Communication Log" shows the last gateway exchange.
///
/// Every dialog goes through one virtual method (showMessage, messageBox,
/// saveFileDialog, openFileDialog), and the printer through preparePrinter,
/// so that a subclass can answer them without a window.
class TfrmSMSComposer : public QWidget {
  Q_OBJECT

public:
  /// Builds the window and loads the settings; the window stays hidden.
  explicit TfrmSMSComposer(QWidget* parent = nullptr);
  ~TfrmSMSComposer() override;

  // --- Pages ---------------------------------------------------------------
  QTabWidget* PageControl = nullptr;
  QWidget* tsComposer = nullptr; ///< "SMS Composer"
  QWidget* tsSettings = nullptr; ///< "SMS Settings"
  QWidget* tsComlog = nullptr;   ///< "Communication Log"

  // --- Page "SMS Composer" ---------------------------------------------------
  QMenuBar* kaSMSMenuBar = nullptr;
  QMenu* mnFile = nullptr;
  QMenu* mnEdit = nullptr;
  QMenu* mnTools = nullptr;
  QMenu* mnHelp = nullptr;
  QToolBar* tbMain = nullptr;
  QWidget* tbToBar = nullptr;
  QWidget* tbCcBar = nullptr;
  QToolButton* bTo = nullptr;
  QToolButton* bCc = nullptr;
  QLineEdit* eTo = nullptr;
  QLineEdit* eCC = nullptr;
  QTextEdit* re = nullptr; ///< the message editor
  QStatusBar* StatusBar = nullptr;

  // Commands; menu and toolbar share one action per command.
  QAction* actSend = nullptr;
  QAction* actOpen = nullptr;
  QAction* actSave = nullptr;
  QAction* actPrint = nullptr;
  QAction* actClose = nullptr;
  QAction* actUndo = nullptr;
  QAction* actCut = nullptr;
  QAction* actCopy = nullptr;
  QAction* actPaste = nullptr;
  QAction* actDelete = nullptr;
  QAction* actPreferences = nullptr;
  QAction* actSettings = nullptr;
  QAction* actHelp = nullptr;
  QAction* actAbout = nullptr;
  QAction* actAddressbook = nullptr;
  QAction* actCheckNumbers = nullptr;
  QAction* tbPriority = nullptr; ///< "&Priority high", a toggle
  QAction* actDownloadCredits = nullptr;
  QAction* actTo = nullptr;
  QAction* actCc = nullptr;

  // --- Page "SMS Settings" ---------------------------------------------------
  QGroupBox* gbServer = nullptr;
  QGroupBox* gbNotifications = nullptr;
  QLineEdit* eServerURL = nullptr;
  QLineEdit* eUserName = nullptr;
  QLineEdit* ePass = nullptr;
  QLineEdit* eNotifPhoneNumber = nullptr;
  QComboBox* cbEventSel = nullptr;
  QCheckBox* cbNotify = nullptr;
  QPushButton* bTest = nullptr;
  QPushButton* bApply = nullptr;
  QPushButton* bApply3 = nullptr;

  // --- Page "Communication Log" ----------------------------------------------
  QPlainTextEdit* mComlog = nullptr;
  QSplitter* Splitter1 = nullptr;
  QPlainTextEdit* mOutboxStore = nullptr;

  // --- Window state ------------------------------------------------------------
  /// Last credit balance: empty, a decimal number or "unlimited".
  std::string credits;
  /// Keep the window open after a failed send.
  bool donthide = false;
  /// The mail layer (address book and Sent Items); null while there is none.
  TkaMapi* myMapi = nullptr;

  // --- Status bar and log -------------------------------------------------------
  /// Refreshes the four status panels from the editor text and `credits`.
  void updateStatus();
  /// Text of status panel \p index (0 to 3).
  std::string statusPanelText(int index) const;
  /// Tooltip of status panel \p index; the "SMS" panel's tells the parts
  /// and coding the text will travel in.
  std::string statusPanelToolTip(int index) const;
  /// Replaces the log's whole text (UTF-8; CR LF and LF both end a line).
  void setComlogText(const std::string& text);
  /// Appends \p text to the log's text, without starting a new line.
  void appendComlogText(const std::string& text);
  /// The log's text, lines separated by CR LF.
  std::string comlogText() const;

  // --- Settings ---------------------------------------------------------------
  /// Reads the six settings into their controls, the current texts as defaults.
  void loadSettings();
  /// Writes the six settings from their controls. When the settings file
  /// is damaged nothing is written, and the first save that meets a given
  /// damage says so (file and line) in a message dialog.
  void saveSettings();

  // --- Commands -----------------------------------------------------------------
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
  void printMessage();
  /// Fills the address fields from an address-book selection: the first entry
  /// replaces To, each further one is appended to Cc followed by "; ".
  void applyAddressSelection(const std::vector<std::string>& selection);

  // --- Gateway (credit query and sending) -----------------------------------------
  /// Asks the gateway for the credit balance; \p warn shows the outcome.
  void getCredits(bool warn);
  /// Sends \p msg to the ";"-separated recipients \p recip.
  void sendSMS(const std::string& recip, const std::string& msg);
  /// Starts the background credit query run at each showing of the window.
  void startCreditQuery();
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
  /// Background credit queries started and not handed back yet.
  int pendingCreditQueries() const;
  /// How the background queries set up their clients. Their time-out bounds
  /// how long shutdown may wait for them; they never show a dialog.
  TGatewayClientOptions creditQueryOptions{0, false};

  // --- Dialogs --------------------------------------------------------------------
  /// A plain message dialog with an OK button.
  virtual void showMessage(const std::string& text);
  /// A message box with caption, icon and buttons; returns the button pressed.
  virtual MsgResult messageBox(const std::string& text, const std::string& caption,
                               MsgIcon icon, MsgButtons buttons = MsgButtons::ok);
  /// A save dialog; returns the chosen path, or "" when cancelled.
  virtual std::string saveFileDialog(const TFileDialogOptions& options);
  /// An open dialog; returns the chosen path, or "" when cancelled.
  virtual std::string openFileDialog(const TFileDialogOptions& options);

protected:
  /// Shows the address-book dialog and applies its selection ("&To:", "&Cc:",
  /// "&Addressbook").
  virtual void selectAddresses();
  /// Points \p printer at the default printer; false when there is none.
  virtual bool preparePrinter(QPrinter& printer);
  /// Runs a command of the window; an error it raises is shown in an error
  /// box (the window's caption, the error's text) instead of leaving the
  /// event handler.
  void runCommand(const std::function<void()>& command);

  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void buildComposerPage();
  void buildSettingsPage();
  void buildLogPage();
  void setupFileActions();
  void setupEditActions();
  void setupToolsActions();
  void setupHelpActions();
  void setupToolbarActions();
  void setupAddressBars();
  QAction* makeAction(const QString& text, void (TfrmSMSComposer::*slot)(),
                      const QKeySequence& shortcut = {});

  void showComposerPage();
  void showSettingsPage();
  void applySettings();
  void saveSettingsReporting();
  void reportSettingsDamage();
  void limitComlog();
  void fitAddressFields();
  void watch(QObject* watched);
  void createMapi();
  void destroyMapi();
  void fileSentCopy(std::vector<std::string> recipients, const std::string& msg);

  QLabel* statusPanels_[4] = {};
  std::vector<QAction*> commands_; // every action with a shortcut
  std::vector<QObject*> watched_;  // controls this window filters events of
  bool limitingLog_ = false;
  bool destroying_ = false;
  bool positioned_ = false;
  TCreditQueryReceiver* creditQueries_ = nullptr; // child; made at the first showing
  uint64_t creditsOrder_ = 0; // answer order of the balance in `credits`
  std::string reportedDamage_; // the damaged settings file last reported, "" when none
};

/// The single composer window, created when the add-in connects.
extern TfrmSMSComposer* frmSMSComposer;

} // namespace quorvel
