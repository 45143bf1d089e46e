// Test support: the application object, the probe window and the sandbox.
#include "composerProbe.h"

#include "composer/unGetCreditThread.h"
#include "composer/unSMSSettings.h"
#include "util/unRegistry.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QTest>

#include <chrono>
#include <memory>

namespace quorvel {

namespace {

// One application object for the whole test program, as the host owns one.
class QtApplicationEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "composer_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override {
    // Showing a window starts a background credit query; none may outlive
    // the application object.
    TGetCreditThread::waitForAll(std::chrono::seconds(60));
    app_.reset();
  }

private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

} // namespace

bool ProbeForm::preparePrinter(QPrinter& printer) {
  if (pdfPath.empty())
    return TfrmSMSComposer::preparePrinter(printer);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdfPath));
  return true;
}

void ComposerTest::SetUp() {
  ASSERT_TRUE(configHome.isValid());
  savedConfigHome_ = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
  if (keepDefaultServer)
    return;
  // Held for the whole test: connecting to it is refused at once.
  closedServer_ = std::make_unique<testing::IdlePort>(testing::IdlePort::refusing);
  kaSaveToreg(regroot, regServerURL,
              "http://127.0.0.1:" + std::to_string(closedServer_->port()));
}

void ComposerTest::TearDown() {
  qputenv("XDG_CONFIG_HOME", savedConfigHome_);
  closedServer_.reset();
}

void ComposerTest::showActive(QWidget& form) {
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}

std::string readFileBytes(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll().toStdString();
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

} // namespace quorvel
