// The controls of a bar or popup: Count, Item and Add through IDispatch.
#include "office/commandbars.h"
#include "office/dispbind.h"

namespace quorvel::office {

using namespace detail;

namespace {

const InterfaceDesc kControlsDesc{
    .name = "CommandBarControls",
    .iid = IID_CommandBarControls,
    .members =
        {
            getter("Count", 0x60030001, VT_I4),
            {.name = "Item", .id = DISPID_VALUE, .kind = MemberKind::PropertyGet,
             .params = {{.name = "Index", .type = VT_VARIANT}}, .result = VT_DISPATCH},
            {.name = "Add", .id = 0x60030002,
             .params = {optionalArg("Type"), optionalArg("Id"), optionalArg("Parameter"),
                        optionalArg("Before"), optionalArg("Temporary")},
             .result = VT_DISPATCH},
        },
};

} // namespace

CommandBarControls::CommandBarControls(std::shared_ptr<CommandBarContext> ctx, bool temporary)
    : DispatchObject(kControlsDesc), ctx_(std::move(ctx)), temporary_(temporary) {
  dispatcher().setSource(ctx_->host);
  bindMembers();
}

CommandBarControls::~CommandBarControls() {
  for (auto& c : items_) c->parent_ = nullptr;
}

void CommandBarControls::bindMembers() {
  Dispatcher& d = dispatcher();
  bindGet(d, "Count", [this] { return count(); });
  d.bind("Item", MemberKind::PropertyGet, [this](DispArgs& a, VARIANT* r) {
    if (a[0].vt == VT_BSTR) {
      // By caption, as the collection's users may ask.
      std::string caption = a.toString(0);
      for (auto& c : items_)
        if (c->caption() == caption) {
          *r = Variant(c->dispatch()).detach();
          return S_OK;
        }
      throw ComError(E_INVALIDARG, "No control has the caption \"" + caption + "\"",
                     ctx_->host);
    }
    *r = Variant(item(a.toInt(0))->dispatch()).detach();
    return S_OK;
  });
  d.bind("Add", [this](DispArgs& a, VARIANT* r) {
    std::optional<int32_t> before;
    if (!a.missing(3) && !a[3].isEmpty()) before = a.toInt(3);
    CommandBarControl* c = add(intOr(a[0], msoControlButton), intOr(a[1], 1), before,
                               boolOr(a[4], false));
    if (!a.missing(2) && !a[2].isEmpty()) c->setParameter(a.toString(2));
    *r = Variant(c->dispatch()).detach();
    return S_OK;
  });
}

CommandBarControl* CommandBarControls::item(int32_t index) const {
  if (index < 1 || index > count())
    throw ComError(E_INVALIDARG,
                   "Invalid index " + std::to_string(index) + ": the collection holds " +
                       std::to_string(count()) + " controls",
                   ctx_->host);
  return items_[size_t(index - 1)].get();
}

CommandBarControl* CommandBarControls::add(int32_t type, int32_t id,
                                           std::optional<int32_t> before, bool temporary) {
  if (type != msoControlButton && type != msoControlPopup)
    throw ComError(E_INVALIDARG,
                   "Control type " + std::to_string(type) +
                       " is not supported (only buttons and popups)",
                   ctx_->host);
  if (before && (*before < 1 || *before > count() + 1))
    throw ComError(E_INVALIDARG,
                   "Invalid place " + std::to_string(*before) + ": the collection holds " +
                       std::to_string(count()) + " controls",
                   ctx_->host);
  // Id 1 (and 0) is the custom control; other known ids copy a built-in one.
  std::string caption = id > 1 ? builtInCaption(id) : std::string();
  ComPtr<CommandBarControl> c(
      new CommandBarControl(ctx_, type, caption.empty() ? 1 : id, temporary || temporary_));
  if (!caption.empty()) {
    c->caption_ = caption;
    c->builtIn_ = true;
  }
  c->parent_ = this;
  size_t at = before ? size_t(*before - 1) : items_.size();
  items_.insert(items_.begin() + ptrdiff_t(at), c);
  ctx_->changed();
  return c.get();
}

void CommandBarControls::append(ComPtr<CommandBarControl> control) {
  control->parent_ = this;
  items_.push_back(std::move(control));
}

int32_t CommandBarControls::indexOf(const CommandBarControl* c) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == c) return int32_t(i + 1);
  return 0;
}

void CommandBarControls::remove(CommandBarControl* c) {
  int32_t i = indexOf(c);
  if (i == 0) return;
  ComPtr<CommandBarControl> keep = items_[size_t(i - 1)];
  keep->parent_ = nullptr;
  items_.erase(items_.begin() + (i - 1));
  ctx_->changed();
}

} // namespace quorvel::office
