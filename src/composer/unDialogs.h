// The kinds of dialog the composer asks its user through.
#pragma once

#include <string>

namespace quorvel {

/// The icon of a message box.
enum class MsgIcon { none, information, warning, error, question };
/// The buttons of a message box.
enum class MsgButtons { ok, okCancel, yesNo };
/// The button that closed a message box.
enum class MsgResult { ok, cancel, yes, no };

/// Settings of a file open or save dialog.
struct TFileDialogOptions {
  std::string title;      ///< window title
  std::string filter;     ///< "Description (*.ext)|*.ext" pairs, separated by "|"
  std::string defaultExt; ///< extension added to a name typed without one, e.g. ".msg"
};

} // namespace quorvel
