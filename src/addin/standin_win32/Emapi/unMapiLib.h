// Stand-in for the mail library binding while it does not build on Windows:
// the library is never loaded.
#pragma once

namespace quorvel {

/// Always false here.
bool mapiLibraryLoaded();

} // namespace quorvel
