// The reminders panel: a timer raises due reminders through the session, and
// each raised one is listed with its time, subject and place.
#include "office/reminderspanel.h"

#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvel::office {

namespace {

constexpr calendar::TimePoint kLongestWait = 30; // seconds: files are re-read as often

QString twoDigits(int n) { return QString::asprintf("%02d", n); }

QString localText(const calendar::LocalTime& t) {
  return QString::asprintf("%04d-%02d-%02d ", t.year, t.month, t.day) + twoDigits(t.hour) +
         ":" + twoDigits(t.minute);
}

} // namespace

RemindersPanel::RemindersPanel(HostSession& session, QWidget* parent)
    : QWidget(parent), session_(session), list_(new QListWidget(this)), timer_(new QTimer(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] { check(calendar::currentTime()); });
}

QString RemindersPanel::entryText(const calendar::AlarmRecord& alarm) {
  QString text = localText(alarm.kind == calendar::ItemKind::Task ? alarm.reminderTime
                                                                 : alarm.startLocal);
  text += alarm.kind == calendar::ItemKind::Task ? tr("  Task: ") : tr("  ");
  text += QString::fromStdString(alarm.subject);
  if (!alarm.location.empty()) text += " (" + QString::fromStdString(alarm.location) + ")";
  return text;
}

void RemindersPanel::start() { check(calendar::currentTime()); }

void RemindersPanel::check(calendar::TimePoint now) {
  for (const calendar::AlarmRecord& alarm : session_.raiseDueReminders(now))
    list_->insertItem(0, entryText(alarm));
  for (const std::string& problem : session_.takeProblems()) {
    auto* item = new QListWidgetItem(QString::fromStdString(problem));
    item->setForeground(Qt::darkRed);
    list_->insertItem(0, item);
  }
  arm(calendar::currentTime());
}

void RemindersPanel::arm(calendar::TimePoint now) {
  calendar::TimePoint wait = kLongestWait;
  if (std::optional<calendar::TimePoint> next = session_.nextReminder(now))
    wait = std::clamp<calendar::TimePoint>(*next - now, 1, kLongestWait);
  timer_->start(std::chrono::seconds(wait));
}

} // namespace quorvel::office
