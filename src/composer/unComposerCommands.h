// The composer's command table: every command's caption, shortcut, tooltip,
// icon and enabled state, and how menus and the main toolbar list them.
#pragma once

#include <span>
#include <vector>

namespace quorvel {

/// The commands of the composer window; `separator` marks a gap in a list.
enum class TCommandId {
  separator,
  send,
  open,
  save,
  print,
  close,
  undo,
  cut,
  copy,
  paste,
  del,
  preferences,
  settings,
  help,
  about,
  addressbook,
  checkNumbers,
  priority,
  downloadCredits,
  to,
  cc
};

/// One command as the window shows it.
struct TComposerCommand {
  TCommandId id;
  const char* caption;   ///< with "&" before the access key
  const char* shortcut;  ///< portable key text ("Ctrl+O", "Alt+Backspace", "Del"), "" for none
  const char* toolTip;   ///< "" when the caption serves
  const char* themeIcon; ///< the desktop theme's icon name, "" for none
  const char* ownImage;  ///< the window's own image under icons/, "" for none
  bool enabled;          ///< false: shown disabled (nothing behind it yet)
  bool checkable;        ///< a toggle
};

/// One menu of the menu bar and its commands in order.
struct TComposerMenu {
  const char* caption;
  std::vector<TCommandId> items;
};

/// Every command, in the order the window creates them.
std::span<const TComposerCommand> composerCommands();
/// The command \p id (not `separator`).
const TComposerCommand& composerCommand(TCommandId id);
/// The menu bar: "&File", "&Edit", "&Tools", "&Help".
const std::vector<TComposerMenu>& composerMenus();
/// The main toolbar's buttons in order.
const std::vector<TCommandId>& composerToolbar();

} // namespace quorvel
