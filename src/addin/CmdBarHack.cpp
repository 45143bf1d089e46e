// Finds the command-bar collection of whichever Office host runs the add-in.
#include "addin/CmdBarHack.h"

#include "com/automation.h"

namespace quorvel {

using namespace com;

ComPtr<IDispatch> GetAppCommandBars(const VARIANT& App) {
  const ComPtr<IDispatch> app = Variant(App).toDispatch();
  if (!app)
    throw ComError(E_POINTER, "No host application to find the command bars of");
  Variant bars;
  if (getProperty(app.get(), "name").toString() == "Outlook") {
    const ComPtr<IDispatch> explorer = getProperty(app.get(), "ActiveExplorer").toDispatch();
    if (!explorer)
      throw ComError(E_POINTER, "Outlook has no explorer window to hold the command bars");
    bars = getProperty(explorer.get(), "commandbars");
  } else {
    bars = getProperty(app.get(), "CommandBars");
  }
  ComPtr<IDispatch> result = bars.toDispatch();
  if (!result)
    throw ComError(E_POINTER, "The host gave no command bars");
  return result;
}

} // namespace quorvel
