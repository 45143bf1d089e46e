// The composer window: write, address, send, save, open and print an SMS.
#pragma once

#ifdef _WIN32
// Windows has no Qt: the window there is the Win32 one, under the same name.
#include "composer/unSMSForm_win32.h"
#else

#include "composer/unSMSComposerLogic.h"

#include <QWidget>

#include <array>
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

/// The add-in's one window. Page "SMS Composer" writes and addresses a
/// message, page "SMS Settings" holds the gateway and notification settings,
/// page "Communication Log" shows the last gateway exchange.
///
/// The behaviour is TSMSComposerLogic's; this class supplies the Qt
/// controls. Every dialog goes through one virtual method (showMessage,
/// messageBox, saveFileDialog, openFileDialog), and the printer through
/// preparePrinter, so that a subclass can answer them without a window.
class TfrmSMSComposer : public QWidget, public TSMSComposerLogic {
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

  // --- Status bar and log -------------------------------------------------------
  std::string statusPanelText(int index) const override;
  /// Tooltip of status panel \p index; the "SMS" panel's tells the parts
  /// and coding the text will travel in.
  std::string statusPanelToolTip(int index) const;
  void setComlogText(const std::string& text) override;
  std::string comlogText() const override;

  // --- Commands and gateway -------------------------------------------------------
  void printMessage() override;
  void startCreditQuery() override;
  int pendingCreditQueries() const override;

  // --- Dialogs --------------------------------------------------------------------
  void showMessage(const std::string& text) override;
  MsgResult messageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                       MsgButtons buttons = MsgButtons::ok) override;
  std::string saveFileDialog(const TFileDialogOptions& options) override;
  std::string openFileDialog(const TFileDialogOptions& options) override;

protected:
  void selectAddresses() override;
  /// Points \p printer at the default printer; false when there is none.
  virtual bool preparePrinter(QPrinter& printer);

  std::string fieldText(TComposerField field) const override;
  void setFieldText(TComposerField field, const std::string& text) override;
  bool notifyChecked() const override;
  void setNotifyChecked(bool checked) override;
  bool priorityChecked() const override;
  void showStatusPanels(const std::array<std::string, 4>& texts,
                        const std::string& smsToolTip) override;
  void showPage(TComposerPage page) override;
  void hideWindow() override;
  void closeWindow() override;
  void editCommand(TCommandId id) override;
  bool writeFileReplacing(const std::string& path, const std::string& bytes) override;
  std::optional<std::string> readWholeFile(const std::string& path) override;

  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void buildComposerPage();
  void buildSettingsPage();
  void buildLogPage();
  void setupMenus();
  void setupToolbarActions();
  void setupAddressBars();
  QAction* makeAction(TCommandId id);
  void addCommands(QWidget* target, const std::vector<TCommandId>& ids);

  void limitComlog();
  void fitAddressFields();
  void watch(QObject* watched);

  QLabel* statusPanels_[4] = {};
  std::vector<QAction*> commands_; // every action with a shortcut
  std::array<QAction*, 20> actions_{}; // by command, separator left out
  std::vector<QObject*> watched_;  // controls this window filters events of
  bool limitingLog_ = false;
  bool destroying_ = false;
  bool positioned_ = false;
  TCreditQueryReceiver* creditQueries_ = nullptr; // child; made at the first showing
};

/// The single composer window, created when the add-in connects.
extern TfrmSMSComposer* frmSMSComposer;

} // namespace quorvel

#endif // _WIN32
