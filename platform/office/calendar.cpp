// Calendar texts read with libical: items with alarms become alarm records,
// recurring items one per occurrence; damaged parts are reported and skipped.
#include "office/calendar.h"

#include <libical/ical.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>

namespace quorvel::calendar {

LocalTime toLocalTime(TimePoint t) {
  std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_wday};
}

TimePoint currentTime() { return static_cast<TimePoint>(std::time(nullptr)); }

int importanceFromPriority(int priority) {
  if (priority >= 1 && priority <= 4) return kImportanceHigh;
  if (priority >= 6 && priority <= 9) return kImportanceLow;
  return kImportanceNormal;
}

std::string CalendarProblem::text() const {
  return file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message;
}

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// A recurring item stops being expanded after this many occurrences, so a
// rule such as FREQ=SECONDLY cannot stall the program.
constexpr int kMaxOccurrences = 50000;

struct ComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

// ---- Structure check with line numbers -------------------------------------

struct ContentLine {
  int line; // physical line where it starts
  std::string text;
};

std::vector<ContentLine> unfold(const std::string& text) {
  std::vector<ContentLine> lines;
  int number = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    std::string raw = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    pos = eol == std::string::npos ? text.size() : eol + 1;
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (!raw.empty() && (raw[0] == ' ' || raw[0] == '\t') && !lines.empty())
      lines.back().text += raw.substr(1);
    else if (!raw.empty())
      lines.push_back({number, raw});
  }
  return lines;
}

bool isNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

// The first place where the text is not a well-formed calendar.
bool checkStructure(const std::vector<ContentLine>& lines, CalendarProblem& problem) {
  std::vector<std::pair<std::string, int>> open; // component, line
  for (size_t i = 0; i < lines.size(); ++i) {
    const ContentLine& l = lines[i];
    size_t nameEnd = 0;
    while (nameEnd < l.text.size() && isNameChar(l.text[nameEnd])) ++nameEnd;
    if (nameEnd == 0 || nameEnd == l.text.size() || (l.text[nameEnd] != ':' && l.text[nameEnd] != ';') ||
        l.text.find(':', nameEnd) == std::string::npos) {
      problem = {"", l.line, "not a calendar line: " + l.text.substr(0, 60)};
      return false;
    }
    const std::string name = upper(l.text.substr(0, nameEnd));
    const std::string value = upper(l.text.substr(l.text.find(':', nameEnd) + 1));
    if (i == 0 && !(name == "BEGIN" && value == "VCALENDAR")) {
      problem = {"", l.line, "not a calendar file (BEGIN:VCALENDAR expected)"};
      return false;
    }
    if (name == "BEGIN") {
      open.emplace_back(value, l.line);
    } else if (name == "END") {
      if (!open.empty() && open.back().first == value) {
        open.pop_back();
        continue;
      }
      bool closesOuter = std::any_of(open.begin(), open.end(), [&](auto& o) { return o.first == value; });
      if (closesOuter) // the innermost component was left open
        problem = {"", open.back().second, "BEGIN:" + open.back().first + " is never ended"};
      else
        problem = {"", l.line, "END:" + value + " without BEGIN:" + value};
      return false;
    }
  }
  if (lines.empty()) {
    problem = {"", 0, "empty calendar file"};
    return false;
  }
  if (!open.empty()) {
    problem = {"", open.back().second, "BEGIN:" + open.back().first + " is never ended"};
    return false;
  }
  return true;
}

// libical ends its error texts with the offending value or line.
int lineOfError(const std::vector<ContentLine>& lines, const std::string& message) {
  size_t colon = message.rfind(": ");
  std::string tail = colon == std::string::npos ? message : message.substr(colon + 2);
  for (const ContentLine& l : lines) {
    if (l.text == tail) return l.line;
    size_t sep = l.text.find(':');
    size_t nameEnd = l.text.find_first_of(";:");
    if (sep != std::string::npos && l.text.substr(sep + 1) == tail &&
        message.find(" " + upper(l.text.substr(0, nameEnd)) + " ") != std::string::npos)
      return l.line;
  }
  return 0;
}

void collectLibicalErrors(icalcomponent* c, std::vector<std::string>& out) {
  for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY); p;
       p = icalcomponent_get_next_property(c, ICAL_XLICERROR_PROPERTY))
    out.emplace_back(icalproperty_get_xlicerror(p) ? icalproperty_get_xlicerror(p) : "");
  for (icalcomponent* k = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); k;
       k = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
    collectLibicalErrors(k, out);
}

// ---- Times -----------------------------------------------------------------

// Resolves TZID against the system's zone data when the file lacks the
// VTIMEZONE for it.
icaltimetype timeOf(icalcomponent* comp, icalproperty_kind kind) {
  icalproperty* p = icalcomponent_get_first_property(comp, kind);
  if (!p) return icaltime_null_time();
  icaltimetype t = icalproperty_get_datetime_with_component(p, comp);
  if (!t.zone && !t.is_date) {
    if (icalparameter* tz = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER))
      if (const char* id = icalparameter_get_tzid(tz)) t.zone = icaltimezone_get_builtin_timezone(id);
  }
  return t;
}

// Dates and floating times are local wall-clock times.
TimePoint toTimePoint(icaltimetype t) {
  if (t.is_date || !t.zone) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    if (!t.is_date) {
      tm.tm_hour = t.hour;
      tm.tm_min = t.minute;
      tm.tm_sec = t.second;
    }
    tm.tm_isdst = -1;
    return static_cast<TimePoint>(std::mktime(&tm));
  }
  // icaltime_as_timet_with_zone ignores a zone from the file's VTIMEZONE;
  // converting first does not.
  icaltimetype u = icaltime_convert_to_zone(t, icaltimezone_get_utc_timezone());
  return static_cast<TimePoint>(icaltime_as_timet(u));
}

// ---- Items -----------------------------------------------------------------

struct Alarm {
  bool absolute = false;
  TimePoint at = 0;          // absolute trigger
  int64_t offset = 0;        // relative trigger, seconds
  bool relatedEnd = false;
  int repeat = 0;
  int64_t repeatEvery = 0;
};

std::vector<Alarm> alarmsOf(icalcomponent* item) {
  std::vector<Alarm> alarms;
  for (icalcomponent* a = icalcomponent_get_first_component(item, ICAL_VALARM_COMPONENT); a;
       a = icalcomponent_get_next_component(item, ICAL_VALARM_COMPONENT)) {
    icalproperty* trigger = icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY);
    if (!trigger) continue;
    icaltriggertype t = icalproperty_get_trigger(trigger);
    Alarm alarm;
    if (!icaltime_is_null_time(t.time)) {
      alarm.absolute = true;
      alarm.at = toTimePoint(t.time);
    } else {
      alarm.offset = icaldurationtype_as_int(t.duration);
      if (icalparameter* rel = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER))
        alarm.relatedEnd = icalparameter_get_related(rel) == ICAL_RELATED_END;
    }
    icalproperty* repeat = icalcomponent_get_first_property(a, ICAL_REPEAT_PROPERTY);
    icalproperty* every = icalcomponent_get_first_property(a, ICAL_DURATION_PROPERTY);
    if (repeat && every) {
      alarm.repeat = std::clamp(icalproperty_get_repeat(repeat), 0, 100);
      alarm.repeatEvery = icaldurationtype_as_int(icalproperty_get_duration(every));
      if (alarm.repeatEvery <= 0) alarm.repeat = 0;
    }
    alarms.push_back(alarm);
  }
  return alarms;
}

std::string textOf(icalcomponent* item, icalproperty_kind kind) {
  icalproperty* p = icalcomponent_get_first_property(item, kind);
  const char* s = p ? icalproperty_get_value_as_string(p) : nullptr;
  if (!s) return {};
  // Text values come escaped as in the file ("\," "\;" "\n").
  std::string out;
  for (const char* c = s; *c; ++c) {
    if (*c == '\\' && c[1]) {
      ++c;
      out += (*c == 'n' || *c == 'N') ? '\n' : *c;
    } else {
      out += *c;
    }
  }
  return out;
}

struct Occurrence {
  TimePoint start;
  TimePoint end;
  std::string id; // RECURRENCE-ID of the occurrence, "" for a single item
};

struct Reader {
  std::string file;
  TimePoint from, to;
  std::vector<AlarmRecord> out;
  std::set<std::pair<std::string, TimePoint>> replaced; // (uid, recurrence start)

  void item(icalcomponent* item) {
    const bool task = icalcomponent_isa(item) == ICAL_VTODO_COMPONENT;
    icalproperty_status status = icalcomponent_get_status(item);
    if (status == ICAL_STATUS_CANCELLED || status == ICAL_STATUS_COMPLETED) return;
    if (task && icalcomponent_get_first_property(item, ICAL_COMPLETED_PROPERTY)) return;
    std::vector<Alarm> alarms = alarmsOf(item);
    if (alarms.empty()) return;

    icaltimetype dtstart = timeOf(item, ICAL_DTSTART_PROPERTY);
    icaltimetype dtend = timeOf(item, task ? ICAL_DUE_PROPERTY : ICAL_DTEND_PROPERTY);
    const bool hasStart = !icaltime_is_null_time(dtstart);
    const bool hasEnd = !icaltime_is_null_time(dtend);
    if (!hasStart && !(task && hasEnd)) return; // nothing to relate the alarm to
    // A task without a start relates its alarms to its due time.
    TimePoint start = toTimePoint(hasStart ? dtstart : dtend);
    TimePoint end = start;
    if (hasEnd) {
      end = toTimePoint(dtend);
    } else if (!task) {
      icalproperty* d = icalcomponent_get_first_property(item, ICAL_DURATION_PROPERTY);
      if (d) end = start + icaldurationtype_as_int(icalproperty_get_duration(d));
      else if (dtstart.is_date) end = start + 86400;
    }
    const int64_t length = std::max<int64_t>(end - start, 0);

    const char* uid = icalcomponent_get_uid(item);
    AlarmRecord base;
    base.kind = task ? ItemKind::Task : ItemKind::Appointment;
    base.subject = base.conversationTopic = textOf(item, ICAL_SUMMARY_PROPERTY);
    if (!task) base.location = textOf(item, ICAL_LOCATION_PROPERTY);
    icalproperty* priority = icalcomponent_get_first_property(item, ICAL_PRIORITY_PROPERTY);
    base.importance = importanceFromPriority(priority ? icalproperty_get_priority(priority) : 0);
    base.allDay = hasStart && dtstart.is_date;
    base.uid = uid ? uid : "";
    base.file = file;
    const std::string identity =
        uid && *uid ? std::string(uid) : file + "|" + base.subject + "|" + std::to_string(start);

    std::vector<Occurrence> occurrences;
    icalproperty* recurrenceId = icalcomponent_get_first_property(item, ICAL_RECURRENCEID_PROPERTY);
    if (recurrenceId) {
      TimePoint replacedStart = toTimePoint(timeOf(item, ICAL_RECURRENCEID_PROPERTY));
      occurrences.push_back({start, start + length, std::to_string(replacedStart)});
    } else {
      occurrences = expand(item, hasStart ? dtstart : dtend, start, length, alarms, base.uid);
    }

    for (const Occurrence& o : occurrences) {
      for (size_t n = 0; n < alarms.size(); ++n) {
        const Alarm& a = alarms[n];
        if (a.absolute && !o.id.empty() && !recurrenceId && o.start != start) continue; // once only
        TimePoint first = a.absolute ? a.at : (a.relatedEnd ? o.end : o.start) + a.offset;
        for (int k = 0; k <= a.repeat; ++k) {
          TimePoint due = first + k * a.repeatEvery;
          if (due < from || due > to) continue;
          AlarmRecord r = base;
          r.key = identity + "|" + o.id + "|" + std::to_string(n) + "|" + std::to_string(due);
          r.due = due;
          r.reminderTime = toLocalTime(due);
          r.start = task && !hasStart && !hasEnd ? due : o.start;
          r.end = task && !hasEnd ? r.start : o.end;
          r.startLocal = toLocalTime(r.start);
          r.endLocal = toLocalTime(r.end);
          out.push_back(std::move(r));
        }
      }
    }
  }

  // The occurrences of a possibly recurring item, stopping once even the
  // earliest alarm of an occurrence would come after `to`.
  std::vector<Occurrence> expand(icalcomponent* item, icaltimetype dtstart, TimePoint start,
                                 int64_t length, const std::vector<Alarm>& alarms,
                                 const std::string& uid) {
    icalproperty* rrule = icalcomponent_get_first_property(item, ICAL_RRULE_PROPERTY);
    icalproperty* rdate = icalcomponent_get_first_property(item, ICAL_RDATE_PROPERTY);
    if (!rrule && !rdate) return {{start, start + length, ""}};

    int64_t lead = 0; // how far before its start an occurrence's alarm can be
    for (const Alarm& a : alarms)
      if (!a.absolute) lead = std::min(lead, a.offset + (a.relatedEnd ? length : 0));
    std::set<TimePoint> starts{start};
    if (rrule) {
      icalrecurrencetype rule = icalproperty_get_rrule(rrule);
      icalrecur_iterator* it = icalrecur_iterator_new(rule, dtstart);
      for (int n = 0; it && n < kMaxOccurrences; ++n) {
        icaltimetype t = icalrecur_iterator_next(it);
        if (icaltime_is_null_time(t)) break;
        t.zone = dtstart.zone;
        TimePoint s = toTimePoint(t);
        if (s + lead > to) break;
        starts.insert(s);
      }
      if (it) icalrecur_iterator_free(it);
    }
    for (icalproperty* p = rdate; p; p = icalcomponent_get_next_property(item, ICAL_RDATE_PROPERTY)) {
      icaldatetimeperiodtype d = icalproperty_get_rdate(p);
      icaltimetype t = icaltime_is_null_time(d.time) ? d.period.start : d.time;
      if (icaltime_is_null_time(t)) continue;
      if (!t.zone && !t.is_date) t.zone = dtstart.zone;
      starts.insert(toTimePoint(t));
    }
    for (icalproperty* p = icalcomponent_get_first_property(item, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(item, ICAL_EXDATE_PROPERTY)) {
      icaltimetype t = icalproperty_get_datetime_with_component(p, item);
      if (!t.zone && !t.is_date) t.zone = dtstart.zone;
      if (t.is_date) { // the whole day
        TimePoint day = toTimePoint(t);
        for (auto s = starts.lower_bound(day); s != starts.end() && *s < day + 86400;) s = starts.erase(s);
      } else {
        starts.erase(toTimePoint(t));
      }
    }
    std::vector<Occurrence> result;
    for (TimePoint s : starts)
      if (!replaced.count({uid, s})) result.push_back({s, s + length, std::to_string(s)});
    return result;
  }
};

void collectItems(icalcomponent* c, std::vector<icalcomponent*>& items) {
  icalcomponent_kind kind = icalcomponent_isa(c);
  if (kind == ICAL_VEVENT_COMPONENT || kind == ICAL_VTODO_COMPONENT) {
    items.push_back(c);
    return;
  }
  for (icalcomponent* k = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); k;
       k = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
    collectItems(k, items);
}

} // namespace

std::vector<AlarmRecord> readCalendarText(const std::string& fileText, const std::string& fileName,
                                          TimePoint from, TimePoint to,
                                          std::vector<CalendarProblem>* problems) {
  // Windows tools start their UTF-8 files with a byte-order mark; it belongs
  // to no line.
  const std::string text = fileText.starts_with(kUtf8Bom) ? fileText.substr(sizeof kUtf8Bom - 1) : fileText;
  static std::once_flag once;
  std::call_once(once, [] { icalerror_set_errors_are_fatal(0); });
  auto report = [&](int line, const std::string& message) {
    if (problems) problems->push_back({fileName, line, message});
  };

  const std::vector<ContentLine> lines = unfold(text);
  CalendarProblem structural;
  const bool wellFormed = checkStructure(lines, structural);
  if (!wellFormed) report(structural.line, structural.message);
  if (text.find('\0') != std::string::npos) return {};

  ComponentPtr root(icalparser_parse_string(text.c_str()));
  icalerror_clear_errno();
  if (!root) {
    if (wellFormed) report(0, "no calendar data could be read");
    return {};
  }
  if (wellFormed) {
    std::vector<std::string> errors;
    collectLibicalErrors(root.get(), errors);
    if (!errors.empty()) report(lineOfError(lines, errors.front()), errors.front());
  }

  std::vector<icalcomponent*> items;
  collectItems(root.get(), items);
  Reader reader{fileName, from, to, {}, {}};
  for (icalcomponent* item : items)
    if (icalcomponent_get_first_property(item, ICAL_RECURRENCEID_PROPERTY)) {
      const char* uid = icalcomponent_get_uid(item);
      reader.replaced.insert({uid ? uid : "", toTimePoint(timeOf(item, ICAL_RECURRENCEID_PROPERTY))});
    }
  for (icalcomponent* item : items) reader.item(item);
  std::stable_sort(reader.out.begin(), reader.out.end(),
                   [](const AlarmRecord& a, const AlarmRecord& b) { return a.due < b.due; });
  return std::move(reader.out);
}

} // namespace quorvel::calendar
