// Reading calendar texts: alarm records, triggers, time zones, recurrence
// and damaged files.
#include "office/calendar.h"

#include "calendarTestUtil.h"

#include <gtest/gtest.h>

using namespace quorvel::calendar;
using namespace quorvel::calendar::test;

namespace {

class CalendarRead : public ::testing::Test {
protected:
  void SetUp() override { useCentralEuropeanTime(); }
  std::vector<AlarmRecord> read(const std::string& text, std::vector<CalendarProblem>* problems = nullptr) {
    return readCalendarText(text, "cal.ics", utc(2000, 1, 1), utc(2010, 1, 1), problems);
  }
};

TEST_F(CalendarRead, EventAlarmBecomesAnAppointmentRecord) {
  auto alarms = read(calendar("BEGIN:VEVENT\r\nUID:review-1\r\nDTSTART:20040305T133000Z\r\n"
                              "DTEND:20040305T140000Z\r\nSUMMARY:Review\\, final\r\nLOCATION:Room 2\r\n"
                              "PRIORITY:1\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\n"
                              "END:VALARM\r\nEND:VEVENT\r\n"));
  ASSERT_EQ(alarms.size(), 1u);
  const AlarmRecord& a = alarms[0];
  EXPECT_EQ(a.kind, ItemKind::Appointment);
  EXPECT_EQ(a.due, utc(2004, 3, 5, 13, 15));
  EXPECT_EQ(a.reminderTime, (LocalTime{2004, 3, 5, 14, 15, 0, 5}));
  EXPECT_EQ(a.startLocal, (LocalTime{2004, 3, 5, 14, 30, 0, 5})); // a Friday
  EXPECT_EQ(a.endLocal.hour, 15);
  EXPECT_EQ(a.subject, "Review, final");
  EXPECT_EQ(a.conversationTopic, "Review, final");
  EXPECT_EQ(a.location, "Room 2");
  EXPECT_EQ(a.importance, kImportanceHigh);
  EXPECT_EQ(a.uid, "review-1");
  EXPECT_EQ(a.file, "cal.ics");
}

TEST_F(CalendarRead, PriorityGivesImportance) {
  const std::pair<int, int> cases[] = {{0, 1}, {1, 2}, {4, 2}, {5, 1}, {6, 0}, {9, 0}, {12, 1}};
  for (auto [priority, importance] : cases) EXPECT_EQ(importanceFromPriority(priority), importance) << priority;
  auto alarms = read(calendar("BEGIN:VEVENT\r\nUID:p\r\nDTSTART:20040305T133000Z\r\n"
                              "BEGIN:VALARM\r\nTRIGGER:PT0S\r\nEND:VALARM\r\nEND:VEVENT\r\n"));
  ASSERT_EQ(alarms.size(), 1u);
  EXPECT_EQ(alarms[0].importance, kImportanceNormal); // no PRIORITY
}

struct TriggerCase {
  const char* alarm;
  std::vector<int64_t> dues;
};

TEST_F(CalendarRead, TriggersResolveAgainstStartEndOrAbsolute) {
  const int64_t start = utc(2004, 3, 5, 13, 30), end = utc(2004, 3, 5, 14, 0);
  const TriggerCase cases[] = {
      {"TRIGGER:-PT15M", {start - 900}},
      {"TRIGGER;RELATED=END:-PT5M", {end - 300}},
      {"TRIGGER;RELATED=START:PT10M", {start + 600}},
      {"TRIGGER;VALUE=DATE-TIME:20040304T080000Z", {utc(2004, 3, 4, 8)}},
      {"TRIGGER:-PT10M\r\nREPEAT:2\r\nDURATION:PT5M", {start - 600, start - 300, start}},
  };
  for (const TriggerCase& c : cases) {
    auto alarms = read(calendar(std::string("BEGIN:VEVENT\r\nUID:t\r\nDTSTART:20040305T133000Z\r\n"
                                            "DURATION:PT30M\r\nBEGIN:VALARM\r\n") +
                                c.alarm + "\r\nEND:VALARM\r\nEND:VEVENT\r\n"));
    std::vector<int64_t> dues;
    for (const AlarmRecord& a : alarms) dues.push_back(a.due);
    EXPECT_EQ(dues, c.dues) << c.alarm;
  }
}

TEST_F(CalendarRead, TimeZonesAndFloatingTimes) {
  const std::string vtimezone =
      "BEGIN:VTIMEZONE\r\nTZID:Test/Eastern\r\nBEGIN:STANDARD\r\nDTSTART:19701101T020000\r\n"
      "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
      "END:STANDARD\r\nBEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\n"
      "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
      "END:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
  auto alarms = read(calendar(vtimezone +
                              "BEGIN:VEVENT\r\nUID:ny\r\nDTSTART;TZID=Test/Eastern:20040305T090000\r\n"
                              "BEGIN:VALARM\r\nTRIGGER:PT0S\r\nEND:VALARM\r\nEND:VEVENT\r\n"
                              "BEGIN:VEVENT\r\nUID:float\r\nDTSTART:20040705T090000\r\n"
                              "BEGIN:VALARM\r\nTRIGGER:PT0S\r\nEND:VALARM\r\nEND:VEVENT\r\n"));
  ASSERT_EQ(alarms.size(), 2u);
  EXPECT_EQ(alarms[0].due, utc(2004, 3, 5, 14, 0)); // 09:00 EST
  EXPECT_EQ(alarms[0].startLocal.hour, 15);          // 15:00 CET
  EXPECT_EQ(alarms[1].due, utc(2004, 7, 5, 7, 0));   // floating: 09:00 local summer time
  EXPECT_EQ(alarms[1].startLocal.hour, 9);
}

TEST_F(CalendarRead, TaskAlarmsAndSkippedItems) {
  auto alarms = read(calendar(
      "BEGIN:VTODO\r\nUID:call\r\nSUMMARY:Call back\r\nDUE:20040305T160000Z\r\nPRIORITY:7\r\n"
      "BEGIN:VALARM\r\nTRIGGER;RELATED=END:-PT1H\r\nEND:VALARM\r\nEND:VTODO\r\n"
      "BEGIN:VTODO\r\nUID:done\r\nSUMMARY:Done\r\nDUE:20040305T160000Z\r\nSTATUS:COMPLETED\r\n"
      "BEGIN:VALARM\r\nTRIGGER;RELATED=END:-PT1H\r\nEND:VALARM\r\nEND:VTODO\r\n"
      "BEGIN:VEVENT\r\nUID:off\r\nDTSTART:20040305T133000Z\r\nSTATUS:CANCELLED\r\n"
      "BEGIN:VALARM\r\nTRIGGER:PT0S\r\nEND:VALARM\r\nEND:VEVENT\r\n"
      "BEGIN:VEVENT\r\nUID:silent\r\nDTSTART:20040305T133000Z\r\nEND:VEVENT\r\n"));
  ASSERT_EQ(alarms.size(), 1u);
  EXPECT_EQ(alarms[0].kind, ItemKind::Task);
  EXPECT_EQ(alarms[0].subject, "Call back");
  EXPECT_EQ(alarms[0].due, utc(2004, 3, 5, 15, 0));
  EXPECT_EQ(alarms[0].reminderTime.hour, 16);
  EXPECT_EQ(alarms[0].importance, kImportanceLow);
}

TEST_F(CalendarRead, RecurrenceWithExceptionsAndMovedOccurrences) {
  auto alarms = read(calendar(
      "BEGIN:VEVENT\r\nUID:daily\r\nDTSTART:20040301T080000Z\r\nRRULE:FREQ=DAILY;COUNT=5\r\n"
      "EXDATE:20040303T080000Z\r\nSUMMARY:Standup\r\n"
      "BEGIN:VALARM\r\nTRIGGER:-PT10M\r\nEND:VALARM\r\nEND:VEVENT\r\n"
      "BEGIN:VEVENT\r\nUID:daily\r\nRECURRENCE-ID:20040304T080000Z\r\nDTSTART:20040304T100000Z\r\n"
      "SUMMARY:Standup (moved)\r\nBEGIN:VALARM\r\nTRIGGER:-PT10M\r\nEND:VALARM\r\nEND:VEVENT\r\n"));
  std::vector<int64_t> dues;
  for (const AlarmRecord& a : alarms) dues.push_back(a.due);
  EXPECT_EQ(dues, (std::vector<int64_t>{utc(2004, 3, 1, 7, 50), utc(2004, 3, 2, 7, 50),
                                        utc(2004, 3, 4, 9, 50), utc(2004, 3, 5, 7, 50)}));
  EXPECT_EQ(alarms[2].subject, "Standup (moved)");
  EXPECT_NE(alarms[0].key, alarms[1].key);

  // Only occurrences whose alarm falls in the window are given.
  auto window = readCalendarText(
      calendar("BEGIN:VEVENT\r\nUID:forever\r\nDTSTART:20040301T080000Z\r\nRRULE:FREQ=MINUTELY\r\n"
               "BEGIN:VALARM\r\nTRIGGER:PT0S\r\nEND:VALARM\r\nEND:VEVENT\r\n"),
      "f.ics", utc(2004, 3, 1, 9), utc(2004, 3, 1, 9, 2), nullptr);
  EXPECT_EQ(window.size(), 3u);
}

struct BadFile {
  std::string text;
  int line;
  std::string message; // a part of it
};

TEST_F(CalendarRead, DamagedFilesAreReportedWithTheirLine) {
  const BadFile cases[] = {
      {calendar("BEGIN:VEVENT\r\nUID:1\r\nDTSTART:2004xx05T143000\r\nEND:VEVENT\r\n"), 6, "DTSTART"},
      {calendar("BEGIN:VEVENT\r\nUID:1\r\nthis is no calendar line\r\nEND:VEVENT\r\n"), 6, "not a calendar line"},
      {calendar("BEGIN:VEVENT\r\nUID:1\r\n"), 4, "BEGIN:VEVENT is never ended"},
      {calendar("BEGIN:VEVENT\r\nEND:VTODO\r\n"), 5, "END:VTODO"},
      {"Subject: hello\r\n\r\nnot a calendar\r\n", 1, "BEGIN:VCALENDAR expected"},
      {"", 0, "empty"},
      {std::string("BEGIN:VCALENDAR\r\n\0\x01\xff", 20), 2, ""},
  };
  for (const BadFile& c : cases) {
    std::vector<CalendarProblem> problems;
    read(c.text, &problems);
    ASSERT_FALSE(problems.empty()) << c.message;
    EXPECT_EQ(problems[0].file, "cal.ics");
    EXPECT_EQ(problems[0].line, c.line) << problems[0].text();
    EXPECT_NE(problems[0].message.find(c.message), std::string::npos) << problems[0].text();
  }
  std::vector<CalendarProblem> none;
  read(calendar("BEGIN:VEVENT\r\nUID:1\r\nDTSTART:20040305T133000Z\r\nEND:VEVENT\r\n"), &none);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ((CalendarProblem{"a.ics", 3, "bad"}).text(), "a.ics:3: bad");
}

TEST_F(CalendarRead, AByteOrderMarkBeforeTheFirstLineIsNoProblem) {
  std::vector<CalendarProblem> problems;
  auto alarms = read("\xEF\xBB\xBF" + calendar("BEGIN:VEVENT\r\nUID:1\r\nDTSTART:20040305T133000Z\r\n"
                                                 "BEGIN:VALARM\r\nTRIGGER:PT0S\r\nEND:VALARM\r\nEND:VEVENT\r\n"),
                     &problems);
  EXPECT_TRUE(problems.empty()) << problems[0].text();
  EXPECT_EQ(alarms.size(), 1u);
}

TEST_F(CalendarRead, TheGoodPartOfADamagedFileIsStillUsed) {
  std::vector<CalendarProblem> problems;
  auto alarms = read(calendar("BEGIN:VEVENT\r\nUID:1\r\nDTSTART:20040305T133000Z\r\nX BROKEN\r\n"
                              "BEGIN:VALARM\r\nTRIGGER:PT0S\r\nEND:VALARM\r\nEND:VEVENT\r\n"),
                     &problems);
  EXPECT_EQ(problems.size(), 1u);
  EXPECT_EQ(alarms.size(), 1u);
}

} // namespace
