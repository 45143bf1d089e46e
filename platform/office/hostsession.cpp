// One run of the host: objects, registration, add-ins, reminders and the
// orderly stop.
#include "office/hostsession.h"
#include "office/items.h"

#include "com/objbase.h"

namespace quorvel::office {

HostSession::HostSession(HostOptions options, Clipboard* clipboard)
    : options_(std::move(options)), ctx_(std::make_shared<CommandBarContext>()),
      schedule_(options_.schedule) {
  ctx_->host = name();
  ctx_->clipboard = clipboard;
  if (options_.customisationFile.empty())
    options_.customisationFile = defaultCustomisationFile(name());
  bars_ = CommandBars::create(ctx_, options_.customisationFile);
  problems_ = bars_->takeProblems();
  if (kind() == HostKind::Outlook) {
    outlook_ = makeOutlook();
    outlook_->setExplorer(ComPtr<Explorer>(new Explorer(bars_)));
    application_ = outlook_->dispatch();
  } else {
    ComPtr<HostApplication> app(new HostApplication(kind(), bars_));
    app->setQuitHandler([this] {
      if (!stopping_ && quitRequest_) quitRequest_();
    });
    application_ = static_cast<IDispatch*>(app.get());
  }
  addIns_ = std::make_unique<AddInManager>(name(), application_);
}

HostSession::~HostSession() { stop(); }

ComPtr<OutlookApplication> HostSession::makeOutlook() {
  ComPtr<OutlookApplication> app(new OutlookApplication);
  app->setQuitHandler([this] { outlookQuit(); });
  return app;
}

void HostSession::outlookQuit() {
  if (kind() == HostKind::Outlook) {
    // Outlook is this program: it closes, except when an add-in asks while
    // the user unloads it or while the host is already stopping.
    if (!stopping_ && !addIns_->unloading() && quitRequest_) quitRequest_();
    return;
  }
  // Hosted: Outlook's application ends; a later request makes a new one.
  if (outlook_) {
    outlook_->revokeRunning();
    outlook_.reset();
  }
}

ComPtr<OutlookApplication> HostSession::currentOutlook() {
  if (!outlook_ && !stopping_) {
    outlook_ = makeOutlook();
    outlook_->registerRunning();
  }
  return outlook_;
}

HRESULT HostSession::registerClasses() {
  if (classCookie_) return S_OK;
  if (kind() == HostKind::Outlook) {
    if (HRESULT hr = outlook_->registerRunning(); FAILED(hr)) return hr;
  }
  ComPtr<IClassFactory> factory = outlookClassFactory([this] { return currentOutlook(); });
  return CoRegisterClassObject(CLSID_OutlookApplication, factory.get(), CLSCTX_INPROC_SERVER,
                               REGCLS_MULTIPLEUSE, &classCookie_);
}

void HostSession::startAddIns() {
  if (HRESULT hr = registerClasses(); FAILED(hr))
    problems_.push_back("Outlook's application could not be registered: " + hresultText(hr));
  addIns_->startup();
}

std::vector<calendar::AlarmRecord> HostSession::raiseDueReminders(calendar::TimePoint now) {
  std::vector<calendar::AlarmRecord> raised;
  if (stopping_) return raised;
  if (!outlook_) {
    // No Outlook runs to raise them: they wait, but file problems show now.
    schedule_.refresh(now);
    return raised;
  }
  for (const calendar::AlarmRecord& alarm : schedule_.dueAlarms(now)) {
    // Remembered first: a handler that fails or runs a dialog must not see
    // the same reminder again.
    std::string error;
    if (!schedule_.markRaised(alarm, &error))
      problems_.push_back("The reminders already shown could not be remembered: " + error);
    ComPtr<IDispatch> item = makeReminderItem(alarm);
    ComPtr<OutlookApplication> keep = outlook_;
    keep->raiseReminder(item.get());
    raised.push_back(alarm);
    if (!outlook_ || stopping_) break;
  }
  return raised;
}

std::optional<calendar::TimePoint> HostSession::nextReminder(calendar::TimePoint now) {
  return schedule_.nextDue(now);
}

std::vector<std::string> HostSession::takeProblems() {
  std::vector<std::string> out = std::exchange(problems_, {});
  for (const calendar::CalendarProblem& p : schedule_.takeNewProblems()) out.push_back(p.text());
  return out;
}

void HostSession::stop() {
  if (stopping_) return;
  stopping_ = true;
  addIns_->shutdown();
  std::string error;
  if (!bars_->saveCustomisation(&error))
    problems_.push_back("The command bars could not be saved: " + error);
  if (classCookie_) CoRevokeClassObject(std::exchange(classCookie_, 0));
  if (outlook_) outlook_->revokeRunning();
}

} // namespace quorvel::office
