// The Win32 composer's dialogs, message files, printing and address-book hook,
// and the UTF-8 / UTF-16 conversion at the Win32 boundary.
#include "composer/unSMSForm_win32.h"

#include <commdlg.h>
#include <richedit.h>
#include <winspool.h>

#include <vector>

namespace quorvel {

namespace {

// "Description (*.ext)|*.ext|..." as the dialog's double-null-ended filter.
std::wstring dialogFilter(const std::string& filter) {
  std::wstring result = toWide(filter);
  for (wchar_t& c : result)
    if (c == L'|')
      c = L'\0';
  result.push_back(L'\0');
  result.push_back(L'\0');
  return result;
}

std::string runFileDialog(HWND owner, const TFileDialogOptions& options, bool save) {
  const std::wstring filter = dialogFilter(options.filter);
  const std::wstring title = toWide(options.title);
  std::wstring ext = toWide(options.defaultExt);
  if (!ext.empty() && ext.front() == L'.')
    ext.erase(0, 1);
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
              (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  return chosen ? fromWide(file.data()) : std::string();
}

// Prints the RichEdit \p editor's whole text on \p dc as one job.
bool printEditor(HWND editor, HDC dc, const std::wstring& docName) {
  DOCINFOW doc{};
  doc.cbSize = sizeof(doc);
  doc.lpszDocName = docName.c_str();
  if (StartDocW(dc, &doc) <= 0)
    return false;
  // The printable area in twips, as EM_FORMATRANGE measures.
  const int dpiX = GetDeviceCaps(dc, LOGPIXELSX);
  const int dpiY = GetDeviceCaps(dc, LOGPIXELSY);
  FORMATRANGE range{};
  range.hdc = dc;
  range.hdcTarget = dc;
  range.rcPage = {0, 0, MulDiv(GetDeviceCaps(dc, HORZRES), 1440, dpiX),
                  MulDiv(GetDeviceCaps(dc, VERTRES), 1440, dpiY)};
  range.rc = range.rcPage;
  InflateRect(&range.rc, -720, -720); // half-inch margins
  const LONG length = GetWindowTextLengthW(editor);
  range.chrg = {0, -1};
  bool ok = true;
  // An empty text still prints its one empty page.
  do {
    if (StartPage(dc) <= 0) {
      ok = false;
      break;
    }
    const auto next = static_cast<LONG>(
        SendMessageW(editor, EM_FORMATRANGE, TRUE, reinterpret_cast<LPARAM>(&range)));
    if (EndPage(dc) <= 0) {
      ok = false;
      break;
    }
    if (next <= range.chrg.cpMin)
      break;
    range.chrg.cpMin = next;
  } while (range.chrg.cpMin < length);
  SendMessageW(editor, EM_FORMATRANGE, FALSE, 0);
  if (!ok) {
    AbortDoc(dc);
    return false;
  }
  return EndDoc(dc) > 0;
}

} // namespace

std::wstring toWide(const std::string& utf8) {
  if (utf8.empty())
    return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
  return wide;
}

std::string fromWide(const std::wstring& wide) {
  if (wide.empty())
    return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

// --- Dialogs -------------------------------------------------------------------------------

void TfrmSMSComposer::showMessage(const std::string& text) {
  MessageBoxW(hwnd_, toWide(text).c_str(), toWide(caption).c_str(), MB_OK);
}

MsgResult TfrmSMSComposer::messageBox(const std::string& text, const std::string& caption,
                                      MsgIcon icon, MsgButtons buttons) {
  UINT flags = MB_OK;
  switch (icon) {
  case MsgIcon::none: break;
  case MsgIcon::information: flags |= MB_ICONINFORMATION; break;
  case MsgIcon::warning: flags |= MB_ICONWARNING; break;
  case MsgIcon::error: flags |= MB_ICONERROR; break;
  case MsgIcon::question: flags |= MB_ICONQUESTION; break;
  }
  if (buttons == MsgButtons::okCancel)
    flags |= MB_OKCANCEL;
  else if (buttons == MsgButtons::yesNo)
    flags |= MB_YESNO;
  switch (MessageBoxW(hwnd_, toWide(text).c_str(), toWide(caption).c_str(), flags)) {
  case IDCANCEL: return MsgResult::cancel;
  case IDYES: return MsgResult::yes;
  case IDNO: return MsgResult::no;
  default: return MsgResult::ok;
  }
}

std::string TfrmSMSComposer::saveFileDialog(const TFileDialogOptions& options) {
  return runFileDialog(hwnd_, options, true);
}

std::string TfrmSMSComposer::openFileDialog(const TFileDialogOptions& options) {
  return runFileDialog(hwnd_, options, false);
}

void TfrmSMSComposer::selectAddresses() { pickAddresses(); }

// --- Message files -------------------------------------------------------------------------

bool TfrmSMSComposer::writeFileReplacing(const std::string& path, const std::string& bytes) {
  // Written beside the target and moved over it, so a failed write never
  // leaves a damaged file behind.
  const std::wstring target = toWide(path);
  const std::wstring temporary = target + L".saving";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                            nullptr) &&
                  written == bytes.size() && FlushFileBuffers(file);
  CloseHandle(file);
  if (ok && MoveFileExW(temporary.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileW(temporary.c_str());
  return false;
}

std::optional<std::string> TfrmSMSComposer::readWholeFile(const std::string& path) {
  HANDLE file = CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  BOOL ok = TRUE;
  while ((ok = ReadFile(file, buffer, sizeof(buffer), &got, nullptr)) && got > 0)
    bytes.append(buffer, got);
  CloseHandle(file);
  if (!ok)
    return std::nullopt;
  return bytes;
}

// --- Printing ------------------------------------------------------------------------------

bool TfrmSMSComposer::preparePrinter(std::wstring& printer) {
  DWORD size = 0;
  GetDefaultPrinterW(nullptr, &size);
  if (size == 0)
    return false;
  printer.assign(size, L'\0');
  if (!GetDefaultPrinterW(printer.data(), &size))
    return false;
  printer.resize(wcslen(printer.c_str()));
  return !printer.empty();
}

void TfrmSMSComposer::printMessage() {
  std::wstring printer;
  if (!preparePrinter(printer)) {
    showMessage(noPrinterText);
    return;
  }
  HDC dc = CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr);
  const bool ok = dc && printEditor(re, dc, toWide(printDocName()));
  if (dc)
    DeleteDC(dc);
  if (!ok)
    showMessage(printFailedText);
}

} // namespace quorvel
