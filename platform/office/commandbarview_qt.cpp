// Rendering the command bars: the menu bar and one toolbar per visible bar,
// rebuilt from the model; an entry chosen clicks its control.
#include "office/hostwindow.h"
#include "office/qtclipboard.h"

#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace quorvel::office {

namespace {

Qt::ToolBarArea areaOf(int32_t position) {
  switch (position) {
  case msoBarLeft: return Qt::LeftToolBarArea;
  case msoBarRight: return Qt::RightToolBarArea;
  case msoBarBottom: return Qt::BottomToolBarArea;
  default: return Qt::TopToolBarArea;
  }
}

Qt::ToolButtonStyle styleOf(const CommandBarControl& c) {
  switch (c.style()) {
  case msoButtonCaption: return Qt::ToolButtonTextOnly;
  case msoButtonIconAndCaption: return Qt::ToolButtonTextBesideIcon;
  default: return c.face().empty() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly;
  }
}

} // namespace

void HostWindow::scheduleRebuild() {
  if (rebuildPending_) return;
  rebuildPending_ = true;
  // After the call that changed the model has returned: an add-in changes
  // several properties in a row, and the entry being clicked stays alive.
  QTimer::singleShot(0, this, [this] {
    rebuildPending_ = false;
    if (closing_) return;
    rebuildCommandBars();
    session_.commandBars().saveCustomisation();
  });
}

QAction* HostWindow::makeAction(CommandBarControl& control, bool inMenu) {
  QString text = QString::fromStdString(control.caption());
  // The shortcut text is shown beside the entry; no key is bound to it.
  if (inMenu && !control.shortcutText().empty())
    text += "\t" + QString::fromStdString(control.shortcutText());
  auto* action = new QAction(text, this);
  built_.push_back(action);
  if (const QImage face = imageFromFace(control.face()); !face.isNull())
    action->setIcon(QIcon(QPixmap::fromImage(face)));
  action->setIconVisibleInMenu(true);
  action->setEnabled(control.enabled());
  if (!control.tooltipText().empty())
    action->setToolTip(QString::fromStdString(control.tooltipText()));
  ComPtr<CommandBarControl> target(&control);
  connect(action, &QAction::triggered, this, [this, target] {
    // From the event loop, not from inside the menu's or button's signal:
    // the click may rebuild the bars or open dialogs.
    QTimer::singleShot(0, this, [target] { target->click(); });
  });
  return action;
}

void HostWindow::addControls(QWidget* to, const CommandBarControls& controls, bool inToolBar) {
  bool first = true;
  for (const ComPtr<CommandBarControl>& c : controls.items()) {
    if (!c->visible()) continue;
    if (c->beginGroup() && !first) {
      if (auto* menu = qobject_cast<QMenu*>(to)) menu->addSeparator();
      if (auto* bar = qobject_cast<QToolBar*>(to)) bar->addSeparator();
    }
    first = false;
    if (c->isPopup()) {
      auto* menu = new QMenu(QString::fromStdString(c->caption()), this);
      built_.push_back(menu);
      menu->setEnabled(c->enabled());
      addControls(menu, *c->controls(), false);
      if (auto* bar = qobject_cast<QMenuBar*>(to)) bar->addMenu(menu);
      else if (auto* parent = qobject_cast<QMenu*>(to)) parent->addMenu(menu);
      else if (auto* tb = qobject_cast<QToolBar*>(to)) {
        QAction* a = menu->menuAction();
        tb->addAction(a);
        if (auto* button = qobject_cast<QToolButton*>(tb->widgetForAction(a)))
          button->setPopupMode(QToolButton::InstantPopup);
      }
      continue;
    }
    QAction* action = makeAction(*c, !inToolBar);
    to->addAction(action);
    if (auto* tb = qobject_cast<QToolBar*>(to))
      if (auto* button = qobject_cast<QToolButton*>(tb->widgetForAction(action)))
        button->setToolButtonStyle(styleOf(*c));
  }
}

void HostWindow::rebuildCommandBars() {
  for (QPointer<QObject>& o : built_) {
    if (auto* tb = qobject_cast<QToolBar*>(o.data())) removeToolBar(tb);
    if (o) o->deleteLater();
  }
  built_.clear();
  menuBar()->clear();
  CommandBars& bars = session_.commandBars();
  if (CommandBar* menu = bars.activeMenuBar())
    addControls(menuBar(), menu->controls(), false);
  for (const ComPtr<CommandBar>& bar : bars.bars()) {
    if (bar->isMenuBar() || !bar->visible()) continue;
    auto* tb = new QToolBar(QString::fromStdString(bar->name()), this);
    tb->setObjectName(QString::fromStdString(bar->name()));
    tb->setIconSize(QSize(16, 16));
    built_.push_back(tb);
    addToolBar(areaOf(bar->position()), tb);
    addControls(tb, bar->controls(), true);
  }
}

} // namespace quorvel::office
