// The reminder schedule: calendar files kept up to date, alarms of a window
// around "now", and the memory of raised alarms in a small text file.
#include "office/reminderschedule.h"

#include "office/calendarfiles.h"

#include <algorithm>
#include <sstream>

namespace quorvel::calendar {

namespace {

// Alarms more than this overdue are not raised any more.
constexpr TimePoint kStale = 366 * 86400;
// How far ahead alarms are worked out; the window moves on when half used.
constexpr TimePoint kAhead = 86400;

constexpr char kStateHeader[] = "quorvel-reminders 1";

// Keys and paths are written with blanks, line breaks and "%" escaped.
std::string escape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '%' || c == ' ' || c == '\n' || c == '\r' || c == '\t') {
      static const char hex[] = "0123456789ABCDEF";
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += char(c);
    }
  }
  return out;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    int hi = i + 2 < s.size() ? hexValue(s[i + 1]) : -1;
    int lo = i + 2 < s.size() ? hexValue(s[i + 2]) : -1;
    if (s[i] == '%' && hi >= 0 && lo >= 0) {
      out += char(hi * 16 + lo);
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// An alarm missed before its file was watched still matters while its item
// lies ahead, as an overdue reminder: a meeting not begun, a task not due.
bool stillAhead(const AlarmRecord& alarm, TimePoint now) {
  return (alarm.kind == ItemKind::Task ? alarm.end : alarm.start) > now;
}

} // namespace

ScheduleConfig defaultScheduleConfig() {
  const std::string base = detail::dataHome() + "/quorvel";
  return {base + "/calendar", {}, base + "/reminders.state"};
}

ReminderSchedule::ReminderSchedule(ScheduleConfig config) : config_(std::move(config)) { loadState(); }

void ReminderSchedule::loadState() {
  std::string text;
  if (!detail::readWholeFile(config_.stateFile, &text, nullptr)) return; // first run
  std::istringstream in(text);
  std::string line;
  bool valid = std::getline(in, line) && line == kStateHeader;
  while (valid && std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind, value;
    long long number = 0;
    if (!(fields >> kind >> number)) {
      valid = false;
    } else if (kind == "since") {
      since_ = number;
    } else if ((kind == "seen" || kind == "raised") && (fields >> value)) {
      (kind == "seen" ? firstSeen_ : raised_)[unescape(value)] = number;
    } else {
      valid = false;
    }
  }
  // A damaged memory must not let the past ring again: start afresh from
  // the first refresh.
  if (!valid) {
    since_ = -1;
    firstSeen_.clear();
    raised_.clear();
    notices_.push_back({config_.stateFile, 0, "damaged reminder memory; earlier alarms are not raised again"});
  }
}

bool ReminderSchedule::saveState(std::string* error) {
  // Memory of alarms too old to be raised again is dropped.
  for (auto it = raised_.begin(); it != raised_.end();)
    it = it->second < lastNow_ - kStale ? raised_.erase(it) : std::next(it);
  std::ostringstream out;
  out << kStateHeader << "\n" << "since " << since_ << "\n";
  for (const auto& [path, when] : firstSeen_) out << "seen " << when << " " << escape(path) << "\n";
  for (const auto& [key, due] : raised_) out << "raised " << due << " " << escape(key) << "\n";
  return detail::replaceFile(config_.stateFile, out.str(), error);
}

void ReminderSchedule::readFile(const std::string& path, FileState& state) {
  std::string why;
  state.readError.clear();
  if (!detail::readWholeFile(path, &state.text, &why)) {
    state.text.clear();
    state.readError = "cannot read the file: " + why;
  }
  windowTo_ = -1; // work the alarms out again
}

void ReminderSchedule::refresh(TimePoint now) {
  lastNow_ = std::max(lastNow_, now);
  bool stateChanged = false;
  if (since_ < 0) {
    since_ = now;
    stateChanged = true;
  }

  std::vector<std::string> paths = detail::icsFilesIn(config_.folder);
  std::vector<CalendarProblem> missing;
  for (const std::string& extra : config_.extraFiles) {
    int64_t m, s;
    if (!detail::fileStamp(extra, &m, &s)) missing.push_back({extra, 0, "calendar file not found"});
    else if (std::find(paths.begin(), paths.end(), extra) == paths.end()) paths.push_back(extra);
  }
  missing_ = std::move(missing);

  for (auto it = files_.begin(); it != files_.end();) {
    if (std::find(paths.begin(), paths.end(), it->first) == paths.end()) {
      firstSeen_.erase(it->first);
      stateChanged = true;
      windowTo_ = -1;
      it = files_.erase(it);
    } else {
      ++it;
    }
  }
  for (const std::string& path : paths) {
    int64_t mtime = 0, size = 0;
    if (!detail::fileStamp(path, &mtime, &size)) continue;
    if (!firstSeen_.count(path)) {
      firstSeen_[path] = now;
      stateChanged = true;
    }
    FileState& state = files_[path];
    if (state.mtimeNs == mtime && state.size == size) continue;
    state.mtimeNs = mtime;
    state.size = size;
    readFile(path, state);
  }

  if (now > windowTo_ - kAhead / 2 || now < windowFrom_ + kStale) {
    windowFrom_ = now - kStale;
    windowTo_ = now + kAhead;
    for (auto& [path, state] : files_) {
      state.problems.clear();
      state.alarms = readCalendarText(state.text, path, windowFrom_, windowTo_, &state.problems);
      if (!state.readError.empty()) state.problems = {{path, 0, state.readError}};
    }
  }
  if (stateChanged) saveState(nullptr);
}

TimePoint ReminderSchedule::watchStart(const std::string& file) const {
  auto seen = firstSeen_.find(file);
  return std::max(since_, seen == firstSeen_.end() ? since_ : seen->second);
}

std::vector<AlarmRecord> ReminderSchedule::dueAlarms(TimePoint now) {
  refresh(now);
  std::vector<AlarmRecord> due;
  for (const auto& [path, state] : files_) {
    const TimePoint watched = watchStart(path);
    for (const AlarmRecord& a : state.alarms)
      if (a.due <= now && a.due >= now - kStale && !raised_.count(a.key) &&
          (a.due >= watched || stillAhead(a, now)))
        due.push_back(a);
  }
  std::stable_sort(due.begin(), due.end(),
                   [](const AlarmRecord& a, const AlarmRecord& b) { return a.due < b.due; });
  return due;
}

bool ReminderSchedule::markRaised(const AlarmRecord& alarm, std::string* error) {
  raised_[alarm.key] = alarm.due;
  return saveState(error);
}

std::optional<TimePoint> ReminderSchedule::nextDue(TimePoint now) {
  refresh(now);
  std::optional<TimePoint> next;
  for (const auto& [path, state] : files_)
    for (const AlarmRecord& a : state.alarms)
      if (a.due > now && a.due <= now + kAhead && !raised_.count(a.key) && (!next || a.due < *next))
        next = a.due;
  return next;
}

std::vector<CalendarProblem> ReminderSchedule::problems() const {
  std::vector<CalendarProblem> all = notices_;
  all.insert(all.end(), missing_.begin(), missing_.end());
  for (const auto& [path, state] : files_) all.insert(all.end(), state.problems.begin(), state.problems.end());
  return all;
}

std::vector<CalendarProblem> ReminderSchedule::takeNewProblems() {
  std::vector<CalendarProblem> fresh;
  for (const CalendarProblem& p : problems())
    if (std::find(shown_.begin(), shown_.end(), p) == shown_.end()) {
      shown_.push_back(p);
      fresh.push_back(p);
    }
  return fresh;
}

std::vector<std::string> ReminderSchedule::files() const {
  std::vector<std::string> out;
  for (const auto& [path, state] : files_) out.push_back(path);
  return out;
}

} // namespace quorvel::calendar
