// Test support for the gateway conversation.
#include "gatewayFixture.h"

#include "composer/unGetCreditThread.h"
#include "http/unHTTPClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <regex>

namespace quorvel {

namespace {

std::string regexEscape(const std::string& s) {
  static const std::string special = R"(\^$.|?*+()[]{}/)";
  std::string out;
  for (char c : s) {
    if (special.find(c) != std::string::npos)
      out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return s;
}

} // namespace

std::string StoredCopy::field(const std::string& name) const {
  const std::string wanted = lowerAscii(name) + ":";
  std::size_t start = 0;
  while (start < header.size()) {
    std::size_t end = header.find('\n', start);
    if (end == std::string::npos)
      end = header.size();
    const std::string line = header.substr(start, end - start);
    if (lowerAscii(line.substr(0, wanted.size())) == wanted) {
      std::size_t v = wanted.size();
      while (v < line.size() && line[v] == ' ')
        ++v;
      return line.substr(v);
    }
    start = end + 1;
  }
  return {};
}

void GatewayTest::SetUp() {
  ComposerTest::SetUp();
  ASSERT_TRUE(dataHome.isValid());
  savedDataHome_ = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
  form = std::make_unique<ProbeForm>();
  ASSERT_NE(form->myMapi, nullptr);
  form->eUserName->setText("nobody");
  form->ePass->setText("pqr456");
}

void GatewayTest::TearDown() {
  form.reset();
  // No query may outlive the servers it talks to.
  EXPECT_TRUE(TGetCreditThread::waitForAll(std::chrono::seconds(60)));
  gateway_.reset();
  qputenv("XDG_DATA_HOME", savedDataHome_);
  ComposerTest::TearDown();
}

gateway::EmbeddedGateway& GatewayTest::bundledGateway() {
  if (!gateway_) {
    gateway::EmbeddedOptions options;
    options.cost = gateway::HashCost{10, 8, 1}; // quick accounts
    gateway_ = std::make_unique<gateway::EmbeddedGateway>(
        dataHome.filePath("gateway.sqlite").toStdString(), options);
    useServer(gateway_->url());
  }
  return *gateway_;
}

void GatewayTest::useServer(const std::string& url) {
  form->eServerURL->setText(QString::fromStdString(url));
}

void GatewayTest::showAndSettle() {
  form->show();
  ASSERT_TRUE(pumpUntil([&] { return form->pendingCreditQueries() == 0; }));
}

bool GatewayTest::pumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    // Waits for the next event (a query's wake-up) rather than sleeping.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return true;
}

std::vector<StoredCopy> GatewayTest::sentItems() const {
  std::vector<StoredCopy> out;
  const QString folder = dataHome.filePath("quorvel/Maildir/.Sent Items");
  for (const char* sub : {"cur", "new"}) {
    QDir dir(folder + "/" + sub);
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files, QDir::Time | QDir::Reversed)) {
      StoredCopy copy;
      copy.path = info.filePath().toStdString();
      copy.seen = std::string(sub) == "cur" && info.fileName().contains(":2,") &&
                  info.fileName().section(":2,", 1).contains('S');
      const std::string text = readFileBytes(copy.path);
      const std::size_t split = text.find("\n\n");
      std::string header = text.substr(0, split);
      // Unfold continuation lines.
      header = std::regex_replace(header, std::regex("\n[ \t]+"), " ");
      copy.header = header;
      copy.body = split == std::string::npos ? std::string() : text.substr(split + 2);
      out.push_back(std::move(copy));
    }
  }
  return out;
}

testing::CannedServer::Responder scriptedGateway(testing::CannedReply credits,
                                                 testing::CannedReply answer) {
  return [credits, answer](const testing::ReceivedRequest& request) {
    return request.body.find("action=getCredits") != std::string::npos ? credits : answer;
  };
}

std::string dataDocument(const std::string& payload) {
  return "<?xml version=\"1.0\"?><Response><Data>" + payload + "</Data></Response>";
}

std::vector<testing::ReceivedRequest> requestsFor(const testing::CannedServer& server,
                                                  const std::string& action) {
  std::vector<testing::ReceivedRequest> out;
  for (const auto& r : server.requests())
    if (r.body.find("action=" + action) != std::string::npos)
      out.push_back(r);
  return out;
}

std::string transportError(const std::string& url) {
  TkaHTTPClient client;
  client.popforcert = false;
  client.postData(url, "x");
  return client.errormessage;
}

::testing::AssertionResult isExchangeLog(const std::string& log, const std::string& url,
                                         const std::string& body, const std::string* answer) {
  // The credit query's second count changes from run to run.
  std::string bodyPattern = regexEscape(body);
  bodyPattern = std::regex_replace(bodyPattern, std::regex("t=\\\\\\*"), "t=[0-9]+");
  std::string pattern = "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\r\n\\[REQUEST \\(" +
                        regexEscape(url) + "\\)\\]\r\n" + bodyPattern;
  if (answer)
    pattern += "\\[RESPONSE\\]\r\n" + regexEscape(*answer);
  if (std::regex_match(log, std::regex(pattern)))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "log:\n" << log << "\nexpected pattern:\n" << pattern;
}

} // namespace quorvel
