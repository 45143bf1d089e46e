// Message files and printing of the composer window, through Qt.
#include "composer/unSMSForm.h"

#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QTextEdit>

namespace quorvel {

bool TfrmSMSComposer::writeFileReplacing(const std::string& path, const std::string& bytes) {
  QSaveFile file(QString::fromStdString(path));
  return file.open(QIODevice::WriteOnly) &&
         file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
             static_cast<qint64>(bytes.size()) &&
         file.commit();
}

std::optional<std::string> TfrmSMSComposer::readWholeFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    return std::nullopt;
  return bytes.toStdString();
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
    showMessage(noPrinterText);
    return;
  }
  printer.setDocName(QString::fromStdString(printDocName()));
  re->print(&printer);
  if (printer.printerState() == QPrinter::Error)
    showMessage(printFailedText);
}

} // namespace quorvel
