// A mail host of its own for Quorvel.dll: plays Outlook, Word, Excel and PowerPoint through plain
// COM (its own IDispatch objects, connection points and a running-object-table entry for
// Outlook), creates the add-in by its ProgID and drives its lifecycle, its command-bar entries,
// clicks and Outlook reminders. Usage: testhost GATEWAY_URL (the composer's server URL).
#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "winCheck.h"

namespace quorvel::wintest {

// The add-in interface as Office hosts call it: IDispatch's slots, then these five. It lies outside
// the unnamed namespace: the compiler must not conclude that no object in the program implements it.
struct IDTExtensibility2 : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, int ConnectMode,
                                                 IDispatch* AddInInst, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(int RemoveMode, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

namespace {

GUID guidOf(const wchar_t* text) {
  GUID g{};
  CHECK_HR(CLSIDFromString(const_cast<LPOLESTR>(text), &g));
  return g;
}

// The add-in's identities, and those of the Office and Outlook object models it uses.
const wchar_t kProgId[] = L"VaskAddin.VaskAddin_";
const GUID CLSID_VaskAddin_ = guidOf(L"{BC2445F7-9514-49B2-90E6-C22FA2A94F1C}");
const GUID IID_IVaskAddin_ = guidOf(L"{F17749CF-B593-4888-B844-125ED0235391}");
const GUID IID_IDTExtensibility2 = guidOf(L"{B65AD801-ABAF-11D0-BB8B-00A0C90F2744}");
const GUID IID_WordApplication = guidOf(L"{00020970-0000-0000-C000-000000000046}");
const GUID IID_ExcelApplication = guidOf(L"{000208D5-0000-0000-C000-000000000046}");
const GUID IID_PowerPointApplication = guidOf(L"{91493442-5A91-11CF-8700-00AA0060263B}");
const GUID IID_OutlookApplication = guidOf(L"{00063001-0000-0000-C000-000000000046}");
const GUID CLSID_OutlookApplication = guidOf(L"{0006F03A-0000-0000-C000-000000000046}");
const GUID DIID_ApplicationEvents = guidOf(L"{0006304E-0000-0000-C000-000000000046}");
const GUID IID_CommandBarControl = guidOf(L"{000C0308-0000-0000-C000-000000000046}");
const GUID IID_CommandBarPopup = guidOf(L"{000C030A-0000-0000-C000-000000000046}");
const GUID IID_CommandBarButton = guidOf(L"{000C030E-0000-0000-C000-000000000046}");
const GUID DIID_CommandBarButtonEvents = guidOf(L"{000C0351-0000-0000-C000-000000000046}");
const GUID IID_MailItem = guidOf(L"{00063034-0000-0000-C000-000000000046}");
const GUID IID_AppointmentItem = guidOf(L"{00063033-0000-0000-C000-000000000046}");
const GUID IID_TaskItem = guidOf(L"{00063035-0000-0000-C000-000000000046}");
constexpr DISPID kClick = 1;
constexpr DISPID kReminder = 0xF004;
constexpr long msoControlButton = 1;
constexpr long msoControlPopup = 10;

constexpr int ext_cm_AfterStartup = 0;
constexpr int ext_cm_Startup = 1;
constexpr int ext_dm_HostShutdown = 0;
constexpr int ext_dm_UserClosed = 1;

/// One counted reference; adopts the reference it is made from.
template <class T> class Ref {
public:
  Ref() = default;
  explicit Ref(T* p) : p_(p) {}
  Ref(const Ref& o) : p_(o.p_) {
    if (p_)
      p_->AddRef();
  }
  Ref& operator=(Ref o) {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() {
    if (p_)
      p_->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

private:
  T* p_ = nullptr;
};

template <class T, class... A> Ref<T> make(A&&... args) { return Ref<T>(new T(std::forward<A>(args)...)); }

// ---- Variants ------------------------------------------------------------

bool isMissing(const VARIANT* v) { return v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND; }

/// A number argument: the add-in passes numbers as 32-bit integer variants.
long intArg(const VARIANT* v) {
  CHECK_EQ(v->vt, VARTYPE(VT_I4));
  return v->vt == VT_I4 ? v->lVal : -1;
}

std::wstring stringArg(const VARIANT* v) {
  VARIANT s;
  VariantInit(&s);
  if (!CHECK_HR(VariantChangeType(&s, const_cast<VARIANT*>(v), 0, VT_BSTR)))
    return L"(not a string)";
  std::wstring text(s.bstrVal ? s.bstrVal : L"");
  VariantClear(&s);
  return text;
}

bool boolArg(const VARIANT* v) {
  VARIANT b;
  VariantInit(&b);
  CHECK_HR(VariantChangeType(&b, const_cast<VARIANT*>(v), 0, VT_BOOL));
  return b.vt == VT_BOOL && b.boolVal != VARIANT_FALSE;
}

HRESULT putString(VARIANT* r, const std::wstring& s) {
  r->vt = VT_BSTR;
  r->bstrVal = SysAllocString(s.c_str());
  return S_OK;
}
HRESULT putInt(VARIANT* r, long n) {
  r->vt = VT_I4;
  r->lVal = n;
  return S_OK;
}
HRESULT putBool(VARIANT* r, bool b) {
  r->vt = VT_BOOL;
  r->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
HRESULT putDispatch(VARIANT* r, IDispatch* d) {
  r->vt = VT_DISPATCH;
  r->pdispVal = d;
  if (d)
    d->AddRef();
  return S_OK;
}

DATE dateOf(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  DATE d = 0;
  CHECK(SystemTimeToVariantTime(&t, &d));
  return d;
}

// ---- Objects of the host's object model ----------------------------------

enum class Member { Property, Method };

/// One object of the host: late-bound members by name (case-insensitive, as Automation names
/// are), the interfaces it grants, and an event source when it has an event interface.
class HostObject : public IDispatch, public IConnectionPointContainer {
public:
  HostObject(std::vector<std::pair<std::wstring, Member>> members, std::vector<GUID> kinds,
             const GUID* events = nullptr)
      : members_(std::move(members)), kinds_(std::move(kinds)), point_(this, events) {}
  virtual ~HostObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch))
      *out = static_cast<IDispatch*>(this);
    for (const GUID& kind : kinds_)
      if (IsEqualIID(riid, kind))
        *out = static_cast<IDispatch*>(this);
    if (IsEqualIID(riid, IID_IConnectionPointContainer) && point_.hasEvents())
      *out = static_cast<IConnectionPointContainer*>(this);
    if (!*out)
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0)
      delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    CHECK(IsEqualIID(riid, IID_NULL));
    HRESULT hr = S_OK;
    for (UINT n = 0; n < count; ++n) {
      ids[n] = DISPID_UNKNOWN;
      for (size_t i = 0; i < members_.size(); ++i)
        if (_wcsicmp(names[n], members_[i].first.c_str()) == 0)
          ids[n] = DISPID(i + 1);
      if (ids[n] == DISPID_UNKNOWN)
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    CHECK(IsEqualIID(riid, IID_NULL));
    if (id < 1 || size_t(id) > members_.size() || !params)
      return DISP_E_MEMBERNOTFOUND;
    const auto& [name, member] = members_[id - 1];
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    // A property put names its value DISPID_PROPERTYPUT; reads and calls name nothing.
    if (put) {
      if (!CHECK(member == Member::Property && params->cNamedArgs == 1 &&
                 params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT))
        return DISP_E_PARAMNOTOPTIONAL;
    } else if (!CHECK(params->cNamedArgs == 0) ||
               !CHECK(flags & (member == Member::Method ? DISPATCH_METHOD : DISPATCH_PROPERTYGET))) {
      return DISP_E_MEMBERNOTFOUND;
    }
    // The last entry of rgvarg is the first argument; a put's value comes last.
    std::vector<VARIANT*> args;
    for (UINT i = params->cArgs; i-- > params->cNamedArgs;)
      args.push_back(&params->rgvarg[i]);
    if (put)
      args.push_back(&params->rgvarg[0]);
    VARIANT scratch;
    VariantInit(&scratch);
    if (result)
      VariantInit(result);
    const HRESULT hr = call(name, put, args, result ? result : &scratch);
    VariantClear(&scratch);
    return hr;
  }

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override {
    *out = nullptr;
    if (!point_.hasEvents() || !IsEqualIID(riid, point_.events()))
      return CONNECT_E_NOCONNECTION;
    *out = &point_;
    AddRef();
    return S_OK;
  }

  /// How many sinks are subscribed to this object's events.
  size_t sinkCount() const { return point_.sinkCount(); }
  /// Raises an event at every subscribed sink, arguments given last first (as in DISPPARAMS).
  void fire(DISPID id, std::vector<VARIANT> lastFirst) { point_.fire(id, lastFirst); }

protected:
  /// One member call: \p args in their natural order (a put's value last).
  virtual HRESULT call(const std::wstring& name, bool put, const std::vector<VARIANT*>& args,
                       VARIANT* result) = 0;

private:
  /// The object's one connection point; it lives inside the object and shares its count.
  class Point : public IConnectionPoint {
  public:
    Point(HostObject* owner, const GUID* events) : owner_(owner), events_(events ? *events : GUID_NULL) {}
    ~Point() {
      for (auto& [cookie, sink] : sinks_)
        sink->Release();
    }
    bool hasEvents() const { return !IsEqualGUID(events_, GUID_NULL); }
    const GUID& events() const { return events_; }
    size_t sinkCount() const { return sinks_.size(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
      *out = nullptr;
      if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IConnectionPoint))
        return E_NOINTERFACE;
      *out = this;
      AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
      *iid = events_;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
      *out = owner_;
      owner_->AddRef();
      return S_OK;
    }
    // The sink must answer the event interface, as Office asks it to.
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
      *cookie = 0;
      IDispatch* events = nullptr;
      if (!CHECK(sink && SUCCEEDED(sink->QueryInterface(events_, reinterpret_cast<void**>(&events)))))
        return CONNECT_E_CANNOTCONNECT;
      *cookie = next_++;
      sinks_[*cookie] = events;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
      const auto found = sinks_.find(cookie);
      if (!CHECK(found != sinks_.end()))
        return CONNECT_E_NOCONNECTION;
      found->second->Release();
      sinks_.erase(found);
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
      *out = nullptr;
      return E_NOTIMPL;
    }

    void fire(DISPID id, std::vector<VARIANT>& lastFirst) {
      std::vector<Ref<IDispatch>> sinks;
      for (auto& [cookie, sink] : sinks_) {
        sink->AddRef();
        sinks.emplace_back(sink);
      }
      for (const auto& sink : sinks) {
        DISPPARAMS params{lastFirst.data(), nullptr, UINT(lastFirst.size()), 0};
        CHECK_HR(sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                              nullptr));
      }
    }

  private:
    HostObject* owner_;
    GUID events_;
    std::map<DWORD, IDispatch*> sinks_;
    DWORD next_ = 1;
  };

  ULONG refs_ = 1;
  std::vector<std::pair<std::wstring, Member>> members_;
  std::vector<GUID> kinds_;
  Point point_;
};

class Control;

/// The controls of a bar or a popup (CommandBarControls).
class Controls : public HostObject {
public:
  Controls()
      : HostObject({{L"Count", Member::Property}, {L"Item", Member::Property}, {L"Add", Member::Method}},
                   {}) {}
  std::vector<Ref<Control>> items;
  Ref<Control> add(long type, const std::wstring& caption);

protected:
  HRESULT call(const std::wstring& name, bool put, const std::vector<VARIANT*>& args,
               VARIANT* result) override;
};

/// A command-bar button (type 1) or popup (type 10), as the kinds the add-in asks for.
class Control : public HostObject {
public:
  Control(long type, std::wstring caption)
      : HostObject(
            {{L"Caption", Member::Property},
             {L"Visible", Member::Property},
             {L"Style", Member::Property},
             {L"TooltipText", Member::Property},
             {L"ShortcutText", Member::Property},
             {L"PasteFace", Member::Method},
             {L"Controls", Member::Property},
             {L"Type", Member::Property}},
            {IID_CommandBarControl, type == msoControlPopup ? IID_CommandBarPopup : IID_CommandBarButton},
            type == msoControlPopup ? nullptr : &DIID_CommandBarButtonEvents),
        type(type), caption(std::move(caption)) {
    if (type == msoControlPopup)
      controls = make<Controls>();
  }
  long type;
  std::wstring caption, tooltip, shortcut;
  bool visible = true;
  long style = 0;
  int faces = 0;
  Ref<Controls> controls;

  /// The user clicks the button: Click(Ctrl, CancelDefault) at every sink.
  void click(VARIANT_BOOL& cancel) {
    VARIANT args[2];
    args[0].vt = VT_BOOL | VT_BYREF;
    args[0].pboolVal = &cancel;
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = static_cast<IDispatch*>(this);
    fire(kClick, {args[0], args[1]});
  }

protected:
  HRESULT call(const std::wstring& name, bool put, const std::vector<VARIANT*>& args,
               VARIANT* result) override {
    if (name == L"Controls" && controls && !put)
      return putDispatch(result, controls.get());
    if (name == L"Type")
      return putInt(result, type);
    if (name == L"PasteFace" && type == msoControlButton) {
      // As the Office hosts do, a clipboard without a picture fails the call.
      if (!::IsClipboardFormatAvailable(CF_BITMAP))
        return E_FAIL;
      ++faces;
      return S_OK;
    }
    if (args.size() != (put ? 1u : 0u))
      return DISP_E_BADPARAMCOUNT;
    if (name == L"Caption")
      return put ? (caption = stringArg(args[0]), S_OK) : putString(result, caption);
    if (name == L"Visible")
      return put ? (visible = boolArg(args[0]), S_OK) : putBool(result, visible);
    if (type != msoControlButton)
      return DISP_E_MEMBERNOTFOUND;
    if (name == L"Style")
      return put ? (style = intArg(args[0]), S_OK) : putInt(result, style);
    if (name == L"TooltipText")
      return put ? (tooltip = stringArg(args[0]), S_OK) : putString(result, tooltip);
    if (name == L"ShortcutText")
      return put ? (shortcut = stringArg(args[0]), S_OK) : putString(result, shortcut);
    return DISP_E_MEMBERNOTFOUND;
  }
};

Ref<Control> Controls::add(long type, const std::wstring& caption) {
  items.push_back(make<Control>(type, caption));
  return items.back();
}

/// Item(index) of a collection counting from 1, and Count.
template <class T>
HRESULT collectionRead(const std::wstring& name, const std::vector<Ref<T>>& items,
                       const std::vector<VARIANT*>& args, VARIANT* result) {
  if (name == L"Count")
    return putInt(result, long(items.size()));
  if (args.size() != 1)
    return DISP_E_BADPARAMCOUNT;
  const long index = intArg(args[0]);
  if (index < 1 || size_t(index) > items.size())
    return DISP_E_BADINDEX;
  return putDispatch(result, items[index - 1].get());
}

// Add(Type, Id, Parameter, Before, Temporary): a button, placed before Before when given.
HRESULT Controls::call(const std::wstring& name, bool put, const std::vector<VARIANT*>& args,
                       VARIANT* result) {
  if (put)
    return DISP_E_MEMBERNOTFOUND;
  if (name != L"Add")
    return collectionRead(name, items, args, result);
  if (!CHECK_EQ(args.size(), size_t(5)))
    return DISP_E_BADPARAMCOUNT;
  CHECK_EQ(intArg(args[0]), msoControlButton);
  CHECK(isMissing(args[1]) && isMissing(args[2]) && isMissing(args[4]));
  auto control = make<Control>(msoControlButton, L"");
  control->visible = false;
  size_t at = items.size();
  if (!isMissing(args[3]))
    at = size_t(std::max(1L, intArg(args[3])) - 1);
  items.insert(items.begin() + long(std::min(at, items.size())), control);
  return putDispatch(result, control.get());
}

/// A command bar: a menu bar or a toolbar.
class Bar : public HostObject {
public:
  explicit Bar(std::wstring name)
      : HostObject(
            {{L"Name", Member::Property}, {L"Visible", Member::Property}, {L"Controls", Member::Property}},
            {}),
        name(std::move(name)), controls(make<Controls>()) {}
  std::wstring name;
  bool visible = false;
  Ref<Controls> controls;

protected:
  HRESULT call(const std::wstring& member, bool put, const std::vector<VARIANT*>& args,
               VARIANT* result) override {
    if (member == L"Visible" && put)
      return visible = boolArg(args.back()), S_OK;
    if (put)
      return DISP_E_MEMBERNOTFOUND;
    if (member == L"Name")
      return putString(result, name);
    if (member == L"Visible")
      return putBool(result, visible);
    return putDispatch(result, controls.get());
  }
};

/// A host's command-bar collection: a menu bar with File, New, and a standard toolbar.
class Bars : public HostObject {
public:
  Bars()
      : HostObject({{L"ActiveMenuBar", Member::Property},
                    {L"Count", Member::Property},
                    {L"Item", Member::Property},
                    {L"Add", Member::Method}},
                   {}) {
    auto menu = make<Bar>(L"Menu Bar");
    auto file = menu->controls->add(msoControlPopup, L"&File");
    menu->controls->add(msoControlPopup, L"&Edit");
    newMenu = file->controls->add(msoControlPopup, L"Ne&w");
    file->controls->add(msoControlButton, L"&Open...");
    newMenu->controls->add(msoControlButton, L"&Mail Message");
    newMenu->controls->add(msoControlButton, L"&Appointment");
    items.push_back(menu);
    items.push_back(make<Bar>(L"Standard"));
  }
  std::vector<Ref<Bar>> items;
  Ref<Control> newMenu;

  /// The bars named \p name.
  std::vector<Ref<Bar>> named(const std::wstring& name) const {
    std::vector<Ref<Bar>> found;
    for (const auto& bar : items)
      if (bar->name == name)
        found.push_back(bar);
    return found;
  }

protected:
  // Add(Name, Position, MenuBar, Temporary): a new toolbar at the end.
  HRESULT call(const std::wstring& name, bool put, const std::vector<VARIANT*>& args,
               VARIANT* result) override {
    if (put)
      return DISP_E_MEMBERNOTFOUND;
    if (name == L"ActiveMenuBar")
      return putDispatch(result, items.front().get());
    if (name != L"Add")
      return collectionRead(name, items, args, result);
    if (!CHECK_EQ(args.size(), size_t(4)))
      return DISP_E_BADPARAMCOUNT;
    CHECK(isMissing(args[1]) && isMissing(args[2]) && isMissing(args[3]));
    items.push_back(make<Bar>(stringArg(args[0])));
    return putDispatch(result, items.back().get());
  }
};

/// Outlook's explorer window, which holds Outlook's command bars.
class Explorer : public HostObject {
public:
  Explorer() : HostObject({{L"CommandBars", Member::Property}}, {}), bars(make<Bars>()) {}
  Ref<Bars> bars;

protected:
  HRESULT call(const std::wstring&, bool put, const std::vector<VARIANT*>&, VARIANT* result) override {
    return put ? DISP_E_MEMBERNOTFOUND : putDispatch(result, bars.get());
  }
};

/// A host's application object. Outlook's has the explorer and the application events; the
/// others have their command bars on the application itself.
class Application : public HostObject {
public:
  Application(std::wstring name, const GUID& kind, bool outlook)
      : HostObject(outlook ? std::vector<std::pair<std::wstring, Member>>{{L"Name", Member::Property},
                                                                          {L"ActiveExplorer", Member::Method},
                                                                          {L"Quit", Member::Method}}
                           : std::vector<std::pair<std::wstring, Member>>{{L"Name", Member::Property},
                                                                          {L"CommandBars", Member::Property}},
                   {kind}, outlook ? &DIID_ApplicationEvents : nullptr),
        name(std::move(name)) {
    if (outlook)
      explorer = make<Explorer>();
    else
      ownBars = make<Bars>();
  }
  std::wstring name;
  Ref<Explorer> explorer;
  Ref<Bars> ownBars;
  int quits = 0;

  Bars& bars() { return explorer ? *explorer->bars.get() : *ownBars.get(); }

protected:
  HRESULT call(const std::wstring& member, bool put, const std::vector<VARIANT*>&, VARIANT* result) override {
    if (put)
      return DISP_E_MEMBERNOTFOUND;
    if (member == L"Name")
      return putString(result, name);
    if (member == L"CommandBars")
      return putDispatch(result, ownBars.get());
    if (member == L"ActiveExplorer")
      return putDispatch(result, explorer.get());
    ++quits;
    return S_OK;
  }
};

/// An Outlook item whose reminder fires: read-only properties of one item kind.
class Item : public HostObject {
public:
  Item(const GUID& kind, std::vector<std::pair<std::wstring, VARIANT>> props)
      : HostObject(namesOf(props), {kind}), props_(std::move(props)) {}
  ~Item() override {
    for (auto& [name, value] : props_)
      VariantClear(&value);
  }

protected:
  HRESULT call(const std::wstring& name, bool put, const std::vector<VARIANT*>&, VARIANT* result) override {
    for (auto& [prop, value] : props_)
      if (!put && prop == name)
        return VariantCopy(result, &value);
    return DISP_E_MEMBERNOTFOUND;
  }

private:
  static std::vector<std::pair<std::wstring, Member>>
  namesOf(const std::vector<std::pair<std::wstring, VARIANT>>& props) {
    std::vector<std::pair<std::wstring, Member>> names;
    for (const auto& prop : props)
      names.emplace_back(prop.first, Member::Property);
    return names;
  }
  std::vector<std::pair<std::wstring, VARIANT>> props_;
};

VARIANT intValue(long n) {
  VARIANT v;
  putInt(&v, n);
  return v;
}
VARIANT textValue(const wchar_t* s) {
  VARIANT v;
  putString(&v, s);
  return v;
}
VARIANT dateValue(DATE d) {
  VARIANT v;
  v.vt = VT_DATE;
  v.date = d;
  return v;
}

Ref<Item> appointment(long importance, const wchar_t* subject) {
  return make<Item>(IID_AppointmentItem, std::vector<std::pair<std::wstring, VARIANT>>{
                                             {L"Importance", intValue(importance)},
                                             {L"Start", dateValue(dateOf(2004, 3, 5, 14, 30))},
                                             {L"End", dateValue(dateOf(2004, 3, 5, 15, 0))},
                                             {L"Subject", textValue(subject)},
                                             {L"Location", textValue(L"Room 2")},
                                             {L"ConversationTopic", textValue(subject)}});
}

Ref<Item> task(long importance, const wchar_t* subject) {
  return make<Item>(IID_TaskItem, std::vector<std::pair<std::wstring, VARIANT>>{
                                      {L"Importance", intValue(importance)},
                                      {L"ReminderTime", dateValue(dateOf(2004, 3, 5, 9, 0))},
                                      {L"Subject", textValue(subject)}});
}

Ref<Item> mail(const wchar_t* subject) {
  return make<Item>(IID_MailItem, std::vector<std::pair<std::wstring, VARIANT>>{
                                      {L"Importance", intValue(2)}, {L"Subject", textValue(subject)}});
}

// ---- The host's side: windows, dialogs, the add-in -----------------------

/// Texts of the message boxes (and captions of other dialogs) shown so far. Each is answered at
/// once, a message box with its default button, another dialog with Cancel, so that no dialog
/// blocks the host.
std::vector<std::wstring> gMessageBoxes;

LRESULT CALLBACK answerDialogs(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND window = reinterpret_cast<HWND>(wParam);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (std::wcscmp(cls, L"#32770") == 0) {
      wchar_t text[1024] = {};
      // A message box has its text in control 0xFFFF.
      const bool messageBox = GetDlgItem(window, 0xFFFF) != nullptr;
      if (messageBox)
        GetDlgItemTextW(window, 0xFFFF, text, 1024);
      else
        GetWindowTextW(window, text, 1024);
      gMessageBoxes.push_back(text);
      std::printf("%s: %ls\n", messageBox ? "message box" : "dialog", text);
      const LRESULT def = SendMessageW(window, DM_GETDEFID, 0, 0);
      const WORD button = !messageBox ? IDCANCEL : HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK collectVisible(HWND window, LPARAM list) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(window))
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

/// The visible top-level windows of this process: the composer once a button showed it.
std::vector<HWND> visibleWindows() {
  std::vector<HWND> found;
  EnumWindows(collectVisible, reinterpret_cast<LPARAM>(&found));
  return found;
}

/// Handles what is waiting in this thread's queue, as a host's message loop would between calls.
void pumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

/// The composer's settings: the gateway under test, its default account, notify on important items.
void writeSettings(const std::wstring& serverUrl) {
  HKEY key = nullptr;
  if (!CHECK_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Kavri\\Nemora\\Outlook", 0, nullptr, 0,
                                KEY_SET_VALUE, nullptr, &key, nullptr),
                LONG(ERROR_SUCCESS)))
    return;
  const std::pair<const wchar_t*, std::wstring> values[] = {{L"eServerURL", serverUrl},
                                                            {L"eUserName", L"nobody"},
                                                            {L"eUserPass", L"pqr456"},
                                                            {L"eNotifPhoneNumber", L"+36201234567"},
                                                            {L"cbEventSel", L"Important events and tasks"}};
  for (const auto& [name, value] : values)
    CHECK_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(wchar_t))),
             LONG(ERROR_SUCCESS));
  RegCloseKey(key);
}

SAFEARRAY* gCustom = nullptr;

/// A new add-in object, made as Office makes it: by its ProgID.
Ref<IDTExtensibility2> createAddIn() {
  CLSID clsid{};
  if (!CHECK_HR(CLSIDFromProgID(kProgId, &clsid)) || !CHECK(IsEqualGUID(clsid, CLSID_VaskAddin_)))
    return {};
  IUnknown* object = nullptr;
  if (!CHECK_HR(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(&object))))
    return {};
  IDTExtensibility2* addin = nullptr;
  CHECK_HR(object->QueryInterface(IID_IDTExtensibility2, reinterpret_cast<void**>(&addin)));
  IDispatch* own = nullptr;
  if (CHECK_HR(object->QueryInterface(IID_IVaskAddin_, reinterpret_cast<void**>(&own))))
    own->Release();
  object->Release();
  return Ref<IDTExtensibility2>(addin);
}

std::wstring lastErrorDescription() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info)
    return L"(no error information)";
  BSTR text = nullptr;
  info->GetDescription(&text);
  std::wstring description(text ? text : L"");
  SysFreeString(text);
  info->Release();
  return description;
}

/// The add-in's two entries in \p bars: "SMS" second in File, New, and the first button of the one
/// "KAVRI SMS" toolbar, each dressed and with one click sink.
std::pair<Ref<Control>, Ref<Control>> checkEntries(Bars& bars, size_t newEntries) {
  auto& news = bars.newMenu->controls->items;
  CHECK_EQ(news.size(), newEntries);
  const auto toolbars = bars.named(L"KAVRI SMS");
  if (!CHECK(news.size() >= 2) || !CHECK_EQ(toolbars.size(), size_t(1)) ||
      !CHECK_EQ(toolbars[0]->controls->items.size(), size_t(1)))
    return {};
  CHECK(toolbars[0]->visible);
  Ref<Control> entry = news[1];
  Ref<Control> button = toolbars[0]->controls->items[0];
  CHECK_EQ(button->style, 3L);
  for (Control* c : {entry.get(), button.get()}) {
    CHECK_EQ(c->caption, std::wstring(L"SMS"));
    CHECK(c->visible);
    CHECK_EQ(c->tooltip, std::wstring(L"Send SMS Message!"));
    CHECK_EQ(c->shortcut, std::wstring(L"Ctrl+Shift+G"));
    CHECK(c->faces >= 1);
    CHECK_EQ(c->sinkCount(), size_t(1));
  }
  return {entry, button};
}

/// Clicks \p button and returns the one visible window it left (the composer), or nullptr.
HWND clickAndFindComposer(Control& button) {
  VARIANT_BOOL cancel = VARIANT_FALSE;
  button.click(cancel);
  CHECK_EQ(cancel, VARIANT_BOOL(VARIANT_FALSE));
  pumpMessages();
  const auto shown = visibleWindows();
  return CHECK_EQ(shown.size(), size_t(1)) ? shown[0] : nullptr;
}

// PowerPoint is not a host of the add-in: a message box, then the connection fails.
void unsupportedHost(Application& outlook) {
  std::printf("-- PowerPoint\n");
  auto ppt = make<Application>(L"Microsoft PowerPoint", IID_PowerPointApplication, false);
  auto addin = createAddIn();
  if (!addin)
    return;
  const size_t boxes = gMessageBoxes.size();
  CHECK(FAILED(addin->OnConnection(ppt.get(), ext_cm_AfterStartup, nullptr, &gCustom)));
  CHECK_EQ(lastErrorDescription(), std::wstring(L"Initialization failed"));
  if (CHECK_EQ(gMessageBoxes.size(), boxes + 1))
    CHECK_EQ(gMessageBoxes.back(), std::wstring(L"This Add-in only supports Word , Outlook and Excel."));
  CHECK_EQ(outlook.sinkCount(), size_t(0));
  CHECK(ppt->bars().named(L"KAVRI SMS").empty());
  CHECK_EQ(ppt->bars().newMenu->controls->items.size(), size_t(2));
}

// Word loads the add-in while running: the entries at once; a click shows the composer; host
// shutdown takes it down. A second load reuses the entries; a user unload takes it down alone.
void wordAfterStartup(Application& outlook) {
  std::printf("-- Word\n");
  auto word = make<Application>(L"Microsoft Word", IID_WordApplication, false);
  for (int run = 1; run <= 2; ++run) {
    auto addin = createAddIn();
    if (!addin || !CHECK_HR(addin->OnConnection(word.get(), ext_cm_AfterStartup, nullptr, &gCustom)))
      return;
    CHECK_EQ(outlook.sinkCount(), size_t(1));
    auto [entry, button] = checkEntries(word->bars(), 3);
    if (!entry)
      return;
    CHECK(visibleWindows().empty());
    HWND composer = clickAndFindComposer(*button);
    CHECK_EQ(clickAndFindComposer(*entry), composer);
    if (run == 1) {
      CHECK_HR(addin->OnBeginShutdown(&gCustom));
      CHECK(!IsWindow(composer));
      CHECK_EQ(entry->sinkCount() + button->sinkCount(), size_t(0));
      CHECK_HR(addin->OnDisconnection(ext_dm_HostShutdown, &gCustom));
    } else {
      CHECK_HR(addin->OnDisconnection(ext_dm_UserClosed, &gCustom));
      CHECK(!IsWindow(composer));
      CHECK_EQ(entry->sinkCount() + button->sinkCount(), size_t(0));
    }
    CHECK_EQ(outlook.sinkCount(), size_t(0));
    CHECK(visibleWindows().empty());
  }
}

// Excel is recognised too; loaded at its start, the entries come with OnStartupComplete.
void excelAtStartup(Application& outlook) {
  std::printf("-- Excel\n");
  auto excel = make<Application>(L"Microsoft Excel", IID_ExcelApplication, false);
  auto addin = createAddIn();
  const size_t boxes = gMessageBoxes.size();
  if (!addin || !CHECK_HR(addin->OnConnection(excel.get(), ext_cm_Startup, nullptr, &gCustom)))
    return;
  CHECK(excel->bars().named(L"KAVRI SMS").empty());
  CHECK_HR(addin->OnStartupComplete(&gCustom));
  checkEntries(excel->bars(), 3);
  CHECK_HR(addin->OnDisconnection(ext_dm_UserClosed, &gCustom));
  CHECK_EQ(outlook.sinkCount(), size_t(0));
  CHECK_EQ(gMessageBoxes.size(), boxes);
}

/// Outlook raises the Reminder event for \p item.
void remind(Application& outlook, HostObject& item) {
  VARIANT arg;
  arg.vt = VT_DISPATCH;
  arg.pdispVal = static_cast<IDispatch*>(&item);
  outlook.fire(kReminder, {arg});
}

// Outlook loads the add-in at its start: OnAddInsUpdate through the add-in's own dispatch
// interface, the entries on the explorer's bars, a click, reminders of three kinds (only the
// important appointment is texted), and one more after OnBeginShutdown that must send nothing.
void outlookAtStartup(Application& outlook) {
  std::printf("-- Outlook\n");
  auto addin = createAddIn();
  if (!addin || !CHECK_HR(addin->OnConnection(&outlook, ext_cm_Startup, nullptr, &gCustom)))
    return;
  CHECK_EQ(outlook.sinkCount(), size_t(1));

  OLECHAR name[] = L"OnAddInsUpdate";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  if (CHECK_HR(addin->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
    VARIANT custom;
    custom.vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
    custom.pparray = &gCustom;
    DISPPARAMS params{&custom, nullptr, 1, 0};
    CHECK_HR(addin->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                           nullptr));
  }
  CHECK_HR(addin->OnStartupComplete(&gCustom));
  auto [entry, button] = checkEntries(outlook.bars(), 3);
  if (!entry)
    return;
  HWND composer = clickAndFindComposer(*entry);

  const size_t boxes = gMessageBoxes.size();
  remind(outlook, *mail(L"Mail is never texted").get());
  remind(outlook, *task(0, L"Low task is not texted").get());
  remind(outlook, *appointment(2, L"Review").get());
  pumpMessages();
  CHECK_EQ(gMessageBoxes.size(), boxes);
  // A successful send hides the composer.
  CHECK(!IsWindowVisible(composer));

  CHECK_HR(addin->OnBeginShutdown(&gCustom));
  CHECK(!IsWindow(composer));
  remind(outlook, *appointment(2, L"Too late").get());
  CHECK_HR(addin->OnDisconnection(ext_dm_HostShutdown, &gCustom));
  CHECK_EQ(outlook.sinkCount(), size_t(0));
  CHECK_EQ(gMessageBoxes.size(), boxes);
}

} // namespace
} // namespace quorvel::wintest

using namespace quorvel::wintest;

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: testhost GATEWAY_URL\n");
    return 2;
  }
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (!CHECK_HR(OleInitialize(nullptr)))
    return testResult();
  HHOOK hook = SetWindowsHookExW(WH_CBT, answerDialogs, nullptr, GetCurrentThreadId());
  CHECK(hook != nullptr);
  writeSettings(argv[1]);
  gCustom = SafeArrayCreateVector(VT_VARIANT, 0, 0);

  // Outlook runs, and is found in the running-object table as Office registers it.
  auto outlook = make<Application>(L"Outlook", IID_OutlookApplication, true);
  DWORD registration = 0;
  CHECK_HR(RegisterActiveObject(static_cast<IDispatch*>(outlook.get()), CLSID_OutlookApplication,
                                ACTIVEOBJECT_STRONG, &registration));

  unsupportedHost(*outlook.get());
  wordAfterStartup(*outlook.get());
  excelAtStartup(*outlook.get());
  outlookAtStartup(*outlook.get());

  RevokeActiveObject(registration, nullptr);
  SafeArrayDestroy(gCustom);
  UnhookWindowsHookEx(hook);
  CoFreeUnusedLibraries();
  OleUninitialize();
  return testResult();
}
