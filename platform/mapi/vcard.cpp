// Contacts read from vCard files: line unfolding (including the
// quoted-printable soft breaks of version 2.1), property parameters in their
// 2.1, 3.0 and 4.0 spellings, value escapes and character sets.
#include "mapi/vcard.h"

#include "mapi/mapitext.h"

#include <map>
#include <optional>
#include <string_view>

namespace quorvel::mapi {
namespace {

struct Line {
  std::string text;
  size_t number; // physical line where it starts
};

struct Property {
  std::string group; // lower case
  std::string name;  // upper case
  std::map<std::string, std::vector<std::string>> params; // upper-case keys, raw values
  std::vector<std::string> types; // lower case, from TYPE= and bare 2.1 parameters
  std::string value;              // decoded bytes, still escaped
};

std::string upperAscii(std::string s) {
  for (char& c : s)
    c = char(std::toupper(uint8_t(c)));
  return s;
}

bool startsWithNoCase(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && equalsNoCase(s.substr(0, prefix.size()), prefix);
}

// The parameter part of a property line, in upper case ("" without a colon).
// Only the start of a line is searched, so that a long run of folded lines
// costs no more than its length.
std::string upperHead(const std::string& line) {
  constexpr size_t kLongestHead = 1000;
  size_t colon = std::string_view(line).substr(0, kLongestHead).find(':');
  return colon == std::string::npos ? "" : upperAscii(line.substr(0, colon));
}

bool isQuotedPrintableLine(const std::string& line) {
  return upperHead(line).find("QUOTED-PRINTABLE") != std::string::npos;
}

bool isBase64Line(const std::string& line) {
  const std::string head = upperHead(line) + ";";
  return head.find("BASE64") != std::string::npos || head.find("ENCODING=B;") != std::string::npos;
}

// A line of base64 data and nothing else.
bool isBase64Text(const std::string& line) {
  std::string t = trimmed(line);
  if (t.empty())
    return false;
  for (char c : t)
    if (!std::isalnum(uint8_t(c)) && c != '+' && c != '/' && c != '=')
      return false;
  return true;
}

bool isNameChar(char c) { return std::isalnum(uint8_t(c)) || c == '-'; }

// Whether \p line starts a property of a name vCard writers use: a
// quoted-printable soft break before such a line is a stray "=" at the end
// of the value, not a continuation.
bool startsKnownProperty(const std::string& line) {
  static const char* const known[] = {
      "BEGIN", "END", "VERSION", "FN", "N", "NICKNAME", "PHOTO", "BDAY", "ANNIVERSARY",
      "GENDER", "ADR", "LABEL", "TEL", "EMAIL", "MAILER", "IMPP", "LANG", "TZ", "GEO",
      "TITLE", "ROLE", "LOGO", "ORG", "MEMBER", "RELATED", "CATEGORIES", "NOTE", "PRODID",
      "REV", "SORT-STRING", "SOUND", "UID", "CLIENTPIDMAP", "URL", "KEY", "FBURL",
      "CALADRURI", "CALURI", "XML", "SOURCE", "KIND", "NAME", "PROFILE", "CLASS", "AGENT"};
  size_t end = line.find_first_of(";:");
  if (end == std::string::npos)
    return false;
  std::string name = line.substr(0, end);
  if (size_t dot = name.find('.'); dot != std::string::npos)
    name = name.substr(dot + 1); // a group such as "item1."
  if (name.empty())
    return false;
  for (char c : name)
    if (!isNameChar(c))
      return false;
  name = upperAscii(name);
  if (name.rfind("X-", 0) == 0)
    return true;
  for (const char* k : known)
    if (name == k)
      return true;
  return false;
}

// Physical lines joined into logical ones. Version 3.0 and 4.0 folding drops
// the line break and one blank; version 2.1 keeps the blank. A
// quoted-printable value ending in "=" continues on the next line unless that
// line starts a property; lines of bare base64 data after a base64 property
// (version 2.1 writers often leave them unindented) belong to it.
std::vector<Line> unfold(const std::string& text) {
  std::vector<Line> lines;
  bool v21 = false, qpOpen = false, base64Open = false;
  size_t pos = 0, number = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    std::string raw = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size()
                                   : end + ((text[end] == '\r' && end + 1 < text.size() &&
                                             text[end + 1] == '\n')
                                                ? 2
                                                : 1);
    ++number;
    if (qpOpen && !lines.empty() && !startsKnownProperty(raw)) {
      lines.back().text.pop_back(); // the soft-break "="
      lines.back().text += raw;
    } else if (!raw.empty() && (raw[0] == ' ' || raw[0] == '\t') && !lines.empty()) {
      lines.back().text += v21 ? raw : raw.substr(1);
    } else if (base64Open && isBase64Text(raw)) {
      lines.back().text += trimmed(raw);
    } else {
      lines.push_back({raw, number});
    }
    std::string& cur = lines.empty() ? raw : lines.back().text;
    if (startsWithNoCase(cur, "BEGIN:VCARD"))
      v21 = false;
    if (startsWithNoCase(cur, "VERSION:"))
      v21 = trimmed(cur.substr(8)) == "2.1";
    qpOpen = !cur.empty() && cur.back() == '=' && isQuotedPrintableLine(cur);
    base64Open = !lines.empty() && isBase64Line(cur);
  }
  return lines;
}

// Splits at \p sep outside double quotes.
std::vector<std::string> splitOutsideQuotes(const std::string& s, char sep) {
  std::vector<std::string> parts(1);
  bool quoted = false;
  for (char c : s) {
    if (c == '"')
      quoted = !quoted;
    if (c == sep && !quoted)
      parts.emplace_back();
    else
      parts.back().push_back(c);
  }
  return parts;
}

std::string unquote(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
    return s.substr(1, s.size() - 2);
  return s;
}

// The text of a value in \p charset as UTF-8. Sets other than UTF-8 and the
// Western ones go through the C library's converters; when that fails the
// text is read as UTF-8 or Windows-1252 and \p warning says so.
std::string decodeCharset(const std::string& bytes, const std::string& charset,
                          std::string& warning) {
  std::string cs = lowerAscii(trimmed(charset));
  if (cs == "iso-8859-1" || cs == "latin1" || cs == "windows-1252" || cs == "cp1252")
    return cp1252ToUtf8(bytes);
  if (cs.empty() || cs == "utf-8" || cs == "utf8" || cs == "us-ascii" || cs == "ascii")
    return ensureUtf8(bytes);
  std::string out;
  switch (charsetToUtf8(bytes, charset, out)) {
  case CharsetResult::ok:
    return out;
  case CharsetResult::unknownCharset:
    warning = "unknown character set " + charset;
    break;
  case CharsetResult::badText:
    warning = "text not valid in character set " + charset;
    break;
  }
  warning += ", read as UTF-8 or Windows-1252";
  return ensureUtf8(bytes);
}

std::optional<Property> parseProperty(const std::string& line, std::string& warning) {
  // The name part ends at the first colon outside quoted parameter values.
  size_t colon = std::string::npos;
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"')
      quoted = !quoted;
    else if (line[i] == ':' && !quoted) {
      colon = i;
      break;
    }
  }
  if (colon == std::string::npos || colon == 0)
    return std::nullopt;
  std::vector<std::string> head = splitOutsideQuotes(line.substr(0, colon), ';');
  Property p;
  std::string name = trimmed(head[0]);
  if (size_t dot = name.find('.'); dot != std::string::npos) {
    p.group = lowerAscii(name.substr(0, dot));
    name = name.substr(dot + 1);
  }
  if (name.empty())
    return std::nullopt;
  p.name = upperAscii(name);
  for (size_t i = 1; i < head.size(); ++i) {
    std::string param = trimmed(head[i]);
    size_t eq = param.find('=');
    std::string key = eq == std::string::npos ? "" : upperAscii(trimmed(param.substr(0, eq)));
    std::string value = eq == std::string::npos ? param : trimmed(param.substr(eq + 1));
    if (key.empty()) {
      // Version 2.1 writes bare parameters: encodings, or types.
      std::string up = upperAscii(value);
      key = (up == "QUOTED-PRINTABLE" || up == "BASE64" || up == "8BIT" || up == "7BIT")
                ? "ENCODING"
                : "TYPE";
    }
    for (std::string& v : splitOutsideQuotes(value, ',')) {
      v = unquote(trimmed(v));
      if (key == "TYPE") {
        // 4.0 also allows TYPE="cell,voice" as one quoted list.
        for (std::string& t : splitOutsideQuotes(v, ','))
          p.types.push_back(lowerAscii(trimmed(t)));
      }
      p.params[key].push_back(v);
    }
  }
  std::string value = line.substr(colon + 1);
  auto param = [&](const char* key) {
    auto it = p.params.find(key);
    return it == p.params.end() || it->second.empty() ? std::string() : it->second.front();
  };
  if (equalsNoCase(param("ENCODING"), "QUOTED-PRINTABLE"))
    value = quotedPrintableDecode(value);
  p.value = decodeCharset(value, param("CHARSET"), warning);
  return p;
}

// Value escapes of 3.0 and 4.0 (2.1 only escapes ";", which reads the same).
std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      out.push_back(n == 'n' || n == 'N' ? '\n' : n);
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

// Splits a structured value at unescaped ";" and unescapes each part.
std::vector<std::string> components(const std::string& s) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      parts.back() += s.substr(i, 2);
      ++i;
    } else if (s[i] == ';') {
      parts.emplace_back();
    } else {
      parts.back().push_back(s[i]);
    }
  }
  for (auto& p : parts)
    p = trimmed(unescape(p));
  return parts;
}

std::string joinNonEmpty(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) {
    std::string piece = trimmed(p);
    for (char& c : piece)
      if (c == ',')
        c = ' ';
    if (piece.empty())
      continue;
    if (!out.empty())
      out += ' ';
    out += piece;
  }
  return out;
}

std::string telephoneNumber(const Property& p) {
  std::string v = trimmed(unescape(p.value));
  if (startsWithNoCase(v, "tel:"))
    v = v.substr(4, v.find(';') == std::string::npos ? std::string::npos : v.find(';') - 4);
  return trimmed(v);
}

bool hasType(const Property& p, const std::string& fragment) {
  for (const auto& t : p.types)
    if (t.find(fragment) != std::string::npos)
      return true;
  return false;
}

bool isPreferred(const Property& p) {
  auto it = p.params.find("PREF");
  return hasType(p, "pref") || (it != p.params.end() && !it->second.empty());
}

uint64_t fnv1a(const std::string& s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

struct CardBuilder {
  std::vector<Property> props;

  // Version 2.1 writes an agent's card right after an empty AGENT value.
  bool opensAgentCard() const {
    return !props.empty() && props.back().name == "AGENT" && trimmed(props.back().value).empty();
  }

  // Apple's editors put the label of a grouped number on its own line.
  bool groupLabelSaysMobile(const std::string& group) const {
    if (group.empty())
      return false;
    for (const auto& p : props)
      if (p.group == group && p.name == "X-ABLABEL") {
        std::string label = lowerAscii(p.value);
        return label.find("mobile") != std::string::npos || label.find("cell") != std::string::npos;
      }
    return false;
  }

  std::optional<Contact> build(std::string& problem) const {
    Contact c;
    std::string fn, uid;
    std::optional<std::vector<std::string>> n;
    const Property *cell = nullptr, *email = nullptr;
    for (const auto& p : props) {
      if (p.name == "FN" && fn.empty())
        fn = trimmed(unescape(p.value));
      else if (p.name == "N" && !n)
        n = components(p.value);
      else if (p.name == "UID" && uid.empty())
        uid = trimmed(unescape(p.value));
      else if (p.name == "ORG" && c.organization.empty())
        c.organization = joinNonEmpty(components(p.value));
      else if (p.name == "EMAIL" && (!email || (isPreferred(p) && !isPreferred(*email))))
        email = &p;
      else if (p.name == "TEL") {
        if (hasType(p, "cell") || hasType(p, "mobile") || groupLabelSaysMobile(p.group)) {
          if (!cell || (isPreferred(p) && !isPreferred(*cell)))
            cell = &p;
        } else if (hasType(p, "work") && c.business.empty()) {
          c.business = telephoneNumber(p);
        } else if (hasType(p, "home") && c.home.empty()) {
          c.home = telephoneNumber(p);
        }
      }
    }
    if (cell)
      c.mobile = telephoneNumber(*cell);
    if (email)
      c.email = trimmed(unescape(email->value));
    if (n) {
      n->resize(5);
      c.surname = (*n)[0];
      c.givenName = (*n)[1];
    }
    c.displayName = !fn.empty() ? fn
                    : n ? joinNonEmpty({(*n)[3], (*n)[1], (*n)[2], (*n)[0], (*n)[4]})
                        : "";
    if (c.displayName.empty())
      c.displayName = !c.organization.empty() ? c.organization
                      : !c.email.empty()      ? c.email
                                              : c.mobile;
    if (c.displayName.empty()) {
      problem = "card has no name";
      return std::nullopt;
    }
    // Without a UID the name alone makes the key (cards of the same name are
    // told apart by their order), so that editing a number keeps it.
    c.key = !uid.empty() ? "uid:" + uid : "h:" + std::to_string(fnv1a(c.displayName));
    return c;
  }
};

} // namespace

VCardResult parseVCards(const std::string& input, const std::string& source) {
  std::string text = utf16ToUtf8(input);
  if (text.rfind("\xEF\xBB\xBF", 0) == 0)
    text.erase(0, 3);
  VCardResult result;
  std::optional<CardBuilder> card;
  size_t cardLine = 0;
  std::string problem;
  auto skip = [&](size_t line, const std::string& why) {
    result.warnings.push_back(source + ":" + std::to_string(line) + ": card skipped: " + why);
  };
  int agentDepth = 0; // inside a version 2.1 agent's card, which is no contact
  for (const Line& line : unfold(text)) {
    std::string t = trimmed(line.text);
    if (t.empty())
      continue;
    if (agentDepth > 0) {
      agentDepth += equalsNoCase(t, "BEGIN:VCARD") ? 1 : equalsNoCase(t, "END:VCARD") ? -1 : 0;
      continue;
    }
    if (equalsNoCase(t, "BEGIN:VCARD") && card && card->opensAgentCard()) {
      agentDepth = 1;
      continue;
    }
    if (equalsNoCase(t, "BEGIN:VCARD")) {
      if (card)
        skip(cardLine, "no END:VCARD before the next card");
      card.emplace();
      cardLine = line.number;
      problem.clear();
      continue;
    }
    if (!card)
      continue; // text between cards
    if (equalsNoCase(t, "END:VCARD")) {
      std::optional<Contact> c;
      if (problem.empty())
        c = card->build(problem);
      if (c)
        result.contacts.push_back(std::move(*c));
      else
        skip(cardLine, problem);
      card.reset();
      continue;
    }
    if (!problem.empty())
      continue;
    std::string warning;
    std::optional<Property> p = parseProperty(line.text, warning);
    if (!warning.empty())
      result.warnings.push_back(source + ":" + std::to_string(line.number) + ": " + warning);
    if (!p)
      problem = "line " + std::to_string(line.number) + " is not a property";
    else
      card->props.push_back(std::move(*p));
  }
  if (card)
    skip(cardLine, "no END:VCARD");

  std::map<std::string, int> seen;
  for (auto& c : result.contacts)
    if (int n = ++seen[c.key]; n > 1)
      c.key += "#" + std::to_string(n);
  return result;
}

} // namespace quorvel::mapi
