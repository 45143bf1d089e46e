// A command-bar button or popup: its properties through IDispatch, the face
// taken from the clipboard, and Click raised through its connection point.
#include "office/commandbars.h"
#include "office/dispbind.h"

namespace quorvel::office {

using namespace detail;

namespace {

std::vector<MemberDesc> commonMembers() {
  return {
      getter("Caption", 0x60030000 + 1, VT_BSTR), putter("Caption", 0x60030000 + 1, VT_BSTR),
      getter("Visible", 0x60030000 + 2, VT_BOOL), putter("Visible", 0x60030000 + 2, VT_BOOL),
      getter("Enabled", 0x60030000 + 3, VT_BOOL), putter("Enabled", 0x60030000 + 3, VT_BOOL),
      getter("Id", 0x60030000 + 4, VT_I4),
      getter("Type", 0x60030000 + 5, VT_I4),
      getter("Index", 0x60030000 + 6, VT_I4),
      getter("BuiltIn", 0x60030000 + 7, VT_BOOL),
      getter("Tag", 0x60030000 + 8, VT_BSTR), putter("Tag", 0x60030000 + 8, VT_BSTR),
      getter("TooltipText", 0x60030000 + 9, VT_BSTR),
      putter("TooltipText", 0x60030000 + 9, VT_BSTR),
      getter("Parameter", 0x60030000 + 10, VT_BSTR),
      putter("Parameter", 0x60030000 + 10, VT_BSTR),
      getter("BeginGroup", 0x60030000 + 11, VT_BOOL),
      putter("BeginGroup", 0x60030000 + 11, VT_BOOL),
      {.name = "Delete", .id = 0x60030000 + 12, .params = {optionalArg("Temporary")}},
      {.name = "Execute", .id = 0x60030000 + 13},
  };
}

InterfaceDesc buttonDesc() {
  InterfaceDesc d{.name = "_CommandBarButton", .iid = IID_CommandBarButton,
                  .members = commonMembers(), .base = IID_CommandBarControl};
  d.members.push_back(getter("Style", 0x60040001, VT_I4));
  d.members.push_back(putter("Style", 0x60040001, VT_I4));
  d.members.push_back(getter("ShortcutText", 0x60040002, VT_BSTR));
  d.members.push_back(putter("ShortcutText", 0x60040002, VT_BSTR));
  d.members.push_back({.name = "PasteFace", .id = 0x60040003});
  return d;
}

InterfaceDesc popupDesc() {
  InterfaceDesc d{.name = "CommandBarPopup", .iid = IID_CommandBarPopup,
                  .members = commonMembers(), .base = IID_CommandBarControl};
  d.members.push_back(getter("Controls", 0x60040001, VT_DISPATCH));
  return d;
}

const InterfaceDesc& descFor(int32_t type) {
  static const InterfaceDesc button = buttonDesc();
  static const InterfaceDesc popup = popupDesc();
  return type == msoControlPopup ? popup : button;
}

} // namespace

CommandBarControl::CommandBarControl(std::shared_ptr<CommandBarContext> ctx, int32_t type,
                                     int32_t id, bool temporary)
    : DispatchObject(descFor(type)), ctx_(std::move(ctx)), type_(type), id_(id),
      temporary_(temporary) {
  if (isPopup()) controls_ = new CommandBarControls(ctx_, temporary);
  dispatcher().setSource(ctx_->host);
  bindMembers();
}

CommandBarControl::~CommandBarControl() { clickEvents_.unadviseAll(); }

void CommandBarControl::bindMembers() {
  Dispatcher& d = dispatcher();
  bindGet(d, "Caption", [this] { return caption_; });
  bindPut(d, "Caption", [this](const Variant& v) { setCaption(v.toString()); });
  bindGet(d, "Visible", [this] { return visible_; });
  bindPut(d, "Visible", [this](const Variant& v) { setVisible(v.toBool()); });
  bindGet(d, "Enabled", [this] { return enabled_; });
  bindPut(d, "Enabled", [this](const Variant& v) { setEnabled(v.toBool()); });
  bindGet(d, "Id", [this] { return id_; });
  bindGet(d, "Type", [this] { return type_; });
  bindGet(d, "Index", [this] { return index(); });
  bindGet(d, "BuiltIn", [this] { return builtIn_; });
  bindGet(d, "Tag", [this] { return tag_; });
  bindPut(d, "Tag", [this](const Variant& v) { setTag(v.toString()); });
  bindGet(d, "TooltipText", [this] { return tooltip_; });
  bindPut(d, "TooltipText", [this](const Variant& v) { setTooltipText(v.toString()); });
  bindGet(d, "Parameter", [this] { return parameter_; });
  bindPut(d, "Parameter", [this](const Variant& v) { setParameter(v.toString()); });
  bindGet(d, "BeginGroup", [this] { return beginGroup_; });
  bindPut(d, "BeginGroup", [this](const Variant& v) { setBeginGroup(v.toBool()); });
  d.bind("Delete", [this](DispArgs&, VARIANT*) {
    remove();
    return S_OK;
  });
  d.bind("Execute", [this](DispArgs&, VARIANT*) {
    click();
    return S_OK;
  });
  if (isPopup()) {
    bindGet(d, "Controls", [this] { return controls_->dispatch(); });
    return;
  }
  bindGet(d, "Style", [this] { return style_; });
  bindPut(d, "Style", [this](const Variant& v) { setStyle(v.toInt()); });
  bindGet(d, "ShortcutText", [this] { return shortcut_; });
  bindPut(d, "ShortcutText", [this](const Variant& v) { setShortcutText(v.toString()); });
  d.bind("PasteFace", [this](DispArgs&, VARIANT*) {
    pasteFace();
    return S_OK;
  });
}

void* CommandBarControl::queryOther(REFIID riid) {
  // The button and popup interfaces add nothing to the vtable: the
  // control's dispatch interface answers for the one of its kind.
  if ((riid == IID_CommandBarButton && !isPopup()) || (riid == IID_CommandBarPopup && isPopup()))
    return dispatch();
  return nullptr;
}

int32_t CommandBarControl::index() const { return parent_ ? parent_->indexOf(this) : 0; }

void CommandBarControl::setCaption(std::string s) {
  caption_ = std::move(s);
  ctx_->changed();
}
void CommandBarControl::setVisible(bool v) {
  visible_ = v;
  ctx_->changed();
}
void CommandBarControl::setEnabled(bool v) {
  enabled_ = v;
  ctx_->changed();
}
void CommandBarControl::setStyle(int32_t s) {
  if (s < msoButtonAutomatic || s > 15)
    throw ComError(E_INVALIDARG, "Style " + std::to_string(s) + " is not a button style",
                   ctx_->host);
  style_ = s;
  ctx_->changed();
}
void CommandBarControl::setBeginGroup(bool v) {
  beginGroup_ = v;
  ctx_->changed();
}
void CommandBarControl::setTooltipText(std::string s) {
  tooltip_ = std::move(s);
  ctx_->changed();
}
void CommandBarControl::setShortcutText(std::string s) {
  shortcut_ = std::move(s);
  ctx_->changed();
}
void CommandBarControl::setTag(std::string s) { tag_ = std::move(s); }
void CommandBarControl::setParameter(std::string s) { parameter_ = std::move(s); }
void CommandBarControl::setFace(FaceImage f) {
  face_ = std::move(f);
  ctx_->changed();
}

void CommandBarControl::pasteFace() {
  // As the hosts do, a clipboard without a picture is an error of the call,
  // and the face stays as it was.
  std::optional<FaceImage> img = ctx_->clipboard ? ctx_->clipboard->image() : std::nullopt;
  if (!img || img->empty())
    throw ComError(E_FAIL, "The clipboard holds no picture to paste as the face", ctx_->host);
  setFace(std::move(*img));
}

bool CommandBarControl::click() {
  if (isPopup() || !enabled_) return false;
  ComPtr<CommandBarControl> keep(this); // a sink may delete the control
  VARIANT_BOOL cancel = VARIANT_FALSE;
  clickEvents_.fire(DISPID_CommandBarButtonClick,
                    {Variant(dispatch()), Variant::boolRef(&cancel)});
  if (cancel != VARIANT_FALSE) return true;
  if (builtIn_ && ctx_->onAction) ctx_->onAction(*this);
  return false;
}

void CommandBarControl::remove() {
  if (parent_) parent_->remove(this);
}

HRESULT CommandBarControl::EnumConnectionPoints(IEnumConnectionPoints**) { return E_NOTIMPL; }

HRESULT CommandBarControl::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  if (isPopup()) {
    if (ppCP) *ppCP = nullptr;
    return CONNECT_E_NOCONNECTION;
  }
  return findConnectionPoint({&clickEvents_}, riid, ppCP);
}

} // namespace quorvel::office
