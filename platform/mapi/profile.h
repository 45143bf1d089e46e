// Mail profiles: which address book and which message store a logon uses,
// kept in the current user's registry.
#pragma once

#include "mapi/msgstore.h"

#include <filesystem>
#include <string>

namespace quorvel::mapi {

/// Registry key that holds one subkey per profile and the value
/// "DefaultProfile" naming the one a logon without a name uses.
inline constexpr const char* kProfilesKey =
    "HKEY_CURRENT_USER\\Software\\Quorvel\\Messaging\\Profiles\\";
inline constexpr const char* kDefaultProfileName = "Quorvel";

struct Profile {
  std::string name;
  std::filesystem::path addressBook; ///< a .vcf file or a folder of them
  StoreConfig store;
};

/// Where the library keeps its files: $XDG_DATA_HOME/quorvel, else
/// ~/.local/share/quorvel.
std::filesystem::path dataHome();

/// Loads the profile \p name; an empty name means the default profile,
/// which is created (with an empty contacts folder and a Maildir under
/// dataHome()) when there is none yet. MAPI_E_LOGON_FAILED when a named
/// profile does not exist or the default one cannot be set up.
HRESULT loadProfile(const std::string& name, Profile& out);

} // namespace quorvel::mapi
