// The host's add-in manager: the add-ins registered for the host under
// HKEY_CURRENT_USER, created through COM and driven through IDTExtensibility2.
#pragma once

#include "office/officeids.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::office {

/// One add-in registered for the host.
struct AddInEntry {
  std::string progId;
  std::string friendlyName;  ///< "FriendlyName", else the programmatic id
  std::string description;
  uint32_t loadBehavior = 0; ///< bit 0: connected, bit 1: load at start-up
  bool connected = false;
  std::string lastError;     ///< why the last load failed, or ""
};

/// Loads, unloads and shuts down the add-ins of one host, as an Office host
/// does: every key below
/// HKEY_CURRENT_USER\Software\Microsoft\Office\<host>\AddIns is an add-in's
/// programmatic id; one whose LoadBehavior has both low bits set (3) is
/// loaded at start-up. A failing add-in gives a message and the host goes on.
class AddInManager {
public:
  /// \p application is what OnConnection hands the add-ins.
  AddInManager(std::string host, ComPtr<IDispatch> application);
  /// Shuts down whatever is still connected.
  ~AddInManager();
  AddInManager(const AddInManager&) = delete;
  AddInManager& operator=(const AddInManager&) = delete;

  /// Where messages about failing add-ins go (default: stderr).
  void setMessageHandler(std::function<void(const std::string&)> h) { onMessage_ = std::move(h); }

  /// Re-reads the registered add-ins (connected ones stay connected).
  const std::vector<AddInEntry>& refresh();
  const std::vector<AddInEntry>& addIns() const { return entries_; }
  /// The registry key of the host's add-ins (below HKEY_CURRENT_USER).
  std::string registryKey() const;

  /// Connects every add-in to be loaded at start-up with ext_cm_Startup,
  /// then calls OnStartupComplete on each that connected.
  void startup();
  /// Connects one add-in while the host runs (ext_cm_AfterStartup) and marks
  /// it as loaded in the registry; false (with a message) when it fails.
  bool load(const std::string& progId);
  /// Disconnects one add-in at the user's request (ext_dm_UserClosed) and
  /// marks it as not loaded in the registry.
  bool unload(const std::string& progId);
  /// OnBeginShutdown on every connected add-in, then OnDisconnection with
  /// ext_dm_HostShutdown on each; all are released afterwards.
  void shutdown();
  bool isConnected(const std::string& progId) const;
  /// True while an add-in is being unloaded at the user's request.
  bool unloading() const { return unloading_; }

private:
  struct Loaded {
    std::string progId;
    ComPtr<IDTExtensibility2> addIn;
    ComPtr<IDispatch> comAddIn;
  };
  AddInEntry* entry(const std::string& progId);
  bool connect(AddInEntry& e, ext_ConnectMode mode);
  void fail(AddInEntry& e, const std::string& what, HRESULT hr);
  void writeLoadBehavior(AddInEntry& e, bool connected);
  Loaded* loaded(const std::string& progId);

  std::string host_;
  ComPtr<IDispatch> application_;
  std::vector<AddInEntry> entries_;
  std::vector<Loaded> loaded_;
  std::function<void(const std::string&)> onMessage_;
  bool unloading_ = false;
  std::shared_ptr<AddInManager*> self_ = std::make_shared<AddInManager*>(this);
};

} // namespace quorvel::office
