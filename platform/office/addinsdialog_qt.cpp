// The "COM Add-ins" dialog: one tickable line per registered add-in, its
// details and last error below, OK applies the ticks.
#include "office/addinsdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace quorvel::office {

AddInsDialog::AddInsDialog(AddInManager& manager, QWidget* parent)
    : QDialog(parent), manager_(manager), list_(new QListWidget(this)),
      details_(new QLabel(this)) {
  setWindowTitle(tr("COM Add-ins"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Add-ins available:"), this));
  layout->addWidget(list_);
  details_->setWordWrap(true);
  details_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(details_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::currentRowChanged, this, [this] { showDetails(); });
  fill();
}

void AddInsDialog::fill() {
  list_->clear();
  for (const AddInEntry& e : manager_.refresh()) {
    auto* item = new QListWidgetItem(QString::fromStdString(e.friendlyName), list_);
    item->setData(Qt::UserRole, QString::fromStdString(e.progId));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(e.connected ? Qt::Checked : Qt::Unchecked);
  }
  if (list_->count() == 0) details_->setText(tr("No add-ins are registered for this program."));
  else list_->setCurrentRow(0);
}

void AddInsDialog::showDetails() {
  const int row = list_->currentRow();
  const auto& entries = manager_.addIns();
  if (row < 0 || row >= int(entries.size())) return;
  const AddInEntry& e = entries[size_t(row)];
  QString text = tr("Programmatic id: %1\nLoad behaviour: %2")
                     .arg(QString::fromStdString(e.progId))
                     .arg((e.loadBehavior & 3) == 3 ? tr("Load at Startup")
                          : e.connected             ? tr("Loaded")
                                                    : tr("Unloaded"));
  if (!e.description.empty()) text += "\n" + QString::fromStdString(e.description);
  if (!e.lastError.empty()) text += "\n" + tr("Last error: ") + QString::fromStdString(e.lastError);
  details_->setText(text);
}

void AddInsDialog::apply() {
  for (int i = 0; i < list_->count(); ++i) {
    const QListWidgetItem* item = list_->item(i);
    const std::string progId = item->data(Qt::UserRole).toString().toStdString();
    const bool wanted = item->checkState() == Qt::Checked;
    if (wanted && !manager_.isConnected(progId)) manager_.load(progId);
    if (!wanted && manager_.isConnected(progId)) manager_.unload(progId);
  }
}

} // namespace quorvel::office
