// Saving and restoring the permanent command bars: a small tab-separated
// text file per host, one line per bar and per control.
#include "office/calendarfiles.h"
#include "office/commandbars.h"

#include <cstdio>
#include <sstream>

namespace quorvel::office {

namespace {

constexpr char kMagic[] = "quorvel-commandbars 1";

std::string escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
    case '\\': out += "\\\\"; break;
    case '\t': out += "\\t"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    default: out += c;
    }
  }
  return out;
}

bool unescape(const std::string& s, std::string* out) {
  out->clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      *out += s[i];
      continue;
    }
    if (++i == s.size()) return false;
    switch (s[i]) {
    case '\\': *out += '\\'; break;
    case 't': *out += '\t'; break;
    case 'n': *out += '\n'; break;
    case 'r': *out += '\r'; break;
    default: return false;
    }
  }
  return true;
}

std::string faceText(const FaceImage& f) {
  if (f.empty()) return "-";
  std::string out = std::to_string(f.width) + "x" + std::to_string(f.height) + ":";
  char buf[9];
  for (uint32_t px : f.argb) {
    std::snprintf(buf, sizeof buf, "%08x", unsigned(px));
    out += buf;
  }
  return out;
}

bool parseFace(const std::string& s, FaceImage* f) {
  *f = {};
  if (s == "-") return true;
  int w = 0, h = 0, used = 0;
  if (std::sscanf(s.c_str(), "%dx%d:%n", &w, &h, &used) != 2 || used == 0) return false;
  if (w <= 0 || h <= 0 || w > 256 || h > 256) return false;
  if (s.size() - size_t(used) != size_t(w) * size_t(h) * 8) return false;
  f->width = w;
  f->height = h;
  for (size_t i = size_t(used); i < s.size(); i += 8) {
    uint32_t px = 0;
    for (size_t k = 0; k < 8; ++k) {
      char c = s[i + k];
      int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (v < 0) return false;
      px = px << 4 | uint32_t(v);
    }
    f->argb.push_back(px);
  }
  return true;
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return out;
    start = tab + 1;
  }
}

bool parseInt(const std::string& s, int32_t* v) {
  if (s.empty() || s.size() > 11) return false;
  char* end = nullptr;
  long n = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0') return false;
  *v = int32_t(n);
  return true;
}

bool parseBool(const std::string& s, bool* v) {
  if (s != "0" && s != "1") return false;
  *v = s == "1";
  return true;
}

void writeControls(std::ostringstream& out, const CommandBarControls& controls, int depth) {
  for (auto& c : controls.items()) {
    if (c->temporary()) continue;
    out << "control\t" << depth << '\t' << c->type() << '\t' << c->id() << '\t' << c->builtIn()
        << '\t' << c->visible() << '\t' << c->enabled() << '\t' << c->style() << '\t'
        << c->beginGroup() << '\t' << escape(c->caption()) << '\t' << escape(c->tooltipText())
        << '\t' << escape(c->shortcutText()) << '\t' << escape(c->tag()) << '\t'
        << escape(c->parameter()) << '\t' << faceText(c->face()) << '\n';
    if (c->isPopup()) writeControls(out, *c->controls(), depth + 1);
  }
}

// One "control" line into the collection at its depth.
bool restoreControl(const std::vector<std::string>& f,
                    std::vector<CommandBarControls*>& levels,
                    std::shared_ptr<CommandBarContext> shared, std::string* error) {
  int32_t depth = 0, type = 0, id = 0, style = 0;
  bool builtIn = false, visible = false, enabled = false, group = false;
  std::string caption, tooltip, shortcut, tag, parameter;
  FaceImage face;
  if (f.size() != 15 || !parseInt(f[1], &depth) || !parseInt(f[2], &type) ||
      !parseInt(f[3], &id) || !parseBool(f[4], &builtIn) || !parseBool(f[5], &visible) ||
      !parseBool(f[6], &enabled) || !parseInt(f[7], &style) || !parseBool(f[8], &group) ||
      !unescape(f[9], &caption) || !unescape(f[10], &tooltip) || !unescape(f[11], &shortcut) ||
      !unescape(f[12], &tag) || !unescape(f[13], &parameter) || !parseFace(f[14], &face))
    return *error = "malformed control", false;
  if (type != msoControlButton && type != msoControlPopup)
    return *error = "unknown control type " + f[2], false;
  if (depth < 1 || size_t(depth) > levels.size())
    return *error = "control outside any bar or popup", false;
  if (style < msoButtonAutomatic || style > 15) return *error = "bad button style", false;
  levels.resize(size_t(depth));
  ComPtr<CommandBarControl> c(new CommandBarControl(shared, type, id, false));
  c->setBuiltIn(builtIn);
  c->setCaption(caption);
  c->setVisible(visible);
  c->setEnabled(enabled);
  c->setStyle(style);
  c->setBeginGroup(group);
  c->setTooltipText(tooltip);
  c->setShortcutText(shortcut);
  c->setTag(tag);
  c->setParameter(parameter);
  c->setFace(face);
  levels.back()->append(c);
  if (c->isPopup()) levels.push_back(c->controls());
  return true;
}

} // namespace

bool readTextFile(const std::string& path, std::string* text, std::string* error) {
  int64_t mtime = 0, size = 0;
  error->clear();
  if (!calendar::detail::fileStamp(path, &mtime, &size)) return false; // none saved yet
  return calendar::detail::readWholeFile(path, text, error);
}

/// Rebuilds \p bars from a saved customisation; false with "line: reason"
/// in \p error when the text is damaged (\p bars may then be half-filled).
bool restoreCustomisation(CommandBars& bars, const std::string& text, std::string* error) {
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  std::vector<CommandBarControls*> levels;
  // Changes while restoring are no news to anyone.
  auto onChanged = std::exchange(bars.context().onChanged, nullptr);
  auto fail = [&](const std::string& why) {
    *error = std::to_string(lineNo) + ": " + why;
    bars.context().onChanged = onChanged;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNo;
    if (lineNo == 1) {
      if (line != kMagic) return fail("not a command-bar customisation file");
      continue;
    }
    if (line.empty()) continue;
    std::vector<std::string> f = splitTabs(line);
    if (f[0] == "bar") {
      std::string name;
      int32_t position = 0;
      bool menuBar = false, visible = false, builtIn = false;
      if (f.size() != 6 || !unescape(f[1], &name) || name.empty() ||
          !parseInt(f[2], &position) || !parseBool(f[3], &menuBar) ||
          !parseBool(f[4], &visible) || !parseBool(f[5], &builtIn))
        return fail("malformed bar");
      if (bars.find(name)) return fail("a second bar named \"" + name + "\"");
      if (position < msoBarLeft || position > msoBarMenuBar) return fail("bad bar position");
      CommandBar* bar = bars.add(name, position, menuBar, false);
      bar->setVisible(visible);
      bar->setBuiltIn(builtIn);
      levels = {&bar->controls()};
    } else if (f[0] == "control") {
      std::string why;
      if (!restoreControl(f, levels, bars.ctx_, &why)) return fail(why);
    } else {
      return fail("unknown entry \"" + f[0] + "\"");
    }
  }
  if (lineNo == 0) return fail("empty file");
  if (!bars.activeMenuBar()) return fail("no menu bar");
  bars.context().onChanged = onChanged;
  return true;
}

bool CommandBars::saveCustomisation(std::string* error) const {
  if (file_.empty()) {
    if (error) *error = "no customisation file";
    return false;
  }
  std::ostringstream out;
  out << kMagic << '\n';
  for (auto& b : bars_) {
    if (b->temporary()) continue;
    out << "bar\t" << escape(b->name()) << '\t' << b->position() << '\t' << b->isMenuBar()
        << '\t' << b->visible() << '\t' << b->builtIn() << '\n';
    writeControls(out, b->controls(), 1);
  }
  std::string why;
  if (calendar::detail::replaceFile(file_, out.str(), &why)) return true;
  if (error) *error = why;
  return false;
}

} // namespace quorvel::office
