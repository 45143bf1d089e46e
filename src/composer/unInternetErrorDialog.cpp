// The HTTP layer's error dialog, asked through the composer window.
#include "composer/unInternetErrorDialog.h"

#include "composer/unSMSForm.h"
#include "wininet/wininet.h"

#include <QCoreApplication>
#include <QThread>

namespace quorvel {

namespace {

using wininet::DWORD;

// The window that asks; read and written on the GUI thread only.
TfrmSMSComposer* dialogOwner = nullptr;

bool onGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

DWORD answerInternetError(DWORD error) {
  // Background requests (the credit query) must never show a window; a
  // refused dialog makes their request fail as it would without one.
  if (!onGuiThread() || !dialogOwner)
    return wininet::ERROR_CANCELLED;
  const std::string question = certificateQuestion(error);
  if (question.empty())
    return wininet::ERROR_CANCELLED; // nothing to decide: the request fails, never resent
  const MsgResult answer = dialogOwner->messageBox(
      question, TSMSComposerLogic::caption, MsgIcon::warning, MsgButtons::yesNo);
  return answer == MsgResult::yes ? wininet::ERROR_SUCCESS : wininet::ERROR_CANCELLED;
}

} // namespace

std::string certificateQuestion(uint32_t error) {
  switch (error) {
  case wininet::ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    return "The server's certificate has expired or is not yet valid. Continue anyway?";
  case wininet::ERROR_INTERNET_SEC_CERT_CN_INVALID:
    return "The name on the server's certificate does not match the server's address. "
           "Continue anyway?";
  case wininet::ERROR_INTERNET_INVALID_CA:
    return "The server's certificate was issued by an authority that is not trusted. "
           "Continue anyway?";
  case wininet::ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
    return "The server asks for a client certificate, and none is available. "
           "Continue without one?";
  default:
    return {};
  }
}

void registerInternetErrorDialog(TfrmSMSComposer* form) {
  dialogOwner = form;
  wininet::setErrorDialogHandler(
      [](wininet::HWND, wininet::HINTERNET, DWORD error, DWORD) { return answerInternetError(error); });
}

void unregisterInternetErrorDialog(TfrmSMSComposer* form) {
  if (dialogOwner != form)
    return;
  wininet::setErrorDialogHandler(nullptr);
  dialogOwner = nullptr;
}

} // namespace quorvel
