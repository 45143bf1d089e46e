// Renders the host with the add-in's "KAVRI SMS" toolbar, a raised reminder
// and the composer opened from the toolbar into host.png (build folder, or
// QUORVEL_SCREENSHOT_DIR when set, e.g. docs/).
#include "addinHostFixture.h"

#include "office/reminderspanel.h"

#include <QDir>
#include <QImage>
#include <QPainter>

using namespace quorvel::officetest;

namespace {

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QString outputDir() {
  const QByteArray wanted = qgetenv("QUORVEL_SCREENSHOT_DIR");
  if (!wanted.isEmpty()) return QString::fromLocal8Bit(wanted);
  return QString::fromLocal8Bit(qgetenv("QUORVEL_BINARY_DIR")) + "/screenshots";
}

TEST_F(AddInHostTest, HostWithToolbarReminderAndComposer) {
  // No reminder is texted here: the notification setting says never.
  setting("cbEventSel", "Never");
  const int64_t now = quorvel::calendar::currentTime();
  writeCalendar(now);
  HostSession session(options, &clipboard);
  HostWindow window(session);
  window.resize(860, 520);
  window.show();
  window.startAddIns();
  window.remindersPanel()->check(now);
  window.remindersPanel()->check(now + 3700);
  settle();
  auto* toolbar = window.findChild<QToolBar*>("KAVRI SMS");
  ASSERT_TRUE(toolbar);
  findAction(toolbar->actions(), "SMS")->trigger();
  settle();
  QWidget* composer = otherWindow(&window);
  ASSERT_TRUE(composer);

  const QImage host = window.grab().toImage();
  const QImage form = composer->grab().toImage();
  const QPoint at(window.width() / 3, 90);
  QImage shot(std::max(host.width(), at.x() + form.width()) + 20,
              std::max(host.height(), at.y() + form.height()) + 20, QImage::Format_RGB32);
  shot.fill(QColor(0x5a, 0x6e, 0x7f));
  QPainter painter(&shot);
  painter.drawImage(QPoint(0, 0), host);
  painter.drawImage(at, form);
  painter.end();
  ASSERT_TRUE(QDir().mkpath(outputDir()));
  const QString target = outputDir() + "/host.png";
  EXPECT_TRUE(shot.save(target)) << target.toStdString();

  window.close();
  settle();
}

} // namespace
