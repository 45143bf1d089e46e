// The composer's commands as Qt actions: menus, main toolbar and address buttons.
#include "composer/unSMSForm.h"

#include <QAction>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

#include <tuple>

namespace quorvel {

namespace {

// Left margin of the To and Cc buttons.
constexpr int addressBarIndent = 4;

// The desktop theme's icon where it has one, else our own image.
QIcon commandIcon(const TComposerCommand& command) {
  if (!*command.themeIcon)
    return {};
  if (!*command.ownImage)
    return QIcon::fromTheme(command.themeIcon);
  return QIcon::fromTheme(command.themeIcon,
                          QIcon(QString(":/composer/icons/") + command.ownImage));
}

} // namespace

QAction* TfrmSMSComposer::makeAction(TCommandId id) {
  const TComposerCommand& command = composerCommand(id);
  auto* action = new QAction(command.caption, this);
  if (*command.shortcut) {
    action->setShortcut(QKeySequence(command.shortcut));
    commands_.push_back(action);
  }
  if (*command.toolTip)
    action->setToolTip(command.toolTip);
  action->setIcon(commandIcon(command));
  action->setEnabled(command.enabled);
  action->setCheckable(command.checkable);
  connect(action, &QAction::triggered, this, [this, id] { execute(id); });
  return action;
}

void TfrmSMSComposer::editCommand(TCommandId id) {
  // Every edit command works on the message editor, wherever the focus is;
  // "&Delete" keeps the removed text on the clipboard, exactly like "&Cut".
  switch (id) {
  case TCommandId::undo: re->undo(); break;
  case TCommandId::cut:
  case TCommandId::del: re->cut(); break;
  case TCommandId::copy: re->copy(); break;
  case TCommandId::paste: re->paste(); break;
  default: break;
  }
}

void TfrmSMSComposer::setupMenus() {
  // One action per command, shared by menu and toolbar.
  QAction** const members[] = {&actSend,        &actOpen,        &actSave,     &actPrint,
                               &actClose,       &actUndo,        &actCut,      &actCopy,
                               &actPaste,       &actDelete,      &actPreferences,
                               &actSettings,    &actHelp,        &actAbout,    &actAddressbook,
                               &actCheckNumbers, &tbPriority,    &actDownloadCredits,
                               &actTo,          &actCc};
  static_assert(std::size(members) == std::size(decltype(actions_){}));
  for (const TComposerCommand& command : composerCommands()) {
    QAction* action = makeAction(command.id);
    actions_[static_cast<std::size_t>(command.id) - 1] = action;
    *members[static_cast<std::size_t>(command.id) - 1] = action;
  }
  for (QAction* a : {actUndo, actCut, actCopy, actPaste, actDelete})
    a->setShortcutContext(Qt::WindowShortcut);

  QMenu** const menus[] = {&mnFile, &mnEdit, &mnTools, &mnHelp};
  std::size_t index = 0;
  for (const TComposerMenu& entries : composerMenus()) {
    QMenu* menu = kaSMSMenuBar->addMenu(entries.caption);
    *menus[index++] = menu;
    addCommands(menu, entries.items);
  }
}

void TfrmSMSComposer::addCommands(QWidget* target, const std::vector<TCommandId>& ids) {
  for (TCommandId id : ids) {
    if (id == TCommandId::separator) {
      auto* gap = new QAction(target);
      gap->setSeparator(true);
      target->addAction(gap);
    } else {
      target->addAction(actions_[static_cast<std::size_t>(id) - 1]);
    }
  }
}

void TfrmSMSComposer::setupToolbarActions() {
  addCommands(tbMain, composerToolbar());
  auto style = [this](QAction* action, Qt::ToolButtonStyle s) {
    if (auto* button = qobject_cast<QToolButton*>(tbMain->widgetForAction(action)))
      button->setToolButtonStyle(s);
  };
  style(actSend, Qt::ToolButtonTextBesideIcon);
  style(actDownloadCredits, Qt::ToolButtonTextOnly);
}

void TfrmSMSComposer::setupAddressBars() {
  bTo->setDefaultAction(actTo);
  bCc->setDefaultAction(actCc);
  // Both buttons as wide as the wider, so that both fields start alike.
  const int buttonWidth = std::max(bTo->sizeHint().width(), bCc->sizeHint().width());
  const int height = std::max(bTo->sizeHint().height(), eTo->sizeHint().height()) + 2;
  for (auto [bar, button, field] : {std::tuple{tbToBar, bTo, eTo}, std::tuple{tbCcBar, bCc, eCC}}) {
    bar->setFixedHeight(height);
    button->setGeometry(addressBarIndent, 1, buttonWidth, height - 2);
    field->setGeometry(addressBarIndent + buttonWidth + 4, (height - field->sizeHint().height()) / 2,
                       149, field->sizeHint().height());
  }
}

} // namespace quorvel
