// The composer's command table, shared by every toolkit's window.
#include "composer/unComposerCommands.h"

#include <array>
#include <stdexcept>

namespace quorvel {

namespace {

using C = TCommandId;

// "&Close" only hides the window; "&Delete" cuts to the clipboard. There is no
// help and no number check yet: those entries are shown disabled.
constexpr std::array<TComposerCommand, 20> commands{{
    {C::send, "&Send", "", "Send SMS message", "mail-send", "send.png", true, false},
    {C::open, "&Open", "Ctrl+O", "", "document-open", "", true, false},
    {C::save, "&Save", "Ctrl+S", "", "document-save", "", true, false},
    {C::print, "&Print", "Ctrl+P", "", "document-print", "", true, false},
    {C::close, "&Close", "", "", "", "", true, false},
    {C::undo, "&Undo", "Alt+Backspace", "", "edit-undo", "", true, false},
    {C::cut, "&Cut", "Ctrl+X", "", "edit-cut", "", true, false},
    {C::copy, "&Copy", "Ctrl+C", "", "edit-copy", "", true, false},
    {C::paste, "&Paste", "Ctrl+V", "", "edit-paste", "", true, false},
    {C::del, "&Delete", "Del", "", "edit-delete", "", true, false},
    {C::preferences, "&Preferences", "", "", "", "", true, false},
    {C::settings, "&Settings", "", "", "", "", true, false},
    {C::help, "Kavri SMS &Help", "", "", "", "", false, false},
    {C::about, "&About Kavri SMS", "", "", "", "", false, false},
    {C::addressbook, "&Addressbook", "", "", "x-office-address-book", "addressbook.png", true,
     false},
    {C::checkNumbers, "&Check phone numbers", "", "", "tools-check-spelling", "check.png", false,
     false},
    {C::priority, "&Priority high", "", "", "mail-mark-important", "priority.png", true, true},
    {C::downloadCredits, "&Download credits", "", "", "", "", true, false},
    {C::to, "&To:", "", "", "x-office-address-book", "addressbook.png", true, false},
    {C::cc, "&Cc:", "", "", "x-office-address-book", "addressbook.png", true, false},
}};

} // namespace

std::span<const TComposerCommand> composerCommands() { return commands; }

const TComposerCommand& composerCommand(TCommandId id) {
  for (const TComposerCommand& command : commands)
    if (command.id == id)
      return command;
  throw std::invalid_argument("no such composer command");
}

const std::vector<TComposerMenu>& composerMenus() {
  static const std::vector<TComposerMenu> menus{
      {"&File", {C::send, C::separator, C::open, C::save, C::separator, C::print, C::separator,
                 C::close}},
      {"&Edit", {C::undo, C::separator, C::cut, C::copy, C::paste, C::separator, C::del,
                 C::separator, C::preferences}},
      {"&Tools", {C::settings}},
      {"&Help", {C::help, C::about}},
  };
  return menus;
}

const std::vector<TCommandId>& composerToolbar() {
  static const std::vector<TCommandId> toolbar{C::send,     C::separator,    C::addressbook,
                                               C::checkNumbers, C::separator, C::priority,
                                               C::separator, C::downloadCredits};
  return toolbar;
}

} // namespace quorvel
