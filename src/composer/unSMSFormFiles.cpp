// Message files and printing of the composer window.
#include "composer/unSMSForm.h"

#include "composer/unMsgFile.h"
#include "composer/unTranslate.h"

#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QTextEdit>

namespace quorvel {

namespace {

TFileDialogOptions msgFileDialog(const std::string& title) {
  return {translate(title), "Message file (*.msg)|*.msg", ".msg"};
}

} // namespace

void TfrmSMSComposer::saveMessage() {
  const std::string path = saveFileDialog(msgFileDialog("Save Message File"));
  if (path.empty())
    return;
  const std::string bytes = encodeMsgFile(
      {eTo->text().toStdString(), eCC->text().toStdString(), re->toPlainText().toStdString()});
  // Written beside the target and renamed over it, so a failed write never
  // leaves a damaged file behind.
  QSaveFile file(QString::fromStdString(path));
  const bool ok = file.open(QIODevice::WriteOnly) &&
                  file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                      static_cast<qint64>(bytes.size()) &&
                  file.commit();
  if (!ok)
    showMessage(translate("Could not save file"));
}

void TfrmSMSComposer::openMessage() {
  const std::string path = openFileDialog(msgFileDialog("Select Message File"));
  if (path.empty())
    return;
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    showMessage(translate("Could not open file"));
    return;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    showMessage(translate("Could not open file"));
    return;
  }
  const auto content = decodeMsgFile(bytes.toStdString());
  if (!content)
    return;
  eTo->setText(QString::fromStdString(content->to));
  eCC->setText(QString::fromStdString(content->cc));
  re->setPlainText(QString::fromStdString(content->text));
}

bool TfrmSMSComposer::preparePrinter(QPrinter& printer) {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull())
    return false;
  printer.setPrinterName(info.printerName());
  return true;
}

void TfrmSMSComposer::printMessage() {
  QPrinter printer(QPrinter::HighResolution);
  if (!preparePrinter(printer)) {
    showMessage("No printer is installed, so the message cannot be printed.");
    return;
  }
  printer.setDocName(QString::fromStdString("SMS Message " + eTo->text().toStdString()));
  re->print(&printer);
  if (printer.printerState() == QPrinter::Error)
    showMessage("The message could not be printed.");
}

} // namespace quorvel
