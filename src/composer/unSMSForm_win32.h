// The composer window in plain Win32: write, address, send, save, open and
// print an SMS. Windows only.
#pragma once

#include "composer/unSMSComposerLogic.h"

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace quorvel {

class TCreditQueries;

/// The add-in's one window, built from common controls and a RichEdit.
/// Page "SMS Composer" writes and addresses a message, page "SMS Settings"
/// holds the gateway and notification settings, page "Communication Log"
/// shows the last gateway exchange.
///
/// The behaviour is TSMSComposerLogic's; this class supplies the Win32
/// controls. Every dialog goes through one virtual method (showMessage,
/// messageBox, saveFileDialog, openFileDialog), and the printer through
/// preparePrinter, so that a subclass can answer them without a window.
class TfrmSMSComposer : public TSMSComposerLogic {
public:
  /// Builds the window and loads the settings; the window stays hidden.
  explicit TfrmSMSComposer(HWND owner = nullptr);
  ~TfrmSMSComposer() override;
  TfrmSMSComposer(const TfrmSMSComposer&) = delete;
  TfrmSMSComposer& operator=(const TfrmSMSComposer&) = delete;

  /// The top-level window.
  HWND handle() const { return hwnd_; }
  /// Shows the window without making it modal and brings it to the front.
  /// A hidden window starts afresh: empty fields, priority off, the composer
  /// page, and a background credit query.
  void show();
  /// True while the window is shown.
  bool visible() const;

  // --- Controls -------------------------------------------------------------
  HWND PageControl = nullptr; ///< the tab control: "SMS Composer", "SMS Settings", "Communication Log"
  HWND tsComposer = nullptr;
  HWND tsSettings = nullptr;
  HWND tsComlog = nullptr;
  HMENU kaSMSMenuBar = nullptr;
  HWND tbMain = nullptr;
  HWND bTo = nullptr;
  HWND bCc = nullptr;
  HWND eTo = nullptr;
  HWND eCC = nullptr;
  HWND re = nullptr; ///< the message editor (RichEdit)
  HWND StatusBar = nullptr;
  HWND gbServer = nullptr;
  HWND gbNotifications = nullptr;
  HWND eServerURL = nullptr;
  HWND eUserName = nullptr;
  HWND ePass = nullptr;
  HWND eNotifPhoneNumber = nullptr;
  HWND cbEventSel = nullptr;
  HWND cbNotify = nullptr;
  HWND bTest = nullptr;
  HWND bApply = nullptr;
  HWND bApply3 = nullptr;
  HWND mComlog = nullptr;
  HWND mOutboxStore = nullptr;

  /// The control id of command \p id in menus, toolbar and accelerators.
  static int commandControlId(TCommandId id) { return 100 + static_cast<int>(id); }
  /// The command behind control id \p controlId, or `separator` for none.
  static TCommandId commandOfControlId(int controlId);

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
  /// The default printer's name in \p printer; false when there is none.
  virtual bool preparePrinter(std::wstring& printer);

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

private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK pageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK keyHook(int code, WPARAM wParam, LPARAM lParam);
  LRESULT dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
  bool translateKeys(MSG& msg);
  void watchKeys(bool on);

  void registerClasses();
  void makeFonts();
  void setWindowIcons();
  void buildMenus();
  void buildPageControl();
  void buildToolbar();
  void showToolTip(NMHDR* header);
  void buildComposerPage();
  void buildSettingsPage();
  void buildLogPage();
  void layout();
  void layoutComposerPage(int width, int height);
  void layoutSettingsPage(int width);
  void layoutLogPage(int width, int height);
  bool moveLogSplitter(UINT msg, LPARAM lParam);
  void onCommand(int controlId, int notification, HWND control);
  void deliverCreditOutcomes();
  static HICON imageIcon(const char* file, int size);
  HWND control(HWND parent, const wchar_t* className, const std::string& text, DWORD style,
               int controlId = 0, DWORD exStyle = 0);

  HWND hwnd_ = nullptr;
  std::vector<HWND> labels_; // the pages' captions, in the order made
  HFONT font_ = nullptr;
  HFONT editorFont_ = nullptr;
  HACCEL allKeys_ = nullptr;  // every command with a shortcut
  HACCEL fileKeys_ = nullptr; // the shortcuts that do not edit text
  HHOOK hook_ = nullptr;
  HICON windowIcons_[2] = {};              // small and large
  HIMAGELIST toolbarImages_ = nullptr;     // the toolbar's images
  std::array<std::string, 4> panelToolTips_;
  std::unique_ptr<TCreditQueries> creditQueries_;
  int comlogHeight_ = 185; // the upper log's height; the splitter moves it
  bool positioned_ = false;
  bool destroying_ = false;
};

/// The single composer window, created when the add-in connects.
extern TfrmSMSComposer* frmSMSComposer;

/// UTF-16 for the Win32 calls from UTF-8 text.
std::wstring toWide(const std::string& utf8);
/// UTF-8 from a Win32 call's UTF-16 text.
std::string fromWide(const std::wstring& wide);

} // namespace quorvel
