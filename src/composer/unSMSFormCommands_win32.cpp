// The Win32 composer's commands: menu bar, main toolbar, shortcuts and the
// editor's own commands.
#include "composer/unSMSForm_win32.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace quorvel {

namespace {

// The windows whose shortcuts the thread's message hook translates.
std::vector<TfrmSMSComposer*>& liveWindows() {
  static std::vector<TfrmSMSComposer*> windows;
  return windows;
}

// "Ctrl+O", "Alt+Backspace", "Del" as an accelerator for \p command.
bool acceleratorOf(const TComposerCommand& command, ACCEL& accel) {
  std::string keys = command.shortcut;
  if (keys.empty())
    return false;
  accel = ACCEL{FVIRTKEY, 0, static_cast<WORD>(TfrmSMSComposer::commandControlId(command.id))};
  for (const auto& [prefix, flag] : {std::pair{"Ctrl+", FCONTROL}, std::pair{"Alt+", FALT},
                                     std::pair{"Shift+", FSHIFT}}) {
    if (keys.rfind(prefix, 0) == 0) {
      accel.fVirt |= flag;
      keys.erase(0, std::strlen(prefix));
    }
  }
  if (keys == "Backspace")
    accel.key = VK_BACK;
  else if (keys == "Del")
    accel.key = VK_DELETE;
  else if (keys.size() == 1)
    accel.key = static_cast<WORD>(keys[0]);
  else
    return false;
  return true;
}

bool editsText(TCommandId id) {
  return id == TCommandId::undo || id == TCommandId::cut || id == TCommandId::copy ||
         id == TCommandId::paste || id == TCommandId::del;
}

HACCEL acceleratorTable(bool withEditCommands) {
  std::vector<ACCEL> keys;
  for (const TComposerCommand& command : composerCommands()) {
    ACCEL accel{};
    if ((withEditCommands || !editsText(command.id)) && acceleratorOf(command, accel))
      keys.push_back(accel);
  }
  return CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

// The caption without its access-key marks, for tooltips.
std::string plainCaption(const char* caption) {
  std::string text = caption;
  text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
  return text;
}

bool isTextField(HWND hwnd) {
  wchar_t name[32] = {};
  GetClassNameW(hwnd, name, 32);
  return _wcsicmp(name, L"Edit") == 0 || _wcsicmp(name, L"ComboBox") == 0;
}

} // namespace

TCommandId TfrmSMSComposer::commandOfControlId(int controlId) {
  for (const TComposerCommand& command : composerCommands())
    if (commandControlId(command.id) == controlId)
      return command.id;
  return TCommandId::separator;
}

void TfrmSMSComposer::buildMenus() {
  kaSMSMenuBar = CreateMenu();
  for (const TComposerMenu& menu : composerMenus()) {
    HMENU popup = CreatePopupMenu();
    for (TCommandId id : menu.items) {
      if (id == TCommandId::separator) {
        AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      const TComposerCommand& command = composerCommand(id);
      std::string text = command.caption;
      if (*command.shortcut)
        text += std::string("\t") + command.shortcut;
      AppendMenuW(popup, MF_STRING | (command.enabled ? 0 : MF_GRAYED),
                  static_cast<UINT_PTR>(commandControlId(id)), toWide(text).c_str());
    }
    AppendMenuW(kaSMSMenuBar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                toWide(menu.caption).c_str());
  }
  SetMenu(hwnd_, kaSMSMenuBar);
  allKeys_ = acceleratorTable(true);
  fileKeys_ = acceleratorTable(false);
}

void TfrmSMSComposer::buildToolbar() {
  SendMessageW(tbMain, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  // Buttons with BTNS_SHOWTEXT show their caption, the others only their
  // image with the caption as tooltip.
  SendMessageW(tbMain, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
  toolbarImages_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
  SendMessageW(tbMain, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages_));
  // The toolbar keeps pointers to its strings: they live as long as the program.
  static std::vector<std::wstring> texts;
  if (texts.empty())
    for (const TComposerCommand& command : composerCommands())
      texts.push_back(toWide(command.caption));
  std::vector<TBBUTTON> buttons;
  for (TCommandId id : composerToolbar()) {
    TBBUTTON button{};
    button.iBitmap = I_IMAGENONE;
    if (id == TCommandId::separator) {
      button.fsStyle = BTNS_SEP;
      button.iBitmap = 0;
      buttons.push_back(button);
      continue;
    }
    const TComposerCommand& command = composerCommand(id);
    if (HICON icon = *command.ownImage ? imageIcon(command.ownImage, 16) : nullptr) {
      button.iBitmap = ImageList_AddIcon(toolbarImages_, icon);
      DestroyIcon(icon);
    }
    // "&Send" shows its caption beside its image, like a command without one.
    const bool showText = id == TCommandId::send || button.iBitmap == I_IMAGENONE;
    button.idCommand = commandControlId(id);
    button.fsState = command.enabled ? TBSTATE_ENABLED : 0;
    button.fsStyle = static_cast<BYTE>(BTNS_AUTOSIZE | (showText ? BTNS_SHOWTEXT : 0) |
                                       (command.checkable ? BTNS_CHECK : BTNS_BUTTON));
    button.iString = reinterpret_cast<INT_PTR>(texts[static_cast<std::size_t>(id) - 1].c_str());
    buttons.push_back(button);
  }
  SendMessageW(tbMain, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  SendMessageW(tbMain, TB_AUTOSIZE, 0, 0);
}

void TfrmSMSComposer::showToolTip(NMHDR* header) {
  auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
  const TCommandId id = commandOfControlId(static_cast<int>(header->idFrom));
  if (id == TCommandId::separator)
    return;
  const TComposerCommand& command = composerCommand(id);
  static std::wstring text;
  text = toWide(*command.toolTip ? command.toolTip : plainCaption(command.caption));
  info->lpszText = text.data();
}

void TfrmSMSComposer::editCommand(TCommandId id) {
  // Every edit command works on the message editor, wherever the focus is;
  // "&Delete" keeps the removed text on the clipboard, exactly like "&Cut".
  switch (id) {
  case TCommandId::undo: SendMessageW(re, EM_UNDO, 0, 0); break;
  case TCommandId::cut:
  case TCommandId::del: SendMessageW(re, WM_CUT, 0, 0); break;
  case TCommandId::copy: SendMessageW(re, WM_COPY, 0, 0); break;
  case TCommandId::paste: SendMessageW(re, EM_PASTESPECIAL, CF_UNICODETEXT, 0); break;
  default: break;
  }
}

bool TfrmSMSComposer::translateKeys(MSG& msg) {
  if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))
    return false;
  // In the editor and outside text fields the command table wins, so that
  // "&Delete" (Del) cuts; a text field keeps its own editing keys.
  const HWND focus = GetFocus();
  const HACCEL keys = focus != re && isTextField(focus) ? fileKeys_ : allKeys_;
  if (TranslateAcceleratorW(hwnd_, keys, &msg))
    return true;
  // Tab and Shift+Tab move between the fields; Enter and Esc stay with them.
  if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE))
    return false;
  return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

LRESULT CALLBACK TfrmSMSComposer::keyHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* msg = reinterpret_cast<MSG*>(lParam);
  // Keys reach the window through whatever message loop the thread runs
  // (the host's, when the window lives in the add-in).
  if (code == HC_ACTION && wParam == PM_REMOVE && msg->message >= WM_KEYFIRST &&
      msg->message <= WM_KEYLAST) {
    for (TfrmSMSComposer* form : liveWindows()) {
      if (form->translateKeys(*msg)) {
        msg->message = WM_NULL;
        break;
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void TfrmSMSComposer::watchKeys(bool on) {
  auto& windows = liveWindows();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
  if (on)
    windows.push_back(this);
  if (on && !hook_)
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, keyHook, nullptr, GetCurrentThreadId());
  if (!on && hook_) {
    UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
  }
}

} // namespace quorvel
