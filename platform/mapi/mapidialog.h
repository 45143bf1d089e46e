// The address dialog as seen by whoever answers it: the window of the layer,
// or a handler installed in its place (tests, scripted use).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel::mapi {

/// The content of one open address dialog: the contact list with its search,
/// and the destination wells ("To", "CC", "BCC") being filled.
class IAddressDialog {
public:
  virtual const std::string& caption() const = 0;
  virtual const std::string& wellsTitle() const = 0;

  /// Every contact of the address book, ordered by name.
  virtual std::size_t contactCount() const = 0;
  virtual const std::string& contactName(std::size_t contact) const = 0;
  /// The mobile number, else the e-mail address, else "".
  virtual const std::string& contactDetail(std::size_t contact) const = 0;
  /// The contacts whose name, number or e-mail address contains \p text,
  /// ignoring case; all of them for "".
  virtual std::vector<std::size_t> search(const std::string& text) const = 0;
  /// The first contact named exactly \p name (ignoring case), or contactCount().
  virtual std::size_t findContact(const std::string& name) const = 0;

  virtual std::size_t wellCount() const = 0;
  virtual const std::string& wellTitle(std::size_t well) const = 0;
  /// The well that has the focus when the dialog opens.
  virtual std::size_t focusWell() const = 0;
  /// The display names in \p well, in order.
  virtual std::vector<std::string> wellNames(std::size_t well) const = 0;
  /// Adds \p contact to \p well; false when it is already there or either
  /// index is out of range.
  virtual bool pick(std::size_t well, std::size_t contact) = 0;
  /// Removes the entry at \p position from \p well.
  virtual bool remove(std::size_t well, std::size_t position) = 0;

protected:
  ~IAddressDialog() = default;
};

/// Answers the dialog in place of the window: return true for OK (the wells
/// as they are become the selection) or false for Cancel.
using AddressDialogHandler = bool (*)(IAddressDialog& dialog, void* context);

/// Export name of the function that installs a handler (null restores the
/// window).
inline constexpr const char* kExportSetAddressDialogHandler = "QuorvelSetAddressDialogHandler";
using LPSETADDRESSDIALOGHANDLER = void (*)(AddressDialogHandler handler, void* context);

} // namespace quorvel::mapi
