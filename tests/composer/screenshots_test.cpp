// Renders each page of the composer at its design size into PNG files
// (build folder, or QUORVEL_SCREENSHOT_DIR when set, e.g. docs/).
#include "composerProbe.h"

#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>
#include <QTextEdit>

#include <cstdlib>

namespace quorvel {
namespace {

using ScreenshotTest = ComposerTest;

QString outputDir() {
  const QByteArray wanted = qgetenv("QUORVEL_SCREENSHOT_DIR");
  if (!wanted.isEmpty())
    return QString::fromLocal8Bit(wanted);
  return QString::fromLocal8Bit(qgetenv("QUORVEL_BINARY_DIR")) + "/screenshots";
}

TEST_F(ScreenshotTest, EveryPage) {
  ProbeForm form;
  showActive(form);
  form.eTo->setText("Anna Kovacs [+36201234567] ");
  form.eCC->setText("Peter Nagy [+36309876543] ; ");
  form.re->setPlainText("Meeting moved to 3 pm, room 2.\nPlease bring the printed plans.");
  form.credits = "25";
  form.updateStatus();
  form.setComlogText("2024-05-02 14:07:09\r\n"
                     "[REQUEST (http://127.0.0.1:9333/kavri)]\r\n"
                     "login=nobody&password=pqr456&action=getCredits&t=1714658829\r\n"
                     "[RESPONSE]\r\n<Answer><Data>25</Data></Answer>\r\n");
  ASSERT_TRUE(QDir().mkpath(outputDir()));
  const std::pair<QWidget*, const char*> pages[] = {
      {form.tsComposer, "composer.png"}, {form.tsSettings, "settings.png"},
      {form.tsComlog, "log.png"}};
  for (const auto& [page, file] : pages) {
    form.PageControl->setCurrentWidget(page);
    const QImage shot = form.grab().toImage();
    EXPECT_EQ(shot.size(), form.size() * form.devicePixelRatio());
    const QString target = outputDir() + "/" + file;
    EXPECT_TRUE(shot.save(target)) << target.toStdString();
  }
}

} // namespace
} // namespace quorvel
