// Reading, writing and showing the upstream settings file.
#include "gateway/gatewayUpstream.h"

#include "gateway/gatewayFiles.h"

#include <openssl/rand.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace quorvel::gateway {

namespace {

std::string trimmed(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// The attempts are a count (0: no cap); the others are times, in seconds or
// in the forms parseDuration takes.
int timingValue(const std::string& key, const std::string& text) {
  if (key == "attempts") {
    int value = -1;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0)
      throw UpstreamError("upstream setting attempts needs a whole number (0: no cap), not \"" + text + "\"");
    return value;
  }
  const std::optional<int> value = parseDuration(text);
  if (!value)
    throw UpstreamError("upstream setting " + key + " needs a time above 0 (seconds, or like 90m, 24h), not \"" +
                        text + "\"");
  return *value;
}

// The text fields and the timing fields, by their names in the file.
std::string* textField(UpstreamConfig& c, const std::string& key) {
  if (key == "upstream") return &c.kind;
  if (key == "url") return &c.url;
  if (key == "user") return &c.user;
  if (key == "password") return &c.password;
  if (key == "from") return &c.from;
  if (key == "smsc") return &c.smsc;
  if (key == "dlr-url") return &c.dlrBase;
  if (key == "dlr-key") return &c.dlrKey;
  return nullptr;
}

int* timingField(DeliveryTimings& t, const std::string& key) {
  if (key == "timeout") return &t.requestTimeout;
  if (key == "retry-first") return &t.firstRetry;
  if (key == "retry-longest") return &t.longestRetry;
  if (key == "attempts") return &t.attempts;
  if (key == "confirm-window") return &t.confirmWindow;
  if (key == "validity") return &t.validity;
  return nullptr;
}

const char* const kTimingKeys[] = {"timeout", "retry-first", "retry-longest", "attempts", "confirm-window", "validity"};

std::string randomKey() {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1) throw UpstreamError("no random numbers for the report key");
  static const char* hex = "0123456789abcdef";
  std::string key;
  for (unsigned char b : bytes) {
    key += hex[b >> 4];
    key += hex[b & 15];
  }
  return key;
}

// Values are single lines: a line break would start another setting.
void checkOneLine(const std::string& key, const std::string& value) {
  if (value.find_first_of("\r\n") != std::string::npos)
    throw UpstreamError("upstream setting " + key + " must not contain a line break");
}

} // namespace

std::optional<int> parseDuration(const std::string& text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [stop, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || value < 1) return std::nullopt;
  std::int64_t unit = 1;
  if (stop != end) {
    if (stop + 1 != end) return std::nullopt;
    switch (*stop) {
      case 's': unit = 1; break;
      case 'm': unit = 60; break;
      case 'h': unit = 3600; break;
      case 'd': unit = 86400; break;
      default: return std::nullopt;
    }
  }
  if (value > std::numeric_limits<int>::max() / unit) return std::nullopt;
  return static_cast<int>(value * unit);
}

std::string upstreamConfigPath(const std::string& storePath) {
  return (std::filesystem::path(storePath).parent_path() / "upstream.conf").string();
}

UpstreamConfig loadUpstreamConfig(const std::string& path) {
  UpstreamConfig config;
  std::ifstream in(path);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return config;
    throw UpstreamError("cannot read " + path);
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    line = trimmed(line);
    if (line.empty() || line[0] == '#') continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos)
      throw UpstreamError(path + " line " + std::to_string(number) + ": expected KEY = VALUE");
    const std::string key = trimmed(line.substr(0, eq));
    const std::string value = trimmed(line.substr(eq + 1));
    if (std::string* field = textField(config, key))
      *field = value;
    else if (int* timing = timingField(config.timings, key))
      *timing = timingValue(key, value);
    else
      throw UpstreamError(path + " line " + std::to_string(number) + ": unknown setting \"" + key + "\"");
  }
  if (config.kind != "store" && config.kind != "kannel")
    throw UpstreamError(path + ": upstream must be \"store\" or \"kannel\", not \"" + config.kind + "\"");
  if (config.kannel()) validateUpstream(config);
  return config;
}

void validateUpstream(const UpstreamConfig& config) {
  if (!config.kannel()) return;
  const bool plain = config.url.starts_with("http://") && config.url.size() > 7;
  const bool tls = config.url.starts_with("https://") && config.url.size() > 8;
  if (!plain && !tls)
    throw UpstreamError("the Kannel URL must start with http:// or https:// (for example "
                        "http://127.0.0.1:13013/cgi-bin/sendsms), not \"" + config.url + "\"");
  if (config.user.empty()) throw UpstreamError("the Kannel user name must not be empty");
  if (config.password.empty()) throw UpstreamError("the Kannel password must not be empty");
  if (!config.dlrBase.empty() && !config.dlrBase.starts_with("http://") && !config.dlrBase.starts_with("https://"))
    throw UpstreamError("the report URL must start with http:// or https://, not \"" + config.dlrBase + "\"");
}

void saveUpstreamConfig(const std::string& path, UpstreamConfig config) {
  validateUpstream(config);
  if (config.kannel() && config.dlrKey.empty()) config.dlrKey = randomKey();
  std::ostringstream text;
  text << "# quorvel-gateway upstream: written by \"quorvel-gateway upstream set\"\n";
  UpstreamConfig defaults;
  for (const char* key : {"upstream", "url", "user", "password", "from", "smsc", "dlr-url", "dlr-key"}) {
    const std::string& value = *textField(config, key);
    checkOneLine(key, value);
    if (!value.empty()) text << key << " = " << value << "\n";
  }
  for (const char* key : kTimingKeys)
    if (*timingField(config.timings, key) != *timingField(defaults.timings, key))
      text << key << " = " << *timingField(config.timings, key) << "\n";

  try {
    writePrivateFile(path, text.str());
  } catch (const PrivateFileError& e) {
    throw UpstreamError(e.what());
  }
}

std::string describeUpstream(const UpstreamConfig& config) {
  if (!config.kannel()) return "upstream: store (messages are kept here and not sent on)\n";
  auto shown = [](const std::string& v) { return v.empty() ? std::string("(not set)") : v; };
  auto secret = [](const std::string& v) { return std::string(v.empty() ? "(not set)" : "(set)"); };
  std::ostringstream out;
  out << "upstream: kannel\n"
      << "url: " << config.url << "\n"
      << "user: " << config.user << "\n"
      << "password: " << secret(config.password) << "\n"
      << "from: " << shown(config.from) << "\n"
      << "smsc: " << shown(config.smsc) << "\n"
      << "dlr-url: " << (config.dlrBase.empty() ? "(the listen address)" : config.dlrBase) << "\n"
      << "dlr-key: " << secret(config.dlrKey) << "\n";
  return out.str();
}

} // namespace quorvel::gateway
