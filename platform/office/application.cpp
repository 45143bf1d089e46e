// The host's application objects: host recognition by interface id, the
// command bars on the application or the explorer, Outlook's events.
#include "office/application.h"
#include "office/dispbind.h"

#include <strings.h>

namespace quorvel::office {

using namespace detail;

namespace {

struct HostInfo {
  HostKind kind;
  const char* name;
  const IID* iid;
  const char* version;
};

const HostInfo kHosts[] = {
    {HostKind::Outlook, "Outlook", &IID_OutlookApplication, "11.0"},
    {HostKind::Word, "Word", &IID_WordApplication, "11.0"},
    {HostKind::Excel, "Excel", &IID_ExcelApplication, "11.0"},
    {HostKind::PowerPoint, "PowerPoint", &IID_PowerPointApplication, "11.0"},
};

const HostInfo& info(HostKind kind) {
  for (const HostInfo& h : kHosts)
    if (h.kind == kind) return h;
  return kHosts[0];
}

std::vector<MemberDesc> appMembers() {
  return {getter("Name", 0x60020000, VT_BSTR), getter("Version", 0x60020001, VT_BSTR),
          {.name = "Quit", .id = 0x60020002}};
}

const InterfaceDesc& hostAppDesc(HostKind kind) {
  auto make = [](HostKind k) {
    InterfaceDesc d{.name = "_Application", .iid = *info(k).iid, .members = appMembers()};
    d.members.push_back(getter("CommandBars", 0x60020003, VT_DISPATCH));
    return d;
  };
  static const InterfaceDesc word = make(HostKind::Word), excel = make(HostKind::Excel),
                             pp = make(HostKind::PowerPoint);
  return kind == HostKind::Word ? word : kind == HostKind::Excel ? excel : pp;
}

const InterfaceDesc kOutlookDesc = [] {
  InterfaceDesc d{.name = "_Application", .iid = IID_OutlookApplication, .members = appMembers()};
  d.members.push_back({.name = "ActiveExplorer", .id = 0x60020004, .result = VT_DISPATCH});
  return d;
}();

const InterfaceDesc kExplorerDesc{
    .name = "_Explorer",
    .iid = IID_Explorer,
    .members = {getter("CommandBars", 0x60020000, VT_DISPATCH),
                getter("Caption", 0x60020001, VT_BSTR)},
};

} // namespace

std::string hostName(HostKind kind) { return info(kind).name; }

std::optional<HostKind> hostFromName(const std::string& name) {
  for (const HostInfo& h : kHosts)
    if (strcasecmp(h.name, name.c_str()) == 0) return h.kind;
  return std::nullopt;
}

const IID& applicationIid(HostKind kind) { return *info(kind).iid; }

// ---- Word, Excel, PowerPoint ---------------------------------------------

HostApplication::HostApplication(HostKind kind, ComPtr<CommandBars> bars)
    : DispatchObject(hostAppDesc(kind)), kind_(kind), bars_(std::move(bars)) {
  Dispatcher& d = dispatcher();
  d.setSource(info(kind).name);
  bindGet(d, "Name", [this] { return std::string(info(kind_).name); });
  bindGet(d, "Version", [this] { return std::string(info(kind_).version); });
  bindGet(d, "CommandBars", [this] { return bars_->dispatch(); });
  d.bind("Quit", [this](DispArgs&, VARIANT*) {
    if (onQuit_) onQuit_();
    return S_OK;
  });
}

void* HostApplication::queryOther(REFIID riid) {
  return riid == applicationIid(kind_) ? static_cast<IDispatch*>(this) : nullptr;
}

// ---- Outlook -------------------------------------------------------------

Explorer::Explorer(ComPtr<CommandBars> bars)
    : DispatchObject(kExplorerDesc), bars_(std::move(bars)) {
  dispatcher().setSource("Outlook");
  bindGet(dispatcher(), "CommandBars", [this] { return bars_->dispatch(); });
  bindGet(dispatcher(), "Caption", [] { return std::string("Inbox - Outlook"); });
}

OutlookApplication::OutlookApplication() : DispatchObject(kOutlookDesc) {
  Dispatcher& d = dispatcher();
  d.setSource("Outlook");
  bindGet(d, "Name", [] { return std::string("Outlook"); });
  bindGet(d, "Version", [] { return std::string(info(HostKind::Outlook).version); });
  d.bind("ActiveExplorer", [this](DispArgs&, VARIANT* r) {
    *r = Variant(explorer_ ? static_cast<IDispatch*>(explorer_.get()) : nullptr).detach();
    return S_OK;
  });
  d.bind("Quit", [this](DispArgs&, VARIANT*) {
    ComPtr<OutlookApplication> keep(this);
    raiseEvent(DISPID_Quit);
    if (onQuit_) onQuit_();
    return S_OK;
  });
}

OutlookApplication::~OutlookApplication() {
  revokeRunning();
  events_.unadviseAll();
}

HRESULT OutlookApplication::raiseReminder(IDispatch* item) {
  return raiseEvent(DISPID_Reminder, {Variant(item)});
}

HRESULT OutlookApplication::raiseEvent(DISPID id, const std::vector<Variant>& args) {
  ComPtr<OutlookApplication> keep(this);
  return events_.fire(id, args);
}

HRESULT OutlookApplication::registerRunning() {
  if (rotCookie_) return S_OK;
  // A weak entry: the table must not keep the application alive by itself.
  return RegisterActiveObject(identity(), CLSID_OutlookApplication, ACTIVEOBJECT_WEAK,
                              &rotCookie_);
}

void OutlookApplication::revokeRunning() {
  if (DWORD c = std::exchange(rotCookie_, 0)) RevokeActiveObject(c, nullptr);
}

HRESULT OutlookApplication::EnumConnectionPoints(IEnumConnectionPoints**) { return E_NOTIMPL; }

HRESULT OutlookApplication::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  return findConnectionPoint({&events_}, riid, ppCP);
}

ComPtr<IClassFactory> outlookClassFactory(std::function<ComPtr<OutlookApplication>()> current) {
  return ComPtr<IClassFactory>(new ClassFactory([current]() -> IUnknown* {
    ComPtr<OutlookApplication> app = current();
    if (!app) throw ComError(E_FAIL, "Outlook is not available", "Outlook");
    // The factory's caller takes its own reference through QueryInterface.
    return app->identity();
  }));
}

} // namespace quorvel::office
