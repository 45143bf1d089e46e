// The Win32 composer window's life: creation, pages, layout, showing,
// closing, the status bar, the log and the fields.
#include "composer/unSMSForm_win32.h"

#include "composer/unComlog.h"
#include "composer/unComposerImages_win32.h"
#include "composer/unComposerTexts.h"
#include "composer/unGetCreditThread.h"
#include "composer/unSMSSettings.h"

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace quorvel {

TfrmSMSComposer* frmSMSComposer = nullptr;

namespace {

namespace T = composerText;

constexpr const wchar_t* windowClass = L"QuorvelSMSComposer";
constexpr const wchar_t* pageClass = L"QuorvelSMSComposerPage";
// A background credit query's outcome is ready.
constexpr UINT creditOutcomeMessage = WM_APP + 1;

// Control ids of the controls that are not commands.
enum : int {
  idPageControl = 10,
  idServerURL,
  idUserName,
  idPass,
  idNotifPhone,
  idEventSel,
  idNotify,
  idTest,
  idApply,
  idApply3,
  idEditor,
  idTo,
  idCc
};

// Sizes of the design, in pixels at 96 dpi.
constexpr int windowWidth = 496;
constexpr int windowHeight = 475;
constexpr int toolbarHeight = 26;
constexpr int addressBarHeight = 25;
constexpr int addressButtonWidth = 52;
constexpr int addressFieldMargin = 8;
constexpr int statusBarHeight = 22;
constexpr int buttonWidth = 115;
constexpr int fieldHeight = 22;
// The log page: top of the logs below their captions, the splitter's handle
// and the smallest height of the upper log.
constexpr int logTop = 19;
constexpr int splitterHandle = 5;
constexpr int minLogHeight = 40;

HINSTANCE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&thisModule), &module);
  return module;
}

// The RichEdit class of the newest library the system has.
const wchar_t* richEditClass() {
  static const wchar_t* name = [] {
    if (LoadLibraryW(L"Msftedit.dll"))
      return L"RICHEDIT50W";
    LoadLibraryW(L"Riched20.dll");
    return L"RichEdit20W";
  }();
  return name;
}

std::wstring windowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), int(text.size()))));
  return text;
}

// Every line break (CR LF, lone CR, lone LF) as \p lineEnd.
std::string withLineEnds(const std::string& text, const char* lineEnd) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += lineEnd;
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    } else if (text[i] == '\n') {
      out += lineEnd;
    } else {
      out += text[i];
    }
  }
  return out;
}

void setText(HWND hwnd, const std::string& utf8) { SetWindowTextW(hwnd, toWide(utf8).c_str()); }

void place(HWND hwnd, int x, int y, int width, int height) {
  MoveWindow(hwnd, x, y, std::max(width, 0), std::max(height, 0), TRUE);
}

} // namespace

// --- Creation and destruction -------------------------------------------------------

TfrmSMSComposer::TfrmSMSComposer(HWND owner) : creditQueries_(std::make_unique<TCreditQueries>()) {
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  registerClasses();
  makeFonts();
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, windowClass, toWide(caption).c_str(),
                          WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                          windowWidth, windowHeight, owner, nullptr, thisModule(), this);
  if (!hwnd_)
    throw std::runtime_error("The SMS composer window could not be created");

  setWindowIcons();
  buildMenus();
  buildPageControl();
  buildComposerPage();
  buildSettingsPage();
  buildLogPage();
  layout();

  // The window parents the mail layer's dialogs.
  createMapi(reinterpret_cast<uintptr_t>(hwnd_));
  SetWindowTextW(eTo, L"");
  SetWindowTextW(eCC, L"");
  SetWindowTextW(re, L"");
  loadSettings();
  donthide = false;
  updateStatus();
  showPage(TComposerPage::composer);
  watchKeys(true);
}

TfrmSMSComposer::~TfrmSMSComposer() {
  // No handler of ours may run from here on (a focus change would
  // otherwise save settings), and no credit query may reach the window.
  destroying_ = true;
  creditQueries_->cancelAll();
  watchKeys(false);
  destroyMapi();
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_); // with its menu bar
  DestroyAcceleratorTable(allKeys_);
  DestroyAcceleratorTable(fileKeys_);
  DeleteObject(font_);
  DeleteObject(editorFont_);
  ImageList_Destroy(toolbarImages_);
  for (HICON icon : windowIcons_)
    if (icon)
      DestroyIcon(icon);
  // A library that goes away must not leave its classes behind; this fails
  // harmlessly while another window of them lives.
  UnregisterClassW(pageClass, thisModule());
  UnregisterClassW(windowClass, thisModule());
  if (frmSMSComposer == this)
    frmSMSComposer = nullptr;
}

void TfrmSMSComposer::registerClasses() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = windowProc;
  wc.hInstance = thisModule();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpszClassName = windowClass;
  RegisterClassExW(&wc); // fails harmlessly when registered already
  wc.lpfnWndProc = pageProc;
  wc.hIcon = nullptr;
  wc.lpszClassName = pageClass;
  RegisterClassExW(&wc);
}

void TfrmSMSComposer::makeFonts() {
  // The system's message font for the controls; the editor's in bold at 10 points.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  LOGFONTW bold = metrics.lfMessageFont;
  bold.lfHeight = -MulDiv(10, 96, 72);
  bold.lfWeight = FW_BOLD;
  editorFont_ = CreateFontIndirectW(&bold);
}

void TfrmSMSComposer::setWindowIcons() {
  windowIcons_[0] = imageIcon("kavri-sms-16.png", GetSystemMetrics(SM_CXSMICON));
  windowIcons_[1] = imageIcon(GetSystemMetrics(SM_CXICON) >= 48 ? "kavri-sms-48.png"
                                                               : "kavri-sms-32.png",
                              GetSystemMetrics(SM_CXICON));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(windowIcons_[0]));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(windowIcons_[1]));
}

HICON TfrmSMSComposer::imageIcon(const char* file, int size) {
  // Icons take PNG data as they are.
  const std::string_view png = composerImage(file);
  if (png.empty())
    return nullptr;
  return CreateIconFromResourceEx(reinterpret_cast<PBYTE>(const_cast<char*>(png.data())),
                                  static_cast<DWORD>(png.size()), TRUE, 0x00030000, size, size,
                                  LR_DEFAULTCOLOR);
}

HWND TfrmSMSComposer::control(HWND parent, const wchar_t* className, const std::string& text,
                              DWORD style, int controlId, DWORD exStyle) {
  HWND hwnd = CreateWindowExW(exStyle, className, toWide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                              0, 0, 10, 10, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                              thisModule(), nullptr);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return hwnd;
}

// --- Pages ---------------------------------------------------------------------------

void TfrmSMSComposer::buildPageControl() {
  PageControl = control(hwnd_, WC_TABCONTROLW, "", TCS_BOTTOM | WS_CLIPSIBLINGS, idPageControl);
  for (const char* name : {T::pageComposer, T::pageSettings, T::pageComlog}) {
    std::wstring text = toWide(name);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(PageControl, TCM_INSERTITEMW, SendMessageW(PageControl, TCM_GETITEMCOUNT, 0, 0),
                 reinterpret_cast<LPARAM>(&item));
  }
}

void TfrmSMSComposer::buildComposerPage() {
  tsComposer = control(hwnd_, pageClass, "", WS_CLIPCHILDREN, 0, WS_EX_CONTROLPARENT);
  tbMain = control(tsComposer, TOOLBARCLASSNAMEW, "",
                   TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NODIVIDER |
                       CCS_NOPARENTALIGN);
  bTo = control(tsComposer, L"BUTTON", composerCommand(TCommandId::to).caption, BS_PUSHBUTTON,
                commandControlId(TCommandId::to));
  eTo = control(tsComposer, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, idTo, WS_EX_CLIENTEDGE);
  bCc = control(tsComposer, L"BUTTON", composerCommand(TCommandId::cc).caption, BS_PUSHBUTTON,
                commandControlId(TCommandId::cc));
  eCC = control(tsComposer, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, idCc, WS_EX_CLIENTEDGE);
  re = control(tsComposer, richEditClass(), "",
               WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, idEditor,
               WS_EX_CLIENTEDGE);
  SendMessageW(re, EM_SETTEXTMODE, TM_PLAINTEXT | TM_MULTILEVELUNDO, 0);
  SendMessageW(re, WM_SETFONT, reinterpret_cast<WPARAM>(editorFont_), FALSE);
  SendMessageW(re, EM_SETEVENTMASK, 0, ENM_CHANGE);
  StatusBar = control(tsComposer, STATUSCLASSNAMEW, "", SBARS_TOOLTIPS | CCS_NOPARENTALIGN |
                                                            CCS_NORESIZE);
  buildToolbar();
}

void TfrmSMSComposer::buildSettingsPage() {
  tsSettings = control(hwnd_, pageClass, "", WS_CLIPCHILDREN, 0, WS_EX_CONTROLPARENT);
  gbServer = control(tsSettings, L"BUTTON", T::serverGroup, BS_GROUPBOX);
  gbNotifications = control(tsSettings, L"BUTTON", T::notificationsGroup, BS_GROUPBOX);
  for (const char* text : {T::serverInfo, T::serverURL, T::userName, T::password,
                           T::notificationsInfo, T::phone, T::notifyOn})
    labels_.push_back(control(tsSettings, L"STATIC", withLineEnds(text, "\r\n"), SS_LEFT));
  // Created in the order the Tab key visits them.
  eUserName = control(tsSettings, L"EDIT", defaultUserName, WS_TABSTOP | ES_AUTOHSCROLL,
                      idUserName, WS_EX_CLIENTEDGE);
  ePass = control(tsSettings, L"EDIT", defaultPassword, WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD,
                  idPass, WS_EX_CLIENTEDGE);
  SendMessageW(ePass, EM_SETPASSWORDCHAR, L'*', 0);
  eServerURL = control(tsSettings, L"EDIT", defaultServerURL, WS_TABSTOP | ES_AUTOHSCROLL,
                       idServerURL, WS_EX_CLIENTEDGE);
  bApply = control(tsSettings, L"BUTTON", T::apply, WS_TABSTOP | BS_PUSHBUTTON, idApply);
  bTest = control(tsSettings, L"BUTTON", T::testConnection, WS_TABSTOP | BS_PUSHBUTTON, idTest);
  eNotifPhoneNumber = control(tsSettings, L"EDIT", defaultNotifPhone, WS_TABSTOP | ES_AUTOHSCROLL,
                              idNotifPhone, WS_EX_CLIENTEDGE);
  cbEventSel = control(tsSettings, WC_COMBOBOXW, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN,
                       idEventSel);
  for (const char* choice : {eventSelImportant, eventSelAll, eventSelNever})
    SendMessageW(cbEventSel, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(choice).c_str()));
  SendMessageW(cbEventSel, CB_SETCURSEL, 0, 0);
  cbNotify = control(tsSettings, L"BUTTON", T::notifyAll, WS_TABSTOP | BS_AUTOCHECKBOX, idNotify);
  bApply3 = control(tsSettings, L"BUTTON", T::apply, WS_TABSTOP | BS_PUSHBUTTON, idApply3);
}

void TfrmSMSComposer::buildLogPage() {
  tsComlog = control(hwnd_, pageClass, "", WS_CLIPCHILDREN, 0, WS_EX_CONTROLPARENT);
  const DWORD memo = WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                     ES_AUTOVSCROLL | ES_AUTOHSCROLL;
  labels_.push_back(control(tsComlog, L"STATIC", T::comlogCaption, SS_LEFT));
  mComlog = control(tsComlog, L"EDIT", "", memo, 0, WS_EX_CLIENTEDGE);
  labels_.push_back(control(tsComlog, L"STATIC", T::outboxCaption, SS_LEFT));
  mOutboxStore = control(tsComlog, L"EDIT", "", memo, 0, WS_EX_CLIENTEDGE);
}

void TfrmSMSComposer::layout() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  InflateRect(&client, -4, -4);
  place(PageControl, client.left, client.top, client.right - client.left,
        client.bottom - client.top);
  RECT page = client;
  SendMessageW(PageControl, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  const int width = page.right - page.left;
  const int height = page.bottom - page.top;
  for (HWND p : {tsComposer, tsSettings, tsComlog}) {
    place(p, page.left, page.top, width, height);
    SetWindowPos(p, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  layoutComposerPage(width, height);
  layoutSettingsPage(width);
  layoutLogPage(width, height);
}

void TfrmSMSComposer::layoutComposerPage(int width, int height) {
  place(tbMain, 0, 0, width, toolbarHeight);
  int y = toolbarHeight;
  for (auto [button, field] : {std::pair{bTo, eTo}, std::pair{bCc, eCC}}) {
    place(button, 4, y + 1, addressButtonWidth, addressBarHeight - 2);
    place(field, 8 + addressButtonWidth, y + 1, width - 8 - addressButtonWidth - addressFieldMargin,
          addressBarHeight - 2);
    y += addressBarHeight;
  }
  place(re, 0, y, width, height - y - statusBarHeight);
  place(StatusBar, 0, height - statusBarHeight, width, statusBarHeight);
  // The panels as wide as their widest text or the design, the last one
  // taking the rest of the bar.
  HDC dc = GetDC(StatusBar);
  const HGDIOBJ old = SelectObject(dc, font_);
  int edges[4];
  int x = 0;
  for (int i = 0; i < 3; ++i) {
    const std::wstring widest = toWide(statusPanelWidest[i]);
    SIZE size{};
    GetTextExtentPoint32W(dc, widest.c_str(), int(widest.size()), &size);
    x += std::max(statusPanelDesignWidth[i], int(size.cx) + 8);
    edges[i] = x;
  }
  edges[3] = -1;
  SelectObject(dc, old);
  ReleaseDC(StatusBar, dc);
  SendMessageW(StatusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
}

void TfrmSMSComposer::layoutSettingsPage(int width) {
  const int inner = width - 16;
  const int labelX = 18;
  const int fieldX = 104;
  const int buttonX = width - 18 - buttonWidth;
  // labels_: server info, URL, user, password, notifications info, phone, notify on.
  place(gbServer, 8, 8, inner, 150);
  place(labels_[0], labelX, 28, inner - 20, 32);
  const int serverRows[3] = {68, 96, 124};
  place(labels_[1], labelX, serverRows[0] + 3, fieldX - labelX, fieldHeight);
  place(eServerURL, fieldX, serverRows[0], 183, fieldHeight);
  place(labels_[2], labelX, serverRows[1] + 3, fieldX - labelX, fieldHeight);
  place(eUserName, fieldX, serverRows[1], 79, fieldHeight);
  place(bTest, buttonX, serverRows[1] - 1, buttonWidth, fieldHeight + 2);
  place(labels_[3], labelX, serverRows[2] + 3, fieldX - labelX, fieldHeight);
  place(ePass, fieldX, serverRows[2], 79, fieldHeight);
  place(bApply, buttonX, serverRows[2] - 1, buttonWidth, fieldHeight + 2);

  place(gbNotifications, 8, 166, inner, 178);
  place(labels_[4], labelX, 186, inner - 20, 48);
  place(labels_[5], labelX, 243, fieldX - labelX, fieldHeight);
  place(eNotifPhoneNumber, fieldX, 240, 149, fieldHeight);
  place(labels_[6], labelX, 271, fieldX - labelX, fieldHeight);
  place(cbEventSel, fieldX, 268, 228, 120);
  place(cbNotify, fieldX, 302, 200, fieldHeight);
  place(bApply3, buttonX, 301, buttonWidth, fieldHeight + 2);
}

void TfrmSMSComposer::layoutLogPage(int width, int height) {
  // labels_[7] and labels_[8] caption the two logs; between the two panes a
  // splitter handle moves the boundary, neither pane collapsing.
  comlogHeight_ = std::clamp(comlogHeight_, minLogHeight, std::max(minLogHeight, height - 100));
  const int handleTop = logTop + comlogHeight_;
  place(labels_[7], 2, 2, width - 4, 16);
  place(mComlog, 0, logTop, width, comlogHeight_);
  place(labels_[8], 2, handleTop + splitterHandle, width - 4, 16);
  const int outboxTop = handleTop + splitterHandle + logTop;
  place(mOutboxStore, 0, outboxTop, width, height - outboxTop);
}

bool TfrmSMSComposer::moveLogSplitter(UINT msg, LPARAM lParam) {
  const int y = GET_Y_LPARAM(lParam);
  const int handleTop = logTop + comlogHeight_;
  const bool onHandle = y >= handleTop && y < handleTop + splitterHandle;
  switch (msg) {
  case WM_SETCURSOR:
    if (!onHandle && GetCapture() != tsComlog)
      return false;
    SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
    return true;
  case WM_LBUTTONDOWN:
    if (!onHandle)
      return false;
    SetCapture(tsComlog);
    return true;
  case WM_MOUSEMOVE:
    if (GetCapture() != tsComlog)
      return false;
    comlogHeight_ = y - logTop - splitterHandle / 2;
    layout();
    return true;
  case WM_LBUTTONUP:
    if (GetCapture() != tsComlog)
      return false;
    ReleaseCapture();
    return true;
  default:
    return false;
  }
}

void TfrmSMSComposer::showPage(TComposerPage page) {
  const int index = static_cast<int>(page);
  SendMessageW(PageControl, TCM_SETCURSEL, index, 0);
  const HWND pages[] = {tsComposer, tsSettings, tsComlog};
  for (int i = 0; i < 3; ++i)
    ShowWindow(pages[i], i == index ? SW_SHOW : SW_HIDE);
}

// --- Showing and closing ----------------------------------------------------------------

bool TfrmSMSComposer::visible() const { return IsWindowVisible(hwnd_) != FALSE; }

void TfrmSMSComposer::show() {
  if (!visible()) {
    if (!positioned_ && !GetWindow(hwnd_, GW_OWNER)) {
      positioned_ = true;
      RECT work{};
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      RECT frame{};
      GetWindowRect(hwnd_, &frame);
      const int w = frame.right - frame.left;
      const int h = frame.bottom - frame.top;
      SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - w) / 2,
                   work.top + (work.bottom - work.top - h) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowTextW(eTo, L"");
    SetWindowTextW(eCC, L"");
    SetWindowTextW(re, L"");
    SendMessageW(tbMain, TB_CHECKBUTTON, commandControlId(TCommandId::priority), FALSE);
    showPage(TComposerPage::composer);
    ShowWindow(hwnd_, SW_SHOW);
    SetFocus(eTo);
    updateStatus();
    startCreditQuery();
  } else if (IsIconic(hwnd_)) {
    ShowWindow(hwnd_, SW_RESTORE);
  }
  BringWindowToTop(hwnd_);
  SetForegroundWindow(hwnd_);
}

void TfrmSMSComposer::hideWindow() { ShowWindow(hwnd_, SW_HIDE); }

void TfrmSMSComposer::closeWindow() { hideWindow(); }

// --- Credit queries ------------------------------------------------------------------------

void TfrmSMSComposer::startCreditQuery() {
  const HWND hwnd = hwnd_;
  try {
    // PostMessage is safe from any thread, and the list cancels every query
    // before the window goes.
    creditQueries_->start(gatewaySettings(), creditQueryOptions,
                          [hwnd] { PostMessageW(hwnd, creditOutcomeMessage, 0, 0); });
  } catch (const std::system_error&) {
    // No thread to be had: the balance stays as it is until asked for.
  }
}

int TfrmSMSComposer::pendingCreditQueries() const { return creditQueries_->pending(); }

void TfrmSMSComposer::deliverCreditOutcomes() {
  for (const auto& [order, outcome] : creditQueries_->takeReady())
    applyCreditOutcome(outcome, order);
}

// --- Status bar and log --------------------------------------------------------------------

void TfrmSMSComposer::showStatusPanels(const std::array<std::string, 4>& texts,
                                       const std::string& smsToolTip) {
  for (int i = 0; i < 4; ++i)
    SendMessageW(StatusBar, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(toWide(texts[i]).c_str()));
  panelToolTips_[1] = smsToolTip;
  SendMessageW(StatusBar, SB_SETTIPTEXTW, 1, reinterpret_cast<LPARAM>(toWide(smsToolTip).c_str()));
}

std::string TfrmSMSComposer::statusPanelText(int index) const {
  if (index < 0 || index > 3)
    return {};
  const auto length = LOWORD(SendMessageW(StatusBar, SB_GETTEXTLENGTHW, index, 0));
  std::wstring text(length + 1u, L'\0');
  SendMessageW(StatusBar, SB_GETTEXTW, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return fromWide(text);
}

std::string TfrmSMSComposer::statusPanelToolTip(int index) const {
  return index < 0 || index > 3 ? std::string() : panelToolTips_[static_cast<std::size_t>(index)];
}

void TfrmSMSComposer::setComlogText(const std::string& text) {
  // The log keeps its last lines only.
  setText(mComlog, withLineEnds(keepLastLines(withLineEnds(text, "\n"), comlogMaxLines), "\r\n"));
}

std::string TfrmSMSComposer::comlogText() const {
  return withLineEnds(fromWide(windowText(mComlog)), "\r\n");
}

// --- Fields ----------------------------------------------------------------------------------

std::string TfrmSMSComposer::fieldText(TComposerField field) const {
  switch (field) {
  case TComposerField::to: return fromWide(windowText(eTo));
  case TComposerField::cc: return fromWide(windowText(eCC));
  case TComposerField::editor: return withLineEnds(fromWide(windowText(re)), "\n");
  case TComposerField::serverURL: return fromWide(windowText(eServerURL));
  case TComposerField::userName: return fromWide(windowText(eUserName));
  case TComposerField::password: return fromWide(windowText(ePass));
  case TComposerField::notifPhone: return fromWide(windowText(eNotifPhoneNumber));
  case TComposerField::eventSel: return fromWide(windowText(cbEventSel));
  }
  return {};
}

void TfrmSMSComposer::setFieldText(TComposerField field, const std::string& text) {
  switch (field) {
  case TComposerField::to: setText(eTo, text); break;
  case TComposerField::cc: setText(eCC, text); break;
  case TComposerField::editor: setText(re, withLineEnds(text, "\r\n")); break;
  case TComposerField::serverURL: setText(eServerURL, text); break;
  case TComposerField::userName: setText(eUserName, text); break;
  case TComposerField::password: setText(ePass, text); break;
  case TComposerField::notifPhone: setText(eNotifPhoneNumber, text); break;
  case TComposerField::eventSel: setText(cbEventSel, text); break;
  }
}

bool TfrmSMSComposer::notifyChecked() const {
  return SendMessageW(cbNotify, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TfrmSMSComposer::setNotifyChecked(bool checked) {
  SendMessageW(cbNotify, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TfrmSMSComposer::priorityChecked() const {
  return SendMessageW(tbMain, TB_ISBUTTONCHECKED, commandControlId(TCommandId::priority), 0) != 0;
}

// --- Messages ----------------------------------------------------------------------------------

LRESULT CALLBACK TfrmSMSComposer::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<TfrmSMSComposer*>(create->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* form = reinterpret_cast<TfrmSMSComposer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!form || form->destroying_)
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  return form->dispatch(msg, wParam, lParam);
}

LRESULT CALLBACK TfrmSMSComposer::pageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // A page is only a frame: what its controls report goes to the window.
  switch (msg) {
  case WM_SETCURSOR:
  case WM_LBUTTONDOWN:
  case WM_MOUSEMOVE:
  case WM_LBUTTONUP: {
    auto* form = reinterpret_cast<TfrmSMSComposer*>(
        GetWindowLongPtrW(GetAncestor(hwnd, GA_ROOT), GWLP_USERDATA));
    if (msg == WM_SETCURSOR) {
      // The cursor's position in the page, as the mouse messages give it.
      POINT at{};
      GetCursorPos(&at);
      ScreenToClient(hwnd, &at);
      lParam = MAKELPARAM(at.x, at.y);
    }
    if (form && !form->destroying_ && hwnd == form->tsComlog && form->moveLogSplitter(msg, lParam))
      return msg == WM_SETCURSOR ? TRUE : 0;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  case WM_COMMAND:
  case WM_NOTIFY:
    return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wParam, lParam);
  default:
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT TfrmSMSComposer::dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
  case WM_SIZE:
    // Sizes before the last control exists are laid out when it does.
    if (mOutboxStore)
      layout();
    return 0;
  case WM_CLOSE:
    // Closing only hides the window; the object lives on.
    closeWindow();
    return 0;
  case WM_COMMAND:
    onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    return 0;
  case WM_NOTIFY: {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->hwndFrom == PageControl && header->code == TCN_SELCHANGE) {
      showPage(static_cast<TComposerPage>(SendMessageW(PageControl, TCM_GETCURSEL, 0, 0)));
      return 0;
    }
    if (header->code == TTN_GETDISPINFOW) {
      showToolTip(reinterpret_cast<NMHDR*>(lParam));
      return 0;
    }
    break;
  }
  case creditOutcomeMessage:
    deliverCreditOutcomes();
    return 0;
  default:
    break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void TfrmSMSComposer::onCommand(int controlId, int notification, HWND control) {
  // Menus and accelerators send no control, buttons BN_CLICKED.
  if (const TCommandId id = commandOfControlId(controlId);
      id != TCommandId::separator && (!control || notification == BN_CLICKED)) {
    execute(id);
    return;
  }
  switch (controlId) {
  case idEditor:
    if (notification == EN_CHANGE)
      updateStatus();
    break;
  case idServerURL:
  case idUserName:
  case idPass:
  case idNotifPhone:
    // Leaving a settings field saves every setting.
    if (notification == EN_KILLFOCUS)
      saveSettingsReporting();
    break;
  case idEventSel:
    if (notification == CBN_KILLFOCUS)
      saveSettingsReporting();
    break;
  case idApply:
  case idApply3:
    if (notification == BN_CLICKED)
      applySettings();
    break;
  case idTest:
    if (notification == BN_CLICKED)
      runCommand([this] { getCredits(true); });
    break;
  default:
    break;
  }
}

} // namespace quorvel
