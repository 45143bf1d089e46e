// The add-in manager: registered add-ins read from the registry, created
// through CoCreateInstance and connected, unloaded and shut down in order.
#include "office/addins.h"
#include "office/dispbind.h"

#include "com/errorinfo.h"
#include "com/objbase.h"
#include "registry/winreg.h"

#include <iostream>
#include <optional>

namespace quorvel::office {

using namespace detail;
namespace reg = quorvel::winreg;

namespace {

/// Office's `COMAddIn`, the object handed to OnConnection as AddInInst.
inline constexpr IID IID_COMAddIn = makeGuid("000C033A-0000-0000-C000-000000000046");

const InterfaceDesc kComAddInDesc{
    .name = "COMAddIn",
    .iid = IID_COMAddIn,
    .members = {getter("Description", 0x0, VT_BSTR), getter("ProgId", 0x3, VT_BSTR),
                getter("Guid", 0x4, VT_BSTR), getter("Connect", 0x6, VT_BOOL)},
};

class ComAddIn : public DispatchObject<IDispatch> {
public:
  ComAddIn(const AddInEntry& e, const CLSID& clsid, std::function<bool()> connected)
      : DispatchObject(kComAddInDesc) {
    Dispatcher& d = dispatcher();
    bindGet(d, "Description", [s = e.friendlyName] { return s; });
    bindGet(d, "ProgId", [s = e.progId] { return s; });
    bindGet(d, "Guid", [s = guidToString(clsid)] { return s; });
    bindGet(d, "Connect", [connected] { return connected(); });
  }
};

std::optional<std::string> readString(reg::HKEY key, const char* name) {
  reg::DWORD type = 0, size = 0;
  if (reg::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != reg::ERROR_SUCCESS ||
      (type != reg::REG_SZ && type != reg::REG_EXPAND_SZ))
    return std::nullopt;
  std::string s(size, '\0');
  if (reg::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<reg::BYTE*>(s.data()),
                            &size) != reg::ERROR_SUCCESS)
    return std::nullopt;
  s.resize(s.find('\0') == std::string::npos ? size : s.find('\0'));
  return s;
}

uint32_t readDword(reg::HKEY key, const char* name) {
  reg::DWORD type = 0, value = 0, size = sizeof value;
  if (reg::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<reg::BYTE*>(&value),
                            &size) != reg::ERROR_SUCCESS ||
      type != reg::REG_DWORD)
    return 0;
  return value;
}

std::string errorText(HRESULT hr) {
  ComPtr<IErrorInfo> info;
  std::string text;
  if (GetErrorInfo(0, info.put()) == S_OK && info) {
    Bstr desc;
    if (SUCCEEDED(info->GetDescription(desc.put()))) text = desc.utf8();
  }
  if (text.empty()) text = hresultText(hr);
  if (text.find(hresultHex(hr)) != std::string::npos) return text;
  return text + " (" + hresultHex(hr) + ")";
}

SAFEARRAY* emptyCustom() { return makeVariantArray({}); }

} // namespace

AddInManager::AddInManager(std::string host, ComPtr<IDispatch> application)
    : host_(std::move(host)), application_(std::move(application)) {
  onMessage_ = [](const std::string& m) { std::cerr << m << '\n'; };
  refresh();
}

AddInManager::~AddInManager() {
  shutdown();
  self_.reset();
}

std::string AddInManager::registryKey() const {
  return "Software\\Microsoft\\Office\\" + host_ + "\\AddIns";
}

const std::vector<AddInEntry>& AddInManager::refresh() {
  std::vector<AddInEntry> fresh;
  reg::HKEY root = nullptr;
  if (reg::RegOpenKeyExA(reg::HKEY_CURRENT_USER, registryKey().c_str(), 0, reg::KEY_READ,
                         &root) == reg::ERROR_SUCCESS) {
    char name[256];
    for (reg::DWORD i = 0;; ++i) {
      reg::DWORD len = sizeof name;
      if (reg::RegEnumKeyExA(root, i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
          reg::ERROR_SUCCESS)
        break;
      AddInEntry e;
      e.progId = name;
      reg::HKEY key = nullptr;
      if (reg::RegOpenKeyExA(root, name, 0, reg::KEY_READ, &key) == reg::ERROR_SUCCESS) {
        e.friendlyName = readString(key, "FriendlyName").value_or("");
        e.description = readString(key, "Description").value_or("");
        e.loadBehavior = readDword(key, "LoadBehavior");
        reg::RegCloseKey(key);
      }
      if (e.friendlyName.empty()) e.friendlyName = e.progId;
      fresh.push_back(std::move(e));
    }
    reg::RegCloseKey(root);
  }
  for (AddInEntry& e : fresh) {
    e.connected = loaded(e.progId) != nullptr;
    if (AddInEntry* old = entry(e.progId)) e.lastError = old->lastError;
  }
  // A connected add-in whose key went away stays listed until unloaded.
  for (const Loaded& l : loaded_) {
    bool listed = false;
    for (const AddInEntry& e : fresh) listed = listed || e.progId == l.progId;
    if (!listed)
      if (AddInEntry* old = entry(l.progId)) fresh.push_back(*old);
  }
  entries_ = std::move(fresh);
  return entries_;
}

AddInEntry* AddInManager::entry(const std::string& progId) {
  for (AddInEntry& e : entries_)
    if (e.progId == progId) return &e;
  return nullptr;
}

AddInManager::Loaded* AddInManager::loaded(const std::string& progId) {
  for (Loaded& l : loaded_)
    if (l.progId == progId) return &l;
  return nullptr;
}

bool AddInManager::isConnected(const std::string& progId) const {
  for (const Loaded& l : loaded_)
    if (l.progId == progId) return true;
  return false;
}

void AddInManager::fail(AddInEntry& e, const std::string& what, HRESULT hr) {
  e.lastError = what + ": " + errorText(hr);
  onMessage_("The add-in \"" + e.friendlyName + "\" (" + e.progId + ") " + e.lastError);
}

bool AddInManager::connect(AddInEntry& e, ext_ConnectMode mode) {
  e.lastError.clear();
  SetErrorInfo(0, nullptr);
  std::u16string progId(e.progId.begin(), e.progId.end());
  CLSID clsid{};
  HRESULT hr = CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(progId.c_str()), &clsid);
  if (FAILED(hr)) return fail(e, "is not registered with COM", hr), false;
  ComPtr<IDTExtensibility2> addIn;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDTExtensibility2,
                        addIn.putVoid());
  if (FAILED(hr) || !addIn) return fail(e, "could not be created", FAILED(hr) ? hr : E_NOINTERFACE), false;
  // The add-in may keep this object longer than the manager lives.
  std::weak_ptr<AddInManager*> self = self_;
  ComPtr<IDispatch> comAddIn(new ComAddIn(e, clsid, [self, id = e.progId] {
    std::shared_ptr<AddInManager*> m = self.lock();
    return m && (*m)->isConnected(id);
  }));
  // Listed as connected while OnConnection runs: an add-in may ask.
  loaded_.push_back({e.progId, addIn, comAddIn});
  SAFEARRAY* custom = emptyCustom();
  SetErrorInfo(0, nullptr);
  try {
    hr = addIn->OnConnection(application_.get(), mode, comAddIn.get(), &custom);
  } catch (...) {
    hr = E_UNEXPECTED; // an add-in must not throw across the interface
  }
  SafeArrayDestroy(custom);
  if (FAILED(hr)) {
    for (auto it = loaded_.begin(); it != loaded_.end(); ++it)
      if (it->progId == e.progId) {
        loaded_.erase(it);
        break;
      }
    e.connected = false;
    fail(e, "could not be connected", hr);
    return false;
  }
  e.connected = true;
  return true;
}

void AddInManager::startup() {
  refresh();
  std::vector<std::string> started;
  for (AddInEntry& e : entries_)
    if ((e.loadBehavior & 3) == 3 && !isConnected(e.progId) &&
        connect(e, ext_cm_Startup))
      started.push_back(e.progId);
  for (const std::string& id : started) {
    Loaded* l = loaded(id);
    if (!l) continue;
    ComPtr<IDTExtensibility2> addIn = l->addIn;
    SAFEARRAY* custom = emptyCustom();
    SetErrorInfo(0, nullptr);
    HRESULT hr = E_UNEXPECTED;
    try {
      hr = addIn->OnStartupComplete(&custom);
    } catch (...) {
    }
    SafeArrayDestroy(custom);
    if (FAILED(hr))
      if (AddInEntry* e = entry(id)) fail(*e, "failed to complete its start", hr);
  }
}

void AddInManager::writeLoadBehavior(AddInEntry& e, bool connected) {
  uint32_t value = connected ? (e.loadBehavior | 1) : (e.loadBehavior & ~1u);
  if (value == e.loadBehavior) return;
  reg::HKEY key = nullptr;
  std::string path = registryKey() + "\\" + e.progId;
  if (reg::RegOpenKeyExA(reg::HKEY_CURRENT_USER, path.c_str(), 0, reg::KEY_SET_VALUE, &key) !=
      reg::ERROR_SUCCESS)
    return;
  if (reg::RegSetValueExA(key, "LoadBehavior", 0, reg::REG_DWORD,
                          reinterpret_cast<const reg::BYTE*>(&value),
                          sizeof value) == reg::ERROR_SUCCESS)
    e.loadBehavior = value;
  reg::RegCloseKey(key);
}

bool AddInManager::load(const std::string& progId) {
  refresh();
  AddInEntry* e = entry(progId);
  if (!e) {
    onMessage_("No add-in \"" + progId + "\" is registered for " + host_ + ".");
    return false;
  }
  if (isConnected(progId)) return true;
  if (!connect(*e, ext_cm_AfterStartup)) return false;
  writeLoadBehavior(*e, true);
  return true;
}

bool AddInManager::unload(const std::string& progId) {
  Loaded* l = loaded(progId);
  if (!l) return false;
  Loaded gone = std::move(*l);
  loaded_.erase(loaded_.begin() + (l - loaded_.data()));
  SAFEARRAY* custom = emptyCustom();
  SetErrorInfo(0, nullptr);
  HRESULT hr = E_UNEXPECTED;
  unloading_ = true;
  try {
    hr = gone.addIn->OnDisconnection(ext_dm_UserClosed, &custom);
  } catch (...) {
  }
  unloading_ = false;
  SafeArrayDestroy(custom);
  AddInEntry* e = entry(progId);
  if (e) {
    e->connected = false;
    writeLoadBehavior(*e, false);
    if (FAILED(hr)) fail(*e, "failed while unloading", hr);
  }
  gone = {};
  CoFreeUnusedLibraries();
  return SUCCEEDED(hr);
}

void AddInManager::shutdown() {
  if (loaded_.empty()) return;
  std::vector<Loaded> all = std::move(loaded_);
  loaded_.clear();
  for (Loaded& l : all) {
    SAFEARRAY* custom = emptyCustom();
    SetErrorInfo(0, nullptr);
    HRESULT hr = E_UNEXPECTED;
    try {
      hr = l.addIn->OnBeginShutdown(&custom);
    } catch (...) {
    }
    SafeArrayDestroy(custom);
    if (FAILED(hr))
      if (AddInEntry* e = entry(l.progId)) fail(*e, "failed at the host's shutdown", hr);
  }
  for (Loaded& l : all) {
    SAFEARRAY* custom = emptyCustom();
    SetErrorInfo(0, nullptr);
    HRESULT hr = E_UNEXPECTED;
    try {
      hr = l.addIn->OnDisconnection(ext_dm_HostShutdown, &custom);
    } catch (...) {
    }
    SafeArrayDestroy(custom);
    if (AddInEntry* e = entry(l.progId)) {
      e->connected = false;
      if (FAILED(hr)) fail(*e, "failed to disconnect at the host's shutdown", hr);
    }
  }
  all.clear();
  CoFreeUnusedLibraries();
}

} // namespace quorvel::office
