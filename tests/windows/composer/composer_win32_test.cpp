// The Win32 composer window under Wine: its pages, menus, toolbar, status
// panels, tab order and shortcuts, typing into the editor, and a message
// file saved and opened again through answered dialogs.
#include "composer/unSMSForm_win32.h"

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

#define CHECK(cond)                                                                      \
  do {                                                                                   \
    if (!(cond)) {                                                                       \
      std::printf("%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #cond);               \
      ++failures;                                                                        \
    }                                                                                    \
  } while (0)

#define CHECK_EQ(a, b)                                                                   \
  do {                                                                                   \
    const auto& va = (a);                                                                \
    const auto& vb = (b);                                                                \
    if (!(va == vb)) {                                                                   \
      std::printf("%s:%d: CHECK_EQ failed: %s\n  got:      \"%s\"\n  expected: \"%s\"\n", \
                  __FILE__, __LINE__, #a, std::string(va).c_str(), std::string(vb).c_str()); \
      ++failures;                                                                        \
    }                                                                                    \
  } while (0)

using quorvel::fromWide;
using quorvel::MsgButtons;
using quorvel::MsgIcon;
using quorvel::MsgResult;
using quorvel::TCommandId;
using quorvel::TFileDialogOptions;

// The composer with every dialog answered from its fields and no printer.
class ProbeForm : public quorvel::TfrmSMSComposer {
public:
  std::vector<std::string> messages;
  std::vector<TFileDialogOptions> fileDialogs;
  std::string savePath;
  std::string openPath;

  void showMessage(const std::string& text) override { messages.push_back(text); }
  MsgResult messageBox(const std::string& text, const std::string&, MsgIcon,
                       MsgButtons) override {
    messages.push_back(text);
    return MsgResult::ok;
  }
  std::string saveFileDialog(const TFileDialogOptions& options) override {
    fileDialogs.push_back(options);
    return savePath;
  }
  std::string openFileDialog(const TFileDialogOptions& options) override {
    fileDialogs.push_back(options);
    return openPath;
  }

protected:
  bool preparePrinter(std::wstring&) override { return false; }
};

std::string text(HWND hwnd) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(hwnd, buffer, 1024);
  return fromWide(buffer);
}

BOOL CALLBACK collectText(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<std::string>*>(list)->push_back(text(child));
  return TRUE;
}

std::vector<std::string> childTexts(HWND parent) {
  std::vector<std::string> texts;
  EnumChildWindows(parent, collectText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
  for (const std::string& s : list)
    if (s == item)
      return true;
  return false;
}

std::string menuText(HMENU menu, int position) {
  wchar_t buffer[256] = {};
  GetMenuStringW(menu, static_cast<UINT>(position), buffer, 256, MF_BYPOSITION);
  return fromWide(buffer);
}

std::string join(HMENU menu) {
  std::string all;
  for (int i = 0; i < GetMenuItemCount(menu); ++i)
    all += (i ? "|" : "") + menuText(menu, i);
  return all;
}

void checkPagesAndMenus(ProbeForm& form) {
  std::string tabs;
  for (int i = 0; i < 3; ++i) {
    wchar_t buffer[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 64;
    SendMessageW(form.PageControl, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
    tabs += (i ? "|" : "") + fromWide(buffer);
  }
  CHECK_EQ(tabs, "SMS Composer|SMS Settings|Communication Log");

  const HMENU bar = GetMenu(form.handle());
  CHECK_EQ(join(bar), "&File|&Edit|&Tools|&Help");
  CHECK_EQ(join(GetSubMenu(bar, 0)), "&Send||&Open\tCtrl+O|&Save\tCtrl+S||&Print\tCtrl+P||&Close");
  CHECK_EQ(join(GetSubMenu(bar, 1)),
           "&Undo\tAlt+Backspace||&Cut\tCtrl+X|&Copy\tCtrl+C|&Paste\tCtrl+V||&Delete\tDel||"
           "&Preferences");
  CHECK_EQ(join(GetSubMenu(bar, 2)), "&Settings");
  CHECK_EQ(join(GetSubMenu(bar, 3)), "Kavri SMS &Help|&About Kavri SMS");
  CHECK(GetMenuState(GetSubMenu(bar, 3), 0, MF_BYPOSITION) & MF_GRAYED);

  std::string buttons;
  const int count = static_cast<int>(SendMessageW(form.tbMain, TB_BUTTONCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TBBUTTON button{};
    SendMessageW(form.tbMain, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
    wchar_t buffer[64] = {};
    if (!(button.fsStyle & BTNS_SEP))
      SendMessageW(form.tbMain, TB_GETBUTTONTEXTW, button.idCommand,
                   reinterpret_cast<LPARAM>(buffer));
    buttons += (i ? "|" : "") + fromWide(buffer);
  }
  CHECK_EQ(buttons, "&Send||&Addressbook|&Check phone numbers||&Priority high||&Download credits");

  const auto texts = childTexts(form.handle());
  for (const char* expected : {"&To:", "&Cc:", " Server settings ", " SMS Notifications ",
                               "&Test connection", "&Apply", "Notify all participants",
                               "Communication with the server:",
                               "Outgoing messages waiting to be sent:"})
    if (!contains(texts, expected)) {
      std::printf("no control shows \"%s\"\n", expected);
      ++failures;
    }
}

void checkTabOrder(ProbeForm& form) {
  ShowWindow(form.handle(), SW_SHOWNOACTIVATE);
  form.execute(TCommandId::settings);
  const HWND order[] = {form.eUserName, form.ePass, form.eServerURL, form.bApply, form.bTest,
                        form.eNotifPhoneNumber, form.cbEventSel, form.cbNotify, form.bApply3};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    CHECK(GetNextDlgTabItem(form.handle(), order[i], FALSE) == order[i + 1]);
  form.execute(TCommandId::close);
  // Closing only hides the window.
  CHECK(!IsWindowVisible(form.handle()));
}

void checkStatusWhileTyping(ProbeForm& form) {
  CHECK_EQ(form.statusPanelText(0), "Character: 0");
  CHECK_EQ(form.statusPanelText(1), "SMS: 1");
  CHECK_EQ(form.statusPanelText(2), "Characters left: 160");
  CHECK_EQ(form.statusPanelText(3), "Credits :  unknown");
  SendMessageW(form.re, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"H\u00e9llo\r\nw\u00f6rld"));
  CHECK_EQ(form.statusPanelText(0), "Character: 10");
  CHECK_EQ(form.statusPanelText(2), "Characters left: 150");
  CHECK(!form.statusPanelToolTip(1).empty());
}

void checkMessageFile(ProbeForm& form) {
  wchar_t dir[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, dir);
  const std::string path = fromWide(dir) + "composer_win32_test.msg";
  SetWindowTextW(form.eTo, L"Anna [+36201234567]");
  SetWindowTextW(form.eCC, L"B\u00e9la [+36301234567]; ");
  SetWindowTextW(form.re, L"first line\r\nsecond line");
  form.savePath = path;
  form.execute(TCommandId::save);
  SetWindowTextW(form.eTo, L"");
  SetWindowTextW(form.eCC, L"");
  SetWindowTextW(form.re, L"");
  form.openPath = path;
  form.execute(TCommandId::open);
  CHECK_EQ(text(form.eTo), "Anna [+36201234567]");
  CHECK_EQ(text(form.eCC), "B\xc3\xa9la [+36301234567]; ");
  std::string editor = text(form.re);
  for (std::size_t at; (at = editor.find("\r\n")) != std::string::npos;)
    editor.replace(at, 2, "\r");
  CHECK_EQ(editor, "first line\rsecond line");
  CHECK(form.fileDialogs.size() == 2);
  if (form.fileDialogs.size() == 2) {
    CHECK_EQ(form.fileDialogs[0].title, "Save Message File");
    CHECK_EQ(form.fileDialogs[1].title, "Select Message File");
    CHECK_EQ(form.fileDialogs[0].filter, "Message file (*.msg)|*.msg");
  }
  CHECK(form.messages.empty());
  DeleteFileW(quorvel::toWide(path).c_str());
}

// Delivers a key press to the focused control through the thread's message
// loop, with \p control held down or not.
void pressKey(WPARAM key, bool control) {
  BYTE state[256] = {};
  GetKeyboardState(state);
  state[VK_CONTROL] = control ? 0x80 : 0;
  SetKeyboardState(state);
  PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  state[VK_CONTROL] = 0;
  SetKeyboardState(state);
}

void checkShortcuts(ProbeForm& form) {
  ShowWindow(form.handle(), SW_SHOW);
  // Ctrl+S saves from any field.
  SetFocus(form.eTo);
  form.fileDialogs.clear();
  form.savePath.clear();
  pressKey('S', true);
  CHECK(form.fileDialogs.size() == 1);
  // Del in a text field deletes there; in the editor it cuts the selection.
  SetWindowTextW(form.eTo, L"abc");
  SendMessageW(form.eTo, EM_SETSEL, 0, 1);
  pressKey(VK_DELETE, false);
  CHECK_EQ(text(form.eTo), "bc");
  SetWindowTextW(form.re, L"xyz");
  SetFocus(form.re);
  SendMessageW(form.re, EM_SETSEL, 0, 2);
  pressKey(VK_DELETE, false);
  CHECK_EQ(text(form.re), "z");
  // Enter starts a new line in the editor; Tab leaves To for Cc.
  SendMessageW(form.re, EM_SETSEL, 1, 1);
  pressKey(VK_RETURN, false);
  CHECK(text(form.re).size() > 1 && text(form.re)[1] == '\r');
  SetFocus(form.eTo);
  pressKey(VK_TAB, false);
  CHECK(GetFocus() == form.eCC);
  ShowWindow(form.handle(), SW_HIDE);
}

int heightOf(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r.bottom - r.top;
}

// Dragging the handle between the two logs moves their boundary.
void checkLogSplitter(ProbeForm& form) {
  RECT log{};
  GetWindowRect(form.mComlog, &log);
  MapWindowPoints(nullptr, form.tsComlog, reinterpret_cast<POINT*>(&log), 2);
  const int before = heightOf(form.mComlog);
  const int outboxBefore = heightOf(form.mOutboxStore);
  SendMessageW(form.tsComlog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, log.bottom + 2));
  SendMessageW(form.tsComlog, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, log.bottom + 2 - 60));
  SendMessageW(form.tsComlog, WM_LBUTTONUP, 0, MAKELPARAM(50, log.bottom + 2 - 60));
  CHECK(heightOf(form.mComlog) == before - 60);
  CHECK(heightOf(form.mOutboxStore) == outboxBefore + 60);
  CHECK(GetCapture() == nullptr);
}

void checkPrintWithoutPrinter(ProbeForm& form) {
  form.messages.clear();
  form.execute(TCommandId::print);
  CHECK(form.messages.size() == 1 &&
        form.messages[0] == "No printer is installed, so the message cannot be printed.");
}

// Asks a loopback gateway for the balance, then sends through it: the
// balance reaches the status bar, a successful send hides the window.
void checkSendThroughGateway(ProbeForm& form, const std::string& port) {
  SetWindowTextW(form.eServerURL, quorvel::toWide("http://127.0.0.1:" + port).c_str());
  SetWindowTextW(form.eUserName, L"tester");
  form.execute(TCommandId::downloadCredits);
  CHECK(form.messages.size() == 1 && form.messages[0] == "Successful login. You have 25 credits!");
  CHECK_EQ(form.statusPanelText(3), "Credits : 25");
  ShowWindow(form.handle(), SW_SHOWNOACTIVATE);
  SetWindowTextW(form.eTo, L"Anna [+36201234567]");
  SetWindowTextW(form.re, L"  Hello\r\n");
  form.messages.clear();
  form.execute(TCommandId::send);
  CHECK(form.messages.empty());
  CHECK(!IsWindowVisible(form.handle()));
  CHECK(form.comlogText().find("[RESPONSE]") != std::string::npos);
}

} // namespace

// Without arguments the window alone; with a gateway's port, a send through it.
int main(int argc, char** argv) {
  ProbeForm form;
  if (argc > 1) {
    checkSendThroughGateway(form, argv[1]);
    std::printf("%d failure(s)\n", failures);
    return failures == 0 ? 0 : 1;
  }
  checkPagesAndMenus(form);
  checkTabOrder(form);
  checkStatusWhileTyping(form);
  checkMessageFile(form);
  checkPrintWithoutPrinter(form);
  checkShortcuts(form);
  checkLogSplitter(form);
  std::printf("%d failure(s)\n", failures);
  return failures == 0 ? 0 : 1;
}
