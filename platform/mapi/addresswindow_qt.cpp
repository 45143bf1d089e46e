// The address dialog's window: the contact list with a search field on the
// left, one button and list per destination well on the right, OK and
// Cancel below.
#include "mapi/addresswindow.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QThread>
#include <QVBoxLayout>

namespace quorvel::mapi {
namespace {

QString text(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

class AddressWindow {
public:
  AddressWindow(IAddressDialog& model, QWidget* parent) : model_(model), dialog_(parent) {
    dialog_.setObjectName("addressDialog");
    dialog_.setWindowTitle(text(model.caption()));
    dialog_.setModal(true);
    dialog_.resize(620, 420);

    auto* search = new QLineEdit(&dialog_);
    search->setObjectName("search");
    search->setPlaceholderText(QStringLiteral("Search"));
    search->setClearButtonEnabled(true);
    contacts_ = new QListWidget(&dialog_);
    contacts_->setObjectName("contacts");
    contacts_->setSelectionMode(QAbstractItemView::ExtendedSelection);

    auto* left = new QVBoxLayout;
    left->addWidget(search);
    left->addWidget(contacts_, 1);

    auto* wellsBox = new QGroupBox(text(model.wellsTitle()), &dialog_);
    auto* grid = new QGridLayout(wellsBox);
    for (size_t w = 0; w < model.wellCount(); ++w) {
      auto* button = new QPushButton(text(model.wellTitle(w)) + QStringLiteral(" ->"), wellsBox);
      button->setObjectName(QStringLiteral("wellButton%1").arg(w));
      auto* list = new QListWidget(wellsBox);
      list->setObjectName(QStringLiteral("well%1").arg(w));
      list->setToolTip(QStringLiteral("Double-click or press Delete to remove a name"));
      grid->addWidget(button, int(w), 0, Qt::AlignTop);
      grid->addWidget(list, int(w), 1);
      wells_.push_back(list);
      QObject::connect(button, &QPushButton::clicked, [this, w] { pickSelected(w); });
      QObject::connect(list, &QListWidget::itemDoubleClicked,
                       [this, w, list](QListWidgetItem* item) { removeAt(w, list->row(item)); });
      auto* del = new QShortcut(QKeySequence::Delete, list, nullptr, nullptr, Qt::WidgetShortcut);
      QObject::connect(del, &QShortcut::activated, [this, w, list] {
        if (list->currentRow() >= 0)
          removeAt(w, list->currentRow());
      });
      fillWell(w);
    }

    auto* body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addWidget(wellsBox, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog_);
    buttons->setObjectName("buttons");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog_, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog_, &QDialog::reject);

    auto* main = new QVBoxLayout(&dialog_);
    main->addLayout(body, 1);
    main->addWidget(buttons);

    QObject::connect(search, &QLineEdit::textChanged,
                     [this](const QString& s) { fillContacts(s.toStdString()); });
    // Double-clicking a contact puts it into the well that has the focus.
    QObject::connect(contacts_, &QListWidget::itemDoubleClicked,
                     [this](QListWidgetItem*) { pickSelected(model_.focusWell()); });
    fillContacts("");
    search->setFocus();
  }

  bool exec() { return dialog_.exec() == QDialog::Accepted; }

private:
  void fillContacts(const std::string& filter) {
    contacts_->clear();
    for (size_t c : model_.search(filter)) {
      QString label = text(model_.contactName(c));
      if (!model_.contactDetail(c).empty())
        label += QStringLiteral("  (") + text(model_.contactDetail(c)) + QStringLiteral(")");
      auto* item = new QListWidgetItem(label, contacts_);
      item->setData(Qt::UserRole, qulonglong(c));
    }
    if (contacts_->count() > 0)
      contacts_->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
  }

  void fillWell(size_t w) {
    wells_[w]->clear();
    for (const auto& name : model_.wellNames(w))
      wells_[w]->addItem(text(name));
  }

  void pickSelected(size_t w) {
    for (QListWidgetItem* item : contacts_->selectedItems())
      model_.pick(w, size_t(item->data(Qt::UserRole).toULongLong()));
    fillWell(w);
  }

  void removeAt(size_t w, int row) {
    if (row >= 0 && model_.remove(w, size_t(row)))
      fillWell(w);
  }

  IAddressDialog& model_;
  QDialog dialog_;
  QListWidget* contacts_ = nullptr;
  std::vector<QListWidget*> wells_;
};

} // namespace

WindowOutcome runAddressWindow(IAddressDialog& dialog, ULONG_PTR parent) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app || QThread::currentThread() != app->thread())
    return WindowOutcome::Unavailable;
  QWidget* owner = parent ? QWidget::find(WId(parent)) : nullptr;
  AddressWindow window(dialog, owner);
  return window.exec() ? WindowOutcome::Accepted : WindowOutcome::Cancelled;
}

} // namespace quorvel::mapi
