// The window that shows an address dialog (kept apart from the rest of the
// library, which knows nothing of the window toolkit).
#pragma once

#include "mapi/mapidefs.h"
#include "mapi/mapidialog.h"

namespace quorvel::mapi {

enum class WindowOutcome { Accepted, Cancelled, Unavailable };

/// Shows \p dialog as a modal "Select Names" window over the window
/// \p parent (0 for none). Unavailable when the process has no application
/// object of the toolkit or this is not its thread: the library never makes
/// one of its own.
WindowOutcome runAddressWindow(IAddressDialog& dialog, ULONG_PTR parent);

} // namespace quorvel::mapi
