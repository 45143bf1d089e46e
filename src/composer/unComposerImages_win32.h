// The composer's own images (PNG files under icons/) built into the Windows program.
#pragma once

#include <string_view>

namespace quorvel {

/// The PNG bytes of image \p file ("send.png"); empty when there is none.
std::string_view composerImage(std::string_view file);

} // namespace quorvel
