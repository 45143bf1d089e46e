// Kannel for tests: bearerbox, smsbox and fakesmsc on free loopback ports.
#include "kannelHarness.h"

#include "childProcess.h"
#include "util/unTextCodec.h"

#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace quorvel::gateway::test {

namespace {

const char* const kAdminPassword = "harness-admin";
const char* const kUser = "quorvel";
const char* const kPassword = "harness-pass";

// A port the system had free a moment ago: bound to port 0, then released.
int freePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw std::runtime_error("no free port");
  close(fd);
  return ntohs(a.sin_port);
}

// Asks again and again until \p ready says yes; false after \p limit.
bool pollUntil(const std::function<bool()>& ready, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // polling interval, not a wait for an event
  }
  return ready();
}

std::string get(int port, const std::string& target) {
  httplib::Client c("127.0.0.1", port);
  c.set_connection_timeout(2, 0);
  c.set_read_timeout(5, 0);
  auto res = c.Get(target);
  return res ? std::to_string(res->status) + "\n" + res->body : std::string();
}

} // namespace

std::string percentDecode(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i] == '+' ? ' ' : s[i];  // fakesmsc writes a space as "+"
    }
  }
  return out;
}

std::string utf16beToUtf8(const std::string& b) {
  std::string out;
  auto put = [&](unsigned cp) { appendUtf8(out, static_cast<char32_t>(cp)); };
  for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
    unsigned u = (static_cast<unsigned char>(b[i]) << 8) | static_cast<unsigned char>(b[i + 1]);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < b.size()) {
      const unsigned low = (static_cast<unsigned char>(b[i + 2]) << 8) | static_cast<unsigned char>(b[i + 3]);
      u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    put(u);
  }
  return out;
}

KannelHarness::KannelHarness(std::string folder) : folder_(std::move(folder)) {
  bearerbox_ = findProgram("bearerbox");
  smsbox_ = findProgram("smsbox");
  fakesmsc_ = findProgram("fakesmsc");
}

KannelHarness::~KannelHarness() { stop(); }

std::string KannelHarness::findProgram(const std::string& name) const {
  std::vector<std::string> dirs = {"/usr/sbin", "/usr/bin", "/usr/lib/kannel/test", "/usr/local/sbin",
                                   "/usr/local/bin"};
  if (const char* path = std::getenv("PATH")) {
    std::stringstream ss(path);
    for (std::string d; std::getline(ss, d, ':');) dirs.push_back(d);
  }
  for (const auto& d : dirs) {
    const std::string p = d + "/" + name;
    if (access(p.c_str(), X_OK) == 0) return p;
  }
  return {};
}

std::string KannelHarness::missing() const {
  std::string m;
  if (bearerbox_.empty()) m += " bearerbox";
  if (smsbox_.empty()) m += " smsbox";
  if (fakesmsc_.empty()) m += " fakesmsc";
  return m.empty() ? m : "Kannel is not installed (missing:" + m + "; apt-get install kannel kannel-extras)";
}

void KannelHarness::start() {
  adminPort_ = freePort();
  boxPort_ = freePort();
  smscPort_ = freePort();
  sendsmsPort_ = freePort();
  const std::string conf = folder_ + "/kannel.conf";
  std::ofstream(conf) << "group = core\nadmin-port = " << adminPort_ << "\nadmin-password = " << kAdminPassword
                      << "\nadmin-allow-ip = 127.0.0.1\nsmsbox-port = " << boxPort_
                      << "\nbox-allow-ip = 127.0.0.1\nlog-file = " << folder_ << "/bearerbox.log\nlog-level = 1\n"
                      << "dlr-storage = internal\n\n"
                      << "group = smsc\nsmsc = fake\nsmsc-id = fake\nport = " << smscPort_
                      << "\nconnect-allow-ip = 127.0.0.1\n\n"
                      << "group = smsbox\nbearerbox-host = 127.0.0.1\nbearerbox-port = " << boxPort_
                      << "\nsendsms-port = " << sendsmsPort_ << "\nlog-file = " << folder_
                      << "/smsbox.log\nlog-level = 1\n\n"
                      << "group = sendsms-user\nusername = " << kUser << "\npassword = " << kPassword << "\n";
  const std::string status = "/status.txt?password=" + std::string(kAdminPassword);
  bearerboxProcess_ = std::make_unique<ChildProcess>(bearerbox_, std::vector<std::string>{"-v", "4", conf});
  if (!pollUntil([&] { return get(adminPort_, status).starts_with("200"); }, std::chrono::seconds(60)))
    throw std::runtime_error("bearerbox did not come up; see " + folder_ + "/bearerbox.log");
  fakesmscProcess_ = std::make_unique<ChildProcess>(
      fakesmsc_, std::vector<std::string>{"-H", "127.0.0.1", "-r", std::to_string(smscPort_), "-i", "3600", "-m",
                                          "-1", "100 200 text ping"});
  reader_ = std::thread([this] { readSmsc(); });
  smsboxProcess_ = std::make_unique<ChildProcess>(smsbox_, std::vector<std::string>{"-v", "4", conf});
  auto ready = [&] {
    const std::string s = get(adminPort_, status);
    return s.find("(online") != std::string::npos && s.find("smsbox:") != std::string::npos &&
           get(sendsmsPort_, "/cgi-bin/sendsms").size() > 0;
  };
  if (!pollUntil(ready, std::chrono::seconds(60)))
    throw std::runtime_error("Kannel did not come up; status:\n" + get(adminPort_, status));
}

void KannelHarness::readSmsc() {
  static const std::regex got(R"(Got message \d+: <(\S+) (\S+) (\S+) (.*)>$)");
  std::string line;
  while (fakesmscProcess_->readLine(line)) {
    std::smatch m;
    if (!std::regex_search(line, m, got)) continue;
    SmscMessage msg{m[1], m[2], m[3], "", m[4]};
    // The SMSC's own "ping" comes back to it as a refused request; only
    // messages from the sender this harness sets count.
    if (msg.from != "4000") continue;
    if (msg.type == "udh") {
      const std::string rest = msg.data;
      const auto sp = rest.find(' ');
      msg.udh = rest.substr(0, sp);
      msg.data = sp == std::string::npos ? "" : rest.substr(rest.find(' ', sp + 1) + 1);
    }
    std::lock_guard lock(mutex_);
    messages_.push_back(msg);
    arrived_.notify_all();
  }
}

std::vector<SmscMessage> KannelHarness::waitForMessages(std::size_t n, std::chrono::seconds limit) {
  std::unique_lock lock(mutex_);
  arrived_.wait_for(lock, limit, [&] { return messages_.size() >= n; });
  return messages_;
}

UpstreamConfig KannelHarness::upstream() const {
  UpstreamConfig c;
  c.kind = "kannel";
  c.url = "http://127.0.0.1:" + std::to_string(sendsmsPort_) + "/cgi-bin/sendsms";
  c.user = kUser;
  c.password = kPassword;
  c.from = "4000";
  c.dlrKey = "harness-report-key";
  return c;
}

void KannelHarness::stop() {
  if (smsboxProcess_) {
    smsboxProcess_->terminate();
    smsboxProcess_->wait();
  }
  if (fakesmscProcess_) fakesmscProcess_->terminate();
  if (reader_.joinable()) reader_.join();
  if (fakesmscProcess_) fakesmscProcess_->wait();
  if (bearerboxProcess_) {
    bearerboxProcess_->interrupt();
    bearerboxProcess_->wait();
  }
  smsboxProcess_.reset();
  fakesmscProcess_.reset();
  bearerboxProcess_.reset();
}

} // namespace quorvel::gateway::test
