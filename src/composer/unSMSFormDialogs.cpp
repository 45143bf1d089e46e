// The composer's dialogs, each behind one overridable method.
#include "composer/unSMSForm.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace quorvel {

namespace {

// "Description (*.ext)|*.ext|..." as the dialog's name filters.
QStringList nameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    const QString patterns = QString(parts[i + 1]).replace(';', ' ');
    filters << (description.contains('(') ? description : description + " (" + patterns + ")");
  }
  return filters;
}

std::string runFileDialog(QWidget* parent, const TFileDialogOptions& options, bool save) {
  QFileDialog dialog(parent, QString::fromStdString(options.title));
  dialog.setNameFilters(nameFilters(options.filter));
  QString suffix = QString::fromStdString(options.defaultExt);
  if (suffix.startsWith('.'))
    suffix.remove(0, 1);
  dialog.setDefaultSuffix(suffix);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().constFirst().toStdString();
}

} // namespace

void TfrmSMSComposer::showMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, windowTitle(), QString::fromStdString(text),
                  QMessageBox::Ok, this);
  box.exec();
}

MsgResult TfrmSMSComposer::messageBox(const std::string& text, const std::string& caption,
                                      MsgIcon icon, MsgButtons buttons) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  switch (icon) {
  case MsgIcon::none: boxIcon = QMessageBox::NoIcon; break;
  case MsgIcon::information: boxIcon = QMessageBox::Information; break;
  case MsgIcon::warning: boxIcon = QMessageBox::Warning; break;
  case MsgIcon::error: boxIcon = QMessageBox::Critical; break;
  case MsgIcon::question: boxIcon = QMessageBox::Question; break;
  }
  QMessageBox::StandardButtons standard = QMessageBox::Ok;
  if (buttons == MsgButtons::okCancel)
    standard = QMessageBox::Ok | QMessageBox::Cancel;
  else if (buttons == MsgButtons::yesNo)
    standard = QMessageBox::Yes | QMessageBox::No;
  QMessageBox box(boxIcon, QString::fromStdString(caption), QString::fromStdString(text),
                  standard, this);
  switch (box.exec()) {
  case QMessageBox::Cancel: return MsgResult::cancel;
  case QMessageBox::Yes: return MsgResult::yes;
  case QMessageBox::No: return MsgResult::no;
  default: return MsgResult::ok;
  }
}

std::string TfrmSMSComposer::saveFileDialog(const TFileDialogOptions& options) {
  return runFileDialog(this, options, true);
}

std::string TfrmSMSComposer::openFileDialog(const TFileDialogOptions& options) {
  return runFileDialog(this, options, false);
}

} // namespace quorvel
