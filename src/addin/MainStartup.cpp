// Building the command-bar entries: "SMS" in the host's File, New submenu
// and on the add-in's own toolbar "KAVRI SMS", each with a click sink.
#include "addin/Main.h"

#include "addin/CmdBarHack.h"
#include "addin/unButtonFace.h"
#include "com/automation.h"
#include "com/connpoint.h"

#include <exception>
#include <functional>

namespace quorvel {

using namespace com;

namespace {

constexpr int32_t msoControlButton = 1;
constexpr int32_t msoButtonIconAndCaption = 3;
constexpr char kCaption[] = "SMS";
constexpr char kToolbarName[] = "KAVRI SMS";

ComPtr<IDispatch> dispatchOf(const Variant& v) { return v.toDispatch(); }

ComPtr<IDispatch> controlsOf(const ComPtr<IDispatch>& owner) {
  return dispatchOf(getProperty(owner.get(), "Controls"));
}

/// \p control as the interface \p iid, or a clear error naming \p what.
ComPtr<IDispatch> asKind(const ComPtr<IDispatch>& control, REFIID iid, const char* what) {
  ComPtr<IDispatch> typed = control.query<IDispatch>(iid);
  if (!typed)
    throw ComError(E_NOINTERFACE, what);
  return typed;
}

/// Runs \p step; an error it raises is kept in \p failure unless an earlier
/// one is there already. True when the step went through.
bool attempt(std::exception_ptr& failure, const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (...) {
    if (!failure)
      failure = std::current_exception();
    return false;
  }
}

/// Puts the face on \p button. A face that could not go on the clipboard
/// (another program held it), or that the host will not paste, leaves the
/// button without one: it works all the same. The clipboard is not pasted
/// from when the face is not on it, since it holds the user's content.
void pasteFace(const ComPtr<IDispatch>& button, const TClipboardFace& face) {
  if (!face.placed())
    return;
  try {
    callMethod(button.get(), "PasteFace");
  } catch (const ComError&) {
  }
}

} // namespace

HRESULT T::OnStartupComplete(SAFEARRAY**) {
  try {
    startupComplete();
    return S_OK;
  } catch (...) {
    return handleSafeCallException(kVaskAddinProgId, IID_IVaskAddin_);
  }
}

void T::startupComplete() {
  // Subscriptions of an earlier start end before the entries are looked up again.
  dropSinks();
  const ComPtr<IDispatch> bars = GetAppCommandBars(FApplication);
  // The menu entry and the toolbar are built independently: one that
  // fails leaves the other whole, and the first failure is the step's.
  std::exception_ptr failure;
  const bool menu = attempt(failure, [&] { findOrAddMenuEntry(bars); });
  const bool toolbar = attempt(failure, [&] { findOrAddToolbarButton(bars); });
  if (menu || toolbar) {
    // The face travels through the clipboard; the user's content comes back
    // when this goes, also when a step below fails.
    TClipboardFace face;
    if (toolbar)
      attempt(failure, [&] {
        FEventSink2 = equipButton(FButton2, face, FCookie2);
        putProperty(FCommandBar.get(), "Visible", Variant(true));
      });
    if (menu)
      attempt(failure, [&] { FEventSink = equipButton(FButton, face, FCookie); });
  }
  if (failure)
    std::rethrow_exception(failure);
}

std::unique_ptr<TEventSink> T::equipButton(const ComPtr<IDispatch>& button, const TClipboardFace& face,
                                           int32_t& cookie) {
  pasteFace(button, face);
  dressButton(button);
  return subscribe(button, cookie);
}

void T::findOrAddMenuEntry(const ComPtr<IDispatch>& bars) {
  MainMenu = dispatchOf(getProperty(bars.get(), "ActiveMenuBar"));
  Filemenu = dispatchOf(getProperty(controlsOf(MainMenu).get(), "Item", {Variant(1)}));
  NewMenu = asKind(dispatchOf(getProperty(controlsOf(Filemenu).get(), "Item", {Variant(1)})),
                   office::IID_CommandBarPopup, "The first entry of the host's File menu is not a submenu");

  const ComPtr<IDispatch> controls = controlsOf(NewMenu);
  FButton = nullptr;
  const int32_t count = getProperty(controls.get(), "Count").toInt();
  ComPtr<IDispatch> match;
  for (int32_t i = 1; i <= count; ++i) {
    ComPtr<IDispatch> control = dispatchOf(getProperty(controls.get(), "Item", {Variant(i)}));
    if (getProperty(control.get(), "Caption").toString() == kCaption)
      match = control; // the last match wins
  }
  if (!match)
    match = dispatchOf(callMethod(controls.get(), "Add",
                                  {Variant(msoControlButton), Variant::missing(),
                                   Variant::missing(), Variant(2), Variant::missing()}));
  FButton = asKind(match, office::IID_CommandBarButton, "The \"SMS\" entry of the New submenu is not a button");
  putProperty(FButton.get(), "Caption", Variant(kCaption));
  putProperty(FButton.get(), "Visible", Variant(true));
}

void T::findOrAddToolbarButton(const ComPtr<IDispatch>& bars) {
  FCommandBar = nullptr;
  const int32_t count = getProperty(bars.get(), "Count").toInt();
  for (int32_t i = 1; i <= count; ++i) {
    ComPtr<IDispatch> bar = dispatchOf(getProperty(bars.get(), "Item", {Variant(i)}));
    if (getProperty(bar.get(), "Name").toString() == kToolbarName)
      FCommandBar = bar; // the last match wins
  }
  if (!FCommandBar)
    FCommandBar = dispatchOf(callMethod(bars.get(), "Add",
                                        {Variant(kToolbarName), Variant::missing(),
                                         Variant::missing(), Variant::missing()}));
  const ComPtr<IDispatch> controls = controlsOf(FCommandBar);
  ComPtr<IDispatch> first;
  if (getProperty(controls.get(), "Count").toInt() > 0)
    first = dispatchOf(getProperty(controls.get(), "Item", {Variant(1)}));
  else
    first = dispatchOf(callMethod(controls.get(), "Add",
                                  {Variant(msoControlButton), Variant::missing(), Variant::missing(),
                                   Variant::missing(), Variant::missing()}));
  FButton2 = asKind(first, office::IID_CommandBarButton,
                    "The first control of the \"KAVRI SMS\" toolbar is not a button");
  putProperty(FButton2.get(), "Caption", Variant(kCaption));
  putProperty(FButton2.get(), "Style", Variant(msoButtonIconAndCaption));
}

void T::dressButton(const ComPtr<IDispatch>& button) {
  putProperty(button.get(), "Visible", Variant(true));
  putProperty(button.get(), "TooltipText", Variant("Send SMS Message!"));
  putProperty(button.get(), "ShortcutText", Variant("Ctrl+Shift+G"));
}

std::unique_ptr<TEventSink> T::subscribe(const ComPtr<IDispatch>& button, int32_t& cookie) {
  auto sink = std::make_unique<TEventSink>(
      [this](IDispatch* ctrl, VARIANT_BOOL* cancel) { CommandBarButtonClick(ctrl, cancel); });
  DWORD newCookie = 0;
  checkResult(adviseSink(button.get(), office::DIID_CommandBarButtonEvents, sink.get(), &newCookie));
  cookie = int32_t(newCookie);
  return sink;
}

} // namespace quorvel
