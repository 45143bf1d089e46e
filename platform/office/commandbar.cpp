// One menu bar or toolbar: name, visibility and its controls through IDispatch.
#include "office/commandbars.h"
#include "office/dispbind.h"

namespace quorvel::office {

using namespace detail;

namespace {

const InterfaceDesc kBarDesc{
    .name = "CommandBar",
    .iid = IID_CommandBar,
    .members =
        {
            getter("Name", 0x60030001, VT_BSTR), putter("Name", 0x60030001, VT_BSTR),
            getter("NameLocal", 0x60030002, VT_BSTR),
            getter("Visible", 0x60030003, VT_BOOL), putter("Visible", 0x60030003, VT_BOOL),
            getter("Enabled", 0x60030004, VT_BOOL), putter("Enabled", 0x60030004, VT_BOOL),
            getter("Controls", 0x60030005, VT_DISPATCH),
            getter("Index", 0x60030006, VT_I4),
            getter("Type", 0x60030007, VT_I4),
            getter("Position", 0x60030008, VT_I4), putter("Position", 0x60030008, VT_I4),
            getter("BuiltIn", 0x60030009, VT_BOOL),
            {.name = "Delete", .id = 0x6003000A},
        },
};

} // namespace

CommandBar::CommandBar(std::shared_ptr<CommandBarContext> ctx, std::string name,
                       int32_t position, bool menuBar, bool temporary)
    : DispatchObject(kBarDesc), ctx_(std::move(ctx)), name_(std::move(name)),
      position_(position), menuBar_(menuBar), temporary_(temporary) {
  controls_ = new CommandBarControls(ctx_, temporary);
  dispatcher().setSource(ctx_->host);
  bindMembers();
}

void CommandBar::bindMembers() {
  Dispatcher& d = dispatcher();
  bindGet(d, "Name", [this] { return name_; });
  bindPut(d, "Name", [this](const Variant& v) { setName(v.toString()); });
  bindGet(d, "NameLocal", [this] { return name_; });
  bindGet(d, "Visible", [this] { return visible_; });
  bindPut(d, "Visible", [this](const Variant& v) { setVisible(v.toBool()); });
  bindGet(d, "Enabled", [this] { return enabled_; });
  bindPut(d, "Enabled", [this](const Variant& v) { setEnabled(v.toBool()); });
  bindGet(d, "Controls", [this] { return controls_->dispatch(); });
  bindGet(d, "Index", [this] {
    if (parent_)
      for (int32_t i = 1; i <= parent_->count(); ++i)
        if (parent_->item(i) == this) return i;
    return int32_t(0);
  });
  bindGet(d, "Type", [this] { return menuBar_ ? msoBarTypeMenuBar : msoBarTypeNormal; });
  bindGet(d, "Position", [this] { return position_; });
  bindPut(d, "Position", [this](const Variant& v) { setPosition(v.toInt()); });
  bindGet(d, "BuiltIn", [this] { return builtIn_; });
  d.bind("Delete", [this](DispArgs&, VARIANT*) {
    if (builtIn_) throw ComError(E_INVALIDARG, "A built-in bar cannot be deleted", ctx_->host);
    if (parent_) parent_->remove(this);
    return S_OK;
  });
}

void CommandBar::setName(std::string n) {
  if (builtIn_) throw ComError(E_INVALIDARG, "A built-in bar cannot be renamed", ctx_->host);
  if (parent_)
    if (CommandBar* other = parent_->find(n); other && other != this)
      throw ComError(E_INVALIDARG, "A command bar named \"" + n + "\" already exists",
                     ctx_->host);
  name_ = std::move(n);
  ctx_->changed();
}

void CommandBar::setVisible(bool v) {
  visible_ = v;
  ctx_->changed();
}

void CommandBar::setPosition(int32_t p) {
  if (p < msoBarLeft || p > msoBarMenuBar)
    throw ComError(E_INVALIDARG, "Position " + std::to_string(p) + " is not a bar position",
                   ctx_->host);
  position_ = p;
  ctx_->changed();
}

void CommandBar::setEnabled(bool v) {
  enabled_ = v;
  ctx_->changed();
}

} // namespace quorvel::office
