// Mail profiles: which address book and which message store a logon uses,
// kept in the current user's registry. Values of a profile:
// "AddressBook" (a .vcf file or a folder of them), "MessageStore" (a
// Maildir), "SentItemsFolder" and "StoreDisplayName".
#include "mapi/profile.h"

#include "mapi/maildir.h"
#include "util/unRegistry.h"

#include <cstdlib>
#include <system_error>

namespace quorvel::mapi {
namespace fs = std::filesystem;

namespace {

fs::path homeDir() {
  const char* home = std::getenv("HOME");
  return home && *home ? fs::path(home) : fs::path("/");
}

// Profiles written by hand may start paths with "~/".
fs::path expandHome(const std::string& p) {
  if (p == "~" || p.rfind("~/", 0) == 0)
    return homeDir() / p.substr(p.size() > 1 ? 2 : 1);
  return fs::path(p);
}

std::string profileKey(const std::string& name) { return kProfilesKey + name + "\\"; }

HRESULT createDefault(const std::string& name) {
  fs::path base = dataHome();
  fs::path contacts = base / "contacts", maildir = base / "Maildir";
  std::error_code ec;
  fs::create_directories(contacts, ec);
  if (!fs::is_directory(contacts, ec))
    return MAPI_E_LOGON_FAILED;
  StoreConfig store;
  if (HR_FAILED(ensureMaildir(maildir, false)) ||
      HR_FAILED(ensureMaildir(maildirFolder(maildir, store.sentFolder), true)))
    return MAPI_E_LOGON_FAILED;
  kaSaveToreg(profileKey(name), "AddressBook", contacts.string());
  kaSaveToreg(profileKey(name), "MessageStore", maildir.string());
  kaSaveToreg(profileKey(name), "SentItemsFolder", store.sentFolder);
  kaSaveToreg(profileKey(name), "StoreDisplayName", store.displayName);
  kaSaveToreg(kProfilesKey, "DefaultProfile", name);
  return S_OK;
}

} // namespace

fs::path dataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  fs::path base = xdg && *xdg && fs::path(xdg).is_absolute() ? fs::path(xdg)
                                                             : homeDir() / ".local" / "share";
  return base / "quorvel";
}

HRESULT loadProfile(const std::string& requested, Profile& out) {
  try {
    std::string name = requested;
    if (name.empty()) {
      name = kaLoadFromreg(kProfilesKey, "DefaultProfile", "");
      if (name.empty()) {
        name = kDefaultProfileName;
        if (HRESULT hr = createDefault(name); HR_FAILED(hr))
          return hr;
      }
    }
    std::string key = profileKey(name);
    std::string store = kaLoadFromreg(key, "MessageStore", "");
    if (store.empty())
      return MAPI_E_LOGON_FAILED; // no such profile
    out.name = name;
    out.addressBook = expandHome(kaLoadFromreg(key, "AddressBook", (dataHome() / "contacts").string()));
    out.store.root = expandHome(store);
    out.store.sentFolder = kaLoadFromreg(key, "SentItemsFolder", out.store.sentFolder);
    out.store.displayName = kaLoadFromreg(key, "StoreDisplayName", out.store.displayName);
    if (!isValidFolderName(out.store.sentFolder))
      return MAPI_E_LOGON_FAILED;
    return S_OK;
  } catch (const std::exception&) {
    return MAPI_E_LOGON_FAILED; // a damaged or unwritable registry
  }
}

} // namespace quorvel::mapi
