// The collection of command bars: ActiveMenuBar, Count, Item and Add through
// IDispatch, and restoring the host's customisation when created.
#include "office/commandbars.h"
#include "office/dispbind.h"

#include <strings.h>

namespace quorvel::office {

using namespace detail;

bool restoreCustomisation(CommandBars& bars, const std::string& text, std::string* error);
bool readTextFile(const std::string& path, std::string* text, std::string* error);

namespace {

const InterfaceDesc kBarsDesc{
    .name = "_CommandBars",
    .iid = IID_CommandBars,
    .members =
        {
            getter("ActiveMenuBar", 0x60030001, VT_DISPATCH),
            getter("Count", 0x60030002, VT_I4),
            {.name = "Item", .id = DISPID_VALUE, .kind = MemberKind::PropertyGet,
             .params = {{.name = "Index", .type = VT_VARIANT}}, .result = VT_DISPATCH},
            {.name = "Add", .id = 0x60030003,
             .params = {optionalArg("Name"), optionalArg("Position"), optionalArg("MenuBar"),
                        optionalArg("Temporary")},
             .result = VT_DISPATCH},
        },
};

bool sameName(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

} // namespace

CommandBars::CommandBars(std::shared_ptr<CommandBarContext> ctx, std::string file)
    : DispatchObject(kBarsDesc), ctx_(std::move(ctx)), file_(std::move(file)) {
  dispatcher().setSource(ctx_->host);
  bindMembers();
}

CommandBars::~CommandBars() {
  for (auto& b : bars_) b->parent_ = nullptr;
}

ComPtr<CommandBars> CommandBars::create(std::shared_ptr<CommandBarContext> ctx,
                                        std::string customisationFile) {
  ComPtr<CommandBars> bars(new CommandBars(std::move(ctx), std::move(customisationFile)));
  std::string text, error;
  if (!bars->file_.empty() && readTextFile(bars->file_, &text, &error)) {
    if (restoreCustomisation(*bars, text, &error)) return bars;
    bars->problems_.push_back(bars->file_ + ":" + error +
                              " (the default command bars are used)");
    for (auto& b : bars->bars_) b->parent_ = nullptr;
    bars->bars_.clear();
  } else if (!error.empty()) {
    bars->problems_.push_back(error + " (the default command bars are used)");
  }
  buildDefaultBars(*bars);
  return bars;
}

void CommandBars::bindMembers() {
  Dispatcher& d = dispatcher();
  d.bind("ActiveMenuBar", MemberKind::PropertyGet, [this](DispArgs&, VARIANT* r) {
    CommandBar* bar = activeMenuBar();
    *r = Variant(bar ? bar->dispatch() : static_cast<IDispatch*>(nullptr)).detach();
    return S_OK;
  });
  bindGet(d, "Count", [this] { return count(); });
  d.bind("Item", MemberKind::PropertyGet, [this](DispArgs& a, VARIANT* r) {
    CommandBar* bar = nullptr;
    if (a[0].vt == VT_BSTR) {
      bar = find(a.toString(0));
      if (!bar)
        throw ComError(E_INVALIDARG, "No command bar is named \"" + a.toString(0) + "\"",
                       ctx_->host);
    } else {
      bar = item(a.toInt(0));
    }
    *r = Variant(bar->dispatch()).detach();
    return S_OK;
  });
  d.bind("Add", [this](DispArgs& a, VARIANT* r) {
    std::string name = a.missing(0) || a[0].isEmpty() ? std::string() : a.toString(0);
    if (name.empty())
      for (int n = 1; name.empty() || find(name); ++n) name = "Custom " + std::to_string(n);
    CommandBar* bar = add(name, intOr(a[1], msoBarTop), boolOr(a[2], false), boolOr(a[3], false));
    *r = Variant(bar->dispatch()).detach();
    return S_OK;
  });
}

CommandBar* CommandBars::item(int32_t index) const {
  if (index < 1 || index > count())
    throw ComError(E_INVALIDARG,
                   "Invalid index " + std::to_string(index) + ": there are " +
                       std::to_string(count()) + " command bars",
                   ctx_->host);
  return bars_[size_t(index - 1)].get();
}

CommandBar* CommandBars::find(const std::string& name) const {
  for (auto& b : bars_)
    if (sameName(b->name(), name)) return b.get();
  return nullptr;
}

CommandBar* CommandBars::activeMenuBar() const {
  for (auto& b : bars_)
    if (b->isMenuBar()) return b.get();
  return nullptr;
}

CommandBar* CommandBars::add(const std::string& name, int32_t position, bool menuBar,
                             bool temporary) {
  if (find(name))
    throw ComError(E_INVALIDARG, "A command bar named \"" + name + "\" already exists",
                   ctx_->host);
  if (position < msoBarLeft || position > msoBarMenuBar)
    throw ComError(E_INVALIDARG, "Position " + std::to_string(position) +
                                     " is not a bar position",
                   ctx_->host);
  ComPtr<CommandBar> bar(new CommandBar(ctx_, name, position, menuBar, temporary));
  bar->parent_ = this;
  bars_.push_back(bar);
  ctx_->changed();
  return bar.get();
}

void CommandBars::remove(CommandBar* bar) {
  for (auto it = bars_.begin(); it != bars_.end(); ++it)
    if (it->get() == bar) {
      ComPtr<CommandBar> keep = *it;
      keep->parent_ = nullptr;
      bars_.erase(it);
      ctx_->changed();
      return;
    }
}

std::vector<std::string> CommandBars::takeProblems() { return std::exchange(problems_, {}); }

} // namespace quorvel::office
