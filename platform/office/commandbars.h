// The host's command bars as COM objects: the collection, bars, control
// collections, buttons and popups, served through IDispatch to add-ins and
// read directly by the host's window.
#pragma once

#include "com/connpoint.h"
#include "office/clipboard.h"
#include "office/officeids.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::office {

class CommandBar;
class CommandBarControl;
class CommandBarControls;

/// What every object of one command-bar tree shares with the host.
struct CommandBarContext {
  std::string host;                 ///< "Outlook", "Word", ...
  Clipboard* clipboard = nullptr;   ///< PasteFace's source; may be null
  /// Called after anything visible changed (structure, captions, faces).
  std::function<void()> onChanged;
  /// Called for a click on a built-in control that no sink cancelled.
  std::function<void(CommandBarControl&)> onAction;
  void changed() const {
    if (onChanged) onChanged();
  }
};

/// One button or popup (submenu) on a bar or in a popup. A button raises
/// Click through its `_CommandBarButtonEvents` connection point; a popup
/// holds further controls.
class CommandBarControl : public DispatchObject<ICommandBarControl, IConnectionPointContainer> {
public:
  /// \p type is msoControlButton or msoControlPopup.
  CommandBarControl(std::shared_ptr<CommandBarContext> ctx, int32_t type, int32_t id,
                    bool temporary);

  int32_t type() const { return type_; }
  bool isPopup() const { return type_ == msoControlPopup; }
  int32_t id() const { return id_; }
  bool builtIn() const { return builtIn_; }
  bool temporary() const { return temporary_; }
  const std::string& caption() const { return caption_; }
  bool visible() const { return visible_; }
  bool enabled() const { return enabled_; }
  int32_t style() const { return style_; }
  bool beginGroup() const { return beginGroup_; }
  const std::string& tooltipText() const { return tooltip_; }
  const std::string& shortcutText() const { return shortcut_; }
  const std::string& tag() const { return tag_; }
  const std::string& parameter() const { return parameter_; }
  const FaceImage& face() const { return face_; }
  /// The 1-based place in its collection; 0 once deleted.
  int32_t index() const;
  /// A popup's controls (null for a button).
  CommandBarControls* controls() const { return controls_.get(); }

  void setCaption(std::string s);
  void setVisible(bool v);
  void setEnabled(bool v);
  void setStyle(int32_t s);
  void setBeginGroup(bool v);
  void setTooltipText(std::string s);
  void setShortcutText(std::string s);
  void setTag(std::string s);
  void setParameter(std::string s);
  void setFace(FaceImage f);
  /// Takes the face from the clipboard's picture. Throws ComError(E_FAIL)
  /// and leaves the face as it is when there is no picture (or no
  /// clipboard).
  void pasteFace();
  /// Marks a control the host made itself (kept with its id and action).
  void setBuiltIn(bool v) { builtIn_ = v; }

  /// A click: raises Click(Ctrl, CancelDefault) to every advised sink and,
  /// unless one set CancelDefault, runs the host's action for a built-in
  /// control. Answers whether the default action was cancelled.
  bool click();
  /// The number of sinks advised on the button's Click.
  size_t clickSinkCount() const { return clickEvents_.sinkCount(); }

  /// Removes the control from its collection.
  void remove();

  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  IDispatch* dispatch() { return static_cast<ICommandBarControl*>(this); }

protected:
  ~CommandBarControl() override;
  void* queryOther(REFIID riid) override;

private:
  friend class CommandBarControls;
  void bindMembers();

  std::shared_ptr<CommandBarContext> ctx_;
  int32_t type_;
  int32_t id_;
  bool builtIn_ = false;
  bool temporary_;
  std::string caption_, tooltip_, shortcut_, tag_, parameter_;
  bool visible_ = true, enabled_ = true, beginGroup_ = false;
  int32_t style_ = msoButtonAutomatic;
  FaceImage face_;
  ComPtr<CommandBarControls> controls_;
  CommandBarControls* parent_ = nullptr; // cleared when removed or the parent goes
  ConnectionPoint clickEvents_{*this, DIID_CommandBarButtonEvents};
};

/// The controls of a bar or of a popup, in order.
class CommandBarControls : public DispatchObject<ICommandBarControls> {
public:
  /// \p temporary: everything added here is temporary (a temporary bar).
  CommandBarControls(std::shared_ptr<CommandBarContext> ctx, bool temporary);

  int32_t count() const { return int32_t(items_.size()); }
  /// Control \p index, counting from 1; throws ComError(E_INVALIDARG)
  /// outside 1..count.
  CommandBarControl* item(int32_t index) const;
  const std::vector<ComPtr<CommandBarControl>>& items() const { return items_; }
  /// Adds a button or popup before place \p before (1-based; nothing:
  /// at the end). A known built-in \p id gives that control's caption and
  /// action. Throws ComError(E_INVALIDARG) for another type or a place
  /// outside 1..count+1.
  CommandBarControl* add(int32_t type, int32_t id, std::optional<int32_t> before,
                         bool temporary);
  /// Adds a control made elsewhere (when building or restoring) at the end.
  void append(ComPtr<CommandBarControl> control);
  /// The 1-based place of \p c, 0 when it is not here.
  int32_t indexOf(const CommandBarControl* c) const;
  void remove(CommandBarControl* c);
  bool temporary() const { return temporary_; }

  IDispatch* dispatch() { return this; }

protected:
  ~CommandBarControls() override;

private:
  void bindMembers();

  std::shared_ptr<CommandBarContext> ctx_;
  bool temporary_;
  std::vector<ComPtr<CommandBarControl>> items_;
};

/// A menu bar or toolbar.
class CommandBar : public DispatchObject<ICommandBar> {
public:
  CommandBar(std::shared_ptr<CommandBarContext> ctx, std::string name, int32_t position,
             bool menuBar, bool temporary);

  const std::string& name() const { return name_; }
  bool visible() const { return visible_; }
  bool isMenuBar() const { return menuBar_; }
  int32_t position() const { return position_; }
  bool temporary() const { return temporary_; }
  bool builtIn() const { return builtIn_; }
  bool enabled() const { return enabled_; }
  CommandBarControls& controls() const { return *controls_; }

  void setName(std::string n);
  void setVisible(bool v);
  void setPosition(int32_t p);
  void setEnabled(bool v);
  void setBuiltIn(bool v) { builtIn_ = v; }

  IDispatch* dispatch() { return this; }

private:
  friend class CommandBars;
  void bindMembers();

  std::shared_ptr<CommandBarContext> ctx_;
  std::string name_;
  int32_t position_;
  bool menuBar_, temporary_;
  bool visible_ = false, builtIn_ = false, enabled_ = true;
  ComPtr<CommandBarControls> controls_;
  class CommandBars* parent_ = nullptr; // cleared when deleted or the parent goes
};

/// The host's collection of command bars (`_CommandBars`). The active menu
/// bar is the first menu bar. Permanent customisation (bars and controls
/// not added as temporary, captions, faces, order) is saved to and
/// restored from a file.
class CommandBars : public DispatchObject<ICommandBars> {
public:
  /// The host's default bars, or those saved in \p customisationFile when
  /// it exists and can be read (problems go to takeProblems, and the
  /// defaults are used).
  static ComPtr<CommandBars> create(std::shared_ptr<CommandBarContext> ctx,
                                    std::string customisationFile = {});

  int32_t count() const { return int32_t(bars_.size()); }
  const std::vector<ComPtr<CommandBar>>& bars() const { return bars_; }
  /// Bar \p index, counting from 1 (throws ComError(E_INVALIDARG) outside).
  CommandBar* item(int32_t index) const;
  /// The bar named \p name (without regard to case), or null.
  CommandBar* find(const std::string& name) const;
  CommandBar* activeMenuBar() const;
  /// A new bar, added at the end, not visible. Throws ComError(E_INVALIDARG)
  /// when a bar of that name exists.
  CommandBar* add(const std::string& name, int32_t position, bool menuBar, bool temporary);
  void remove(CommandBar* bar);

  CommandBarContext& context() const { return *ctx_; }
  const std::string& customisationFile() const { return file_; }
  /// Writes the permanent bars and controls to the customisation file
  /// (replaced atomically); false with the reason in \p error.
  bool saveCustomisation(std::string* error = nullptr) const;
  /// Problems met while restoring, each given once.
  std::vector<std::string> takeProblems();

  IDispatch* dispatch() { return this; }

protected:
  ~CommandBars() override;

private:
  CommandBars(std::shared_ptr<CommandBarContext> ctx, std::string file);
  void bindMembers();
  friend void buildDefaultBars(CommandBars& bars);
  friend bool restoreCustomisation(CommandBars& bars, const std::string& text,
                                   std::string* error);

  std::shared_ptr<CommandBarContext> ctx_;
  std::string file_;
  std::vector<ComPtr<CommandBar>> bars_;
  std::vector<std::string> problems_;
};

/// Fills an empty collection with the host's default bars: a menu bar
/// (File with New, Tools, Help) and the "Standard" toolbar.
void buildDefaultBars(CommandBars& bars);
/// The caption of the built-in control \p id ("" when unknown).
std::string builtInCaption(int32_t id);

/// Ids of the host's built-in controls.
inline constexpr int32_t kIdFileMenu = 30002;
inline constexpr int32_t kIdNewMenu = 30037;
inline constexpr int32_t kIdMailMessage = 1757;
inline constexpr int32_t kIdAppointment = 1106;
inline constexpr int32_t kIdTask = 1100;
inline constexpr int32_t kIdOpenCalendar = 23;
inline constexpr int32_t kIdExit = 752;
inline constexpr int32_t kIdToolsMenu = 30007;
inline constexpr int32_t kIdComAddIns = 3754;
inline constexpr int32_t kIdReminders = 5556;
inline constexpr int32_t kIdHelpMenu = 30010;
inline constexpr int32_t kIdAbout = 927;

/// The default customisation file of a host:
/// $XDG_CONFIG_HOME/quorvel/<host>.commandbars (~/.config when unset).
std::string defaultCustomisationFile(const std::string& host);

} // namespace quorvel::office
