// Runs the Win32 composer window on its own, the way the add-in shows it
// when the user clicks its "SMS" button in the host.
#include "composer/unGetCreditThread.h"
#include "composer/unSMSForm_win32.h"

#include <chrono>

namespace {

// In place of the host's button: closing the window ends the program.
class TStandAloneComposer : public quorvel::TfrmSMSComposer {
public:
  bool closed = false;

protected:
  void closeWindow() override {
    closed = true;
    TfrmSMSComposer::closeWindow();
    PostQuitMessage(0);
  }
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  auto* form = new TStandAloneComposer;
  quorvel::frmSMSComposer = form;
  form->show();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    // A window hidden by a successful send comes back at once, started
    // afresh as a click on the host's button starts it.
    if (!form->closed && !form->visible())
      form->show();
  }
  const auto limit =
      std::chrono::seconds(quorvel::clientTimeOutSeconds(form->creditQueryOptions));
  delete form;
  // A credit query still out never reaches the destroyed window; it gets no
  // longer than its client's time-out to end before the program does.
  quorvel::TGetCreditThread::waitForAll(limit);
  return static_cast<int>(msg.wParam);
}
