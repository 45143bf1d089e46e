// The reminder schedule: due alarms, memory across runs, changed files.
#include "office/reminderschedule.h"

#include "calendarTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quorvel::calendar;
using namespace quorvel::calendar::test;
namespace fs = std::filesystem;

namespace {

std::string alarm(const std::string& trigger) {
  return "BEGIN:VALARM\r\nTRIGGER:" + trigger + "\r\nEND:VALARM\r\n";
}

std::string event(const std::string& uid, const std::string& start, const std::string& trigger = "-PT15M") {
  return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTART:" + start + "\r\nSUMMARY:" + uid + "\r\n" +
         alarm(trigger) + "END:VEVENT\r\n";
}

std::string task(const std::string& uid, const std::string& start, const std::string& due,
                 const std::string& trigger) {
  return "BEGIN:VTODO\r\nUID:" + uid + "\r\nDTSTART:" + start + "\r\nDUE:" + due + "\r\nSUMMARY:" + uid +
         "\r\n" + alarm(trigger) + "END:VTODO\r\n";
}

class Schedule : public ::testing::Test {
protected:
  void SetUp() override {
    useCentralEuropeanTime();
    dir = fs::temp_directory_path() / ("quorvel-cal-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "calendar");
    config = {(dir / "calendar").string(), {}, (dir / "reminders.state").string()};
  }
  void TearDown() override { fs::remove_all(dir); }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir / "calendar" / name, std::ios::binary) << text;
  }
  std::vector<std::string> dueSubjects(ReminderSchedule& s, int64_t now) {
    std::vector<std::string> out;
    for (const AlarmRecord& a : s.dueAlarms(now)) out.push_back(a.subject);
    return out;
  }

  fs::path dir;
  ScheduleConfig config;
  const int64_t t0 = utc(2004, 3, 1, 8); // when the schedule first runs
};

TEST_F(Schedule, RaisesEachAlarmOnceAlsoAcrossRuns) {
  write("work.ics", calendar(event("review", "20040305T133000Z") + event("lunch", "20040305T110000Z")));
  {
    ReminderSchedule s(config);
    EXPECT_TRUE(dueSubjects(s, t0).empty());
    EXPECT_EQ(s.nextDue(utc(2004, 3, 5, 8)), utc(2004, 3, 5, 10, 45));
    auto due = s.dueAlarms(utc(2004, 3, 5, 10, 45));
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].subject, "lunch");
    std::string error;
    EXPECT_TRUE(s.markRaised(due[0], &error)) << error;
    EXPECT_TRUE(dueSubjects(s, utc(2004, 3, 5, 11)).empty());
  }
  EXPECT_FALSE(fs::exists(config.stateFile + ".tmp"));
  // The program was closed while "review" fell due: the next start raises it, once.
  ReminderSchedule next(config);
  EXPECT_EQ(dueSubjects(next, utc(2004, 3, 6, 9)), std::vector<std::string>{"review"});
  next.markRaised(next.dueAlarms(utc(2004, 3, 6, 9))[0]);
  ReminderSchedule third(config);
  EXPECT_TRUE(dueSubjects(third, utc(2004, 3, 6, 10)).empty());
}

TEST_F(Schedule, ThePastOfStartedItemsBeforeTheFirstRunOrBeforeAFileAppearedIsNotRaised) {
  write("old.ics", calendar(event("old", "20040220T100000Z")));
  ReminderSchedule s(config);
  EXPECT_TRUE(dueSubjects(s, t0).empty());
  // A file dropped in later with alarms already past, and one still to come.
  write("import.ics", calendar(event("imported-past", "20040302T100000Z") + event("imported-next", "20040304T100000Z")));
  EXPECT_TRUE(dueSubjects(s, utc(2004, 3, 3)).empty());
  EXPECT_EQ(dueSubjects(s, utc(2004, 3, 4, 10)), std::vector<std::string>{"imported-next"});
}

TEST_F(Schedule, AnAlarmMissedBeforeAFileAppearedIsRaisedOnceWhileItsItemIsAhead) {
  ReminderSchedule s(config);
  s.refresh(t0);
  // Added at 9:00, 30 minutes before a meeting whose alarm was at 8:45.
  const int64_t added = utc(2004, 3, 5, 9);
  write("new.ics", calendar(event("meeting", "20040305T093000Z", "-PT45M") +
                            event("begun", "20040305T085000Z") +
                            task("open-task", "20040304T090000Z", "20040306T090000Z", "PT0S") +
                            task("late-task", "20040304T090000Z", "20040305T080000Z", "-PT2H")));
  auto due = s.dueAlarms(added);
  std::vector<std::string> subjects;
  for (const AlarmRecord& a : due) {
    subjects.push_back(a.subject);
    s.markRaised(a);
  }
  EXPECT_EQ(subjects, (std::vector<std::string>{"open-task", "meeting"}));
  EXPECT_TRUE(dueSubjects(s, added + 60).empty());
  ReminderSchedule next(config);
  EXPECT_TRUE(dueSubjects(next, added + 120).empty());
}

TEST_F(Schedule, ChangedFilesAreReadAgain) {
  write("work.ics", calendar(event("first", "20040305T133000Z")));
  ReminderSchedule s(config);
  s.refresh(t0);
  write("work.ics", calendar(event("first", "20040305T133000Z") + event("second", "20040305T140000Z")));
  EXPECT_EQ(dueSubjects(s, utc(2004, 3, 5, 14)), (std::vector<std::string>{"first", "second"}));
  fs::remove(dir / "calendar" / "work.ics");
  EXPECT_TRUE(dueSubjects(s, utc(2004, 3, 5, 14)).empty());
  EXPECT_TRUE(s.files().empty());
}

TEST_F(Schedule, ProblemsAreReportedOnceAndExtraFilesRead) {
  write("bad.ics", calendar("BEGIN:VEVENT\r\nUID:1\r\n"));
  std::ofstream(dir / "extra.ics") << calendar(event("extra", "20040305T133000Z"));
  config.extraFiles = {(dir / "extra.ics").string(), (dir / "missing.ics").string()};
  ReminderSchedule s(config);
  s.refresh(t0);
  auto problems = s.takeNewProblems();
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].file, (dir / "missing.ics").string());
  EXPECT_EQ(problems[1].text(), (dir / "calendar" / "bad.ics").string() + ":4: BEGIN:VEVENT is never ended");
  EXPECT_TRUE(s.takeNewProblems().empty());
  EXPECT_EQ(s.problems().size(), 2u);
  EXPECT_EQ(dueSubjects(s, utc(2004, 3, 5, 14)), std::vector<std::string>{"extra"});
}

TEST_F(Schedule, ADamagedMemoryRaisesNothingOld) {
  write("work.ics", calendar(event("review", "20040305T133000Z")));
  std::ofstream(config.stateFile) << "garbage\n";
  ReminderSchedule s(config);
  EXPECT_TRUE(dueSubjects(s, utc(2004, 3, 6)).empty());
  EXPECT_EQ(s.takeNewProblems().size(), 1u);
}

} // namespace
