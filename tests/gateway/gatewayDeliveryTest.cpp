// The delivery stage against a scripted sendsms server: requests as Kannel
// gets them, back-off, giving up with the credit returned, time-outs that
// never send twice, reports, crashes and the store's migration.
#include "gateway/gatewayDelivery.h"
#include "gateway/gatewayEmbedded.h"
#include "gateway/gatewayStore.h"

#include "kannelHarness.h"
#include "tempDir.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace quorvel::gateway {
namespace {

// A sendsms interface whose answers the test chooses: accept, an error
// status, or holding the answer back until released.
class FakeSendsms {
public:
  enum class Mode { accept, error, hold };

  FakeSendsms() {
    http_.Get("/cgi-bin/sendsms", [this](const httplib::Request& req, httplib::Response& res) {
      std::unique_lock lock(mutex_);
      requests_.push_back(req.params);
      if (mode_ == Mode::hold) released_.wait(lock, [&] { return release_; });
      if (mode_ == Mode::error) res.status = 503, res.set_content("Temporal failure, try again later.", "text/plain");
      else res.status = 202, res.set_content("0: Accepted for delivery", "text/plain");
    });
    port_ = http_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { http_.listen_after_bind(); });
    // The library ignores stop() until its loop runs: wait for the loop.
    while (!http_.is_running()) std::this_thread::yield();
  }
  ~FakeSendsms() {
    release();
    http_.stop();
    thread_.join();
  }
  void setMode(Mode m) {
    std::lock_guard lock(mutex_);
    mode_ = m;
  }
  void release() {
    std::lock_guard lock(mutex_);
    release_ = true;
    released_.notify_all();
  }
  std::size_t count() {
    std::lock_guard lock(mutex_);
    return requests_.size();
  }
  httplib::Params request(std::size_t i) {
    std::lock_guard lock(mutex_);
    return requests_.at(i);
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/cgi-bin/sendsms"; }

private:
  httplib::Server http_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable released_;
  bool release_ = false;
  Mode mode_ = Mode::accept;
  std::vector<httplib::Params> requests_;
};

UpstreamConfig kannelAt(const std::string& url) {
  UpstreamConfig c;
  c.kind = "kannel";
  c.url = url;
  c.user = "tester";
  c.password = "p&ss word";
  c.dlrKey = "key123";
  c.timings = DeliveryTimings{1, 10, 40, 3, 600};
  return c;
}

std::string param(const httplib::Params& p, const std::string& name) {
  auto it = p.find(name);
  return it == p.end() ? std::string("(none)") : it->second;
}

// A store with one account of 100 credits, its queue and a worker with a
// clock the test moves.
struct Bench {
  test::TempDir dir;
  std::string path = dir.file("gateway.sqlite");
  std::unique_ptr<GatewayStore> store = std::make_unique<GatewayStore>(path);
  std::unique_ptr<Outbox> outbox = std::make_unique<Outbox>(path);
  // Messages are stamped with the real time when accepted; the test's clock
  // starts there and moves on.
  std::int64_t now = systemClock();
  std::int64_t account = 0;

  explicit Bench(const std::string& kind = "kannel") {
    store->addAccount("ann", "hash", Balance{false, 100});
    account = store->findAccount("ann")->id;
    outbox->setUpstream(kind);
  }
  std::int64_t accept(const std::string& text) {
    return store->acceptMessages(account, {{"+36 30 123-4567", text}}).ids.at(0);
  }
  std::int64_t accept(const std::string& recipient, const std::string& text) {
    return store->acceptMessages(account, {{recipient, text}}).ids.at(0);
  }
  DeliveryWorker worker(const UpstreamConfig& c, Transport transport = {}) {
    return DeliveryWorker(*outbox, c, "http://127.0.0.1:9333", [this] { return now; }, std::move(transport));
  }
  std::int64_t credits() { return store->findAccount("ann")->balance.credits; }
  void restart() {
    outbox.reset();
    store.reset();
    store = std::make_unique<GatewayStore>(path);
    outbox = std::make_unique<Outbox>(path);
  }
};

TEST(KannelRequest, FieldsAsKannelReadsThem) {
  UpstreamConfig c = kannelAt("http://127.0.0.1:13013/cgi-bin/sendsms");
  KannelClient client(c, "http://127.0.0.1:9333/");
  httplib::Params p;
  httplib::detail::parse_query_text(client.requestTarget({7, "+36 (30) 123", "Hi €", false, 1, 1}).substr(17), p);
  EXPECT_EQ(param(p, "username"), "tester");
  EXPECT_EQ(param(p, "password"), "p&ss word");
  EXPECT_EQ(param(p, "to"), "+3630123");
  EXPECT_EQ(param(p, "text"), "Hi €");
  EXPECT_EQ(param(p, "coding"), "0");
  EXPECT_EQ(param(p, "charset"), "UTF-8");
  EXPECT_EQ(param(p, "from"), "(none)");
  EXPECT_EQ(param(p, "udh"), "(none)");
  EXPECT_EQ(param(p, "dlr-mask"), "31");
  EXPECT_EQ(param(p, "dlr-url"),
            "http://127.0.0.1:9333/dlr?id=7&part=1&k=" + reportKey("key123", 7, 1) + "&type=%d&status=%A&ts=%T");

  c.from = "Quorvel";
  c.smsc = "modem";
  KannelClient routed(c, "http://gw");
  p.clear();
  httplib::detail::parse_query_text(routed.requestTarget({300, "123", "ő😀", true, 2, 3, 0x122C}).substr(17), p);
  EXPECT_EQ(param(p, "coding"), "2");
  EXPECT_EQ(param(p, "charset"), "UTF-16BE");
  EXPECT_EQ(param(p, "text"), std::string("\x01\x51\xD8\x3D\xDE\x00", 6));
  EXPECT_EQ(param(p, "udh"), std::string("\x05\x00\x03\x2C\x03\x02", 6));  // the low byte of the reference
  EXPECT_EQ(param(p, "from"), "Quorvel");
  EXPECT_EQ(param(p, "smsc"), "modem");
  p.clear();
  const SmsPart wide{300, "123", "ő😀", true, 3, 3, 0x122C, true};
  httplib::detail::parse_query_text(routed.requestTarget(wide).substr(17), p);
  EXPECT_EQ(param(p, "udh"), std::string("\x06\x08\x04\x12\x2C\x03\x03", 7));
}

TEST(Delivery, StoreUpstreamQueuesNothing) {
  Bench b("store");
  const auto id = b.accept("kept here");
  EXPECT_EQ(b.outbox->state(id), "");
  EXPECT_EQ(b.store->messages(std::nullopt, 1).at(0).status, "accepted");
}

TEST(Delivery, HandedOverThenReportedDelivered) {
  FakeSendsms kannel;
  Bench b;
  const auto id = b.accept("Hello");
  EXPECT_EQ(b.store->messages(std::nullopt, 1).at(0).status, "queued");
  EXPECT_EQ(b.worker(kannelAt(kannel.url())).runDue(), 1u);
  ASSERT_EQ(kannel.count(), 1u);
  EXPECT_EQ(param(kannel.request(0), "text"), "Hello");
  EXPECT_EQ(b.outbox->state(id), "handed over");

  const std::string ids = std::to_string(id);
  const std::string key = reportKey("key123", id, 1);
  struct Report {
    httplib::Params query;
    int status;
  };
  const Report reports[] = {
      {{{"k", "wrong"}, {"id", ids}, {"part", "1"}, {"type", "1"}}, 403},
      {{{"id", ids}, {"part", "1"}, {"type", "1"}}, 403},
      {{{"k", key}, {"id", "x"}, {"part", "1"}, {"type", "1"}}, 400},
      {{{"k", key}, {"id", ids}, {"part", "1"}}, 400},
      {{{"k", reportKey("key123", 999, 1)}, {"id", "999"}, {"part", "1"}, {"type", "1"}}, 404},
      {{{"k", key}, {"id", ids}, {"part", "1"}, {"type", "1"}, {"status", "DELIVRD"}, {"ts", "1800000100"}}, 200},
      {{{"k", key}, {"id", ids}, {"part", "1"}, {"type", "8"}, {"status", "ACK/"}}, 200},
  };
  for (const Report& r : reports) EXPECT_EQ(deliveryReport(*b.outbox, "key123", r.query).status, r.status);
  const StoredMessage m = b.store->messages(std::nullopt, 1).at(0);
  EXPECT_EQ(m.status, "delivered");
  EXPECT_EQ(m.upstreamStatus, "Kannel report 1: DELIVRD");  // the late report 8 does not hide it
  EXPECT_EQ(m.statusTime, utcText(1800000100));
}

TEST(Delivery, ReportOvertakingTheHandOverAnswerIsKept) {
  Bench b;
  const auto id = b.accept("Hello");
  ASSERT_EQ(b.outbox->parts(id, 1).size(), 1u);
  b.outbox->markSending(id, 1, b.now);
  ASSERT_TRUE(b.outbox->report(id, 1, 1, "Kannel report 1: DELIVRD", utcText(b.now + 1)));
  b.outbox->markHandedOver(id, 1, "Kannel: 202 0: Accepted for delivery", b.now + 2);
  const StoredMessage m = b.store->messages(std::nullopt, 1).at(0);
  EXPECT_EQ(m.status, "delivered");
  EXPECT_EQ(m.upstreamStatus, "Kannel report 1: DELIVRD");
}

// A refused connection is an unreachable Kannel: the real client says so,
// the queue pauses without spending the message's attempts, and the message
// goes once Kannel is back.
TEST(Delivery, KannelDownPausesTheQueueAndGoesLater) {
  Bench b;
  std::string url;
  {
    FakeSendsms gone;  // its port, free again once it has stopped
    url = gone.url();
  }
  const auto id = b.accept("later");
  auto down = b.worker(kannelAt(url));
  EXPECT_EQ(down.runDue(), 0u);
  EXPECT_EQ(down.pausedUntil(), b.now + 10);
  EXPECT_EQ(b.outbox->state(id), "queued");
  EXPECT_EQ(b.outbox->due(INT64_MAX, 1).at(0).attempts, 0);
  const std::string said = b.store->messages(std::nullopt, 1).at(0).upstreamStatus;
  EXPECT_NE(said.find("Kannel http://127.0.0.1:"), std::string::npos) << said;
  EXPECT_NE(said.find("the queue waits 10 s"), std::string::npos) << said;

  FakeSendsms kannel;
  auto worker = b.worker(kannelAt(kannel.url()));
  EXPECT_EQ(worker.runDue(), 1u);
  EXPECT_EQ(kannel.count(), 1u);
  EXPECT_EQ(b.outbox->state(id), "handed over");
}

TEST(Delivery, ErrorsBackOffThenGiveUpWithTheCreditBack) {
  FakeSendsms kannel;
  kannel.setMode(FakeSendsms::Mode::error);
  Bench b;
  const auto id = b.accept("refused");
  EXPECT_EQ(b.credits(), 99);
  auto worker = b.worker(kannelAt(kannel.url()));
  const std::int64_t waits[] = {0, 10, 20};  // 10 s, then doubled
  for (std::int64_t w : waits) {
    b.now += w - 1;
    worker.runDue();
    b.now += 1;
    worker.runDue();
  }
  EXPECT_EQ(kannel.count(), 3u);
  EXPECT_EQ(b.outbox->state(id), "failed");
  EXPECT_EQ(b.credits(), 100);
  const StoredMessage m = b.store->messages(std::nullopt, 1).at(0);
  EXPECT_EQ(m.upstreamStatus, "given up after 3 attempts: Kannel refused: 503 Temporal failure, try again later.");
  b.now += 1000;
  worker.runDue();
  EXPECT_EQ(kannel.count(), 3u);
  EXPECT_EQ(b.credits(), 100);  // returned once
}

// A given-up message returns what it cost, and never more than the 32-bit
// balance the clients read.
TEST(Delivery, GivingUpReturnsWhatTheMessageCost) {
  struct Case {
    std::string text;
    std::int64_t balanceBeforeGivingUp;  // -1: as the send left it
    std::int64_t after;
  };
  const std::vector<Case> cases = {
      {"one part", -1, 100},
      {std::string(400, 'x'), -1, 100},  // three parts, three credits back
      {std::string(400, 'x'), kMaxCredits - 1, kMaxCredits},
      {"one part", kMaxCredits, kMaxCredits},
  };
  for (const Case& c : cases) {
    Bench b;
    const auto id = b.accept(c.text);
    if (c.balanceBeforeGivingUp >= 0) b.store->setBalance("ann", Balance{false, c.balanceBeforeGivingUp});
    b.outbox->giveUp(id, "given up", b.now);
    EXPECT_EQ(b.credits(), c.after) << c.text.size();
    b.outbox->giveUp(id, "given up", b.now);  // once only
    EXPECT_EQ(b.credits(), c.after) << c.text.size();
  }
}

TEST(Delivery, TimeOutAfterAcceptNeverSendsTwice) {
  FakeSendsms kannel;
  kannel.setMode(FakeSendsms::Mode::hold);  // takes the request, answers after the client's time-out
  Bench b;
  const auto id = b.accept(std::string(200, 'x'));  // two parts
  auto worker = b.worker(kannelAt(kannel.url()));
  EXPECT_EQ(worker.runDue(), 0u);
  kannel.release();
  kannel.setMode(FakeSendsms::Mode::accept);
  EXPECT_EQ(b.outbox->state(id), "unconfirmed") << b.store->messages(std::nullopt, 1).at(0).upstreamStatus;
  b.now += 500;
  worker.runDue();
  EXPECT_EQ(kannel.count(), 1u);

  // Kannel's report shows it had part 1: part 2 follows, part 1 is not repeated.
  EXPECT_EQ(deliveryReport(*b.outbox, "key123", {{"k", reportKey("key123", id, 1)}, {"id", std::to_string(id)},
                                                  {"part", "1"}, {"type", "8"}}).status, 200);
  EXPECT_EQ(b.outbox->state(id), "queued");
  EXPECT_EQ(worker.runDue(), 1u);
  ASSERT_EQ(kannel.count(), 2u);
  const std::string first = param(kannel.request(0), "udh"), second = param(kannel.request(1), "udh");
  ASSERT_EQ(second.size(), 7u);
  EXPECT_EQ(second, first.substr(0, 6) + "\x02");  // the same reference, part 2 of 2
  EXPECT_EQ(b.outbox->state(id), "handed over");
}

TEST(Delivery, UnconfirmedWithoutReportFailsAfterTheWindowUnsent) {
  Bench b;
  const auto id = b.accept("lost answer");
  b.outbox->parts(id, 1);
  b.outbox->markSending(id, 1, b.now);  // then the gateway died mid-request
  b.restart();
  FakeSendsms kannel;
  auto worker = b.worker(kannelAt(kannel.url()));
  worker.runDue();
  EXPECT_EQ(b.outbox->state(id), "unconfirmed");
  b.now += 601;
  worker.runDue();
  EXPECT_EQ(kannel.count(), 0u);
  EXPECT_EQ(b.outbox->state(id), "failed");
  EXPECT_EQ(b.credits(), 99);  // Kannel may have sent it
}

TEST(Delivery, CrashBetweenAcceptAndHandOverLosesNothing) {
  Bench b;
  const auto id = b.accept("survives");
  b.restart();  // nothing was handed over before the end
  FakeSendsms kannel;
  EXPECT_EQ(b.worker(kannelAt(kannel.url())).runDue(), 1u);
  EXPECT_EQ(param(kannel.request(0), "text"), "survives");
  EXPECT_EQ(b.outbox->state(id), "handed over");
}

TEST(Delivery, TooManyPartsAreGivenUp) {
  FakeSendsms kannel;
  Bench b;
  b.store->setBalance("ann", Balance{false, 1000});  // 256 parts cost 256 credits
  const auto id = b.accept(std::string(153 * 256, 'x'));
  EXPECT_EQ(b.credits(), 744);
  b.worker(kannelAt(kannel.url())).runDue();
  EXPECT_EQ(kannel.count(), 0u);
  EXPECT_EQ(b.outbox->state(id), "failed");
  EXPECT_EQ(b.credits(), 1000);
}

TEST(Delivery, VersionOneStoreIsMigrated) {
  test::TempDir dir;
  const std::string path = dir.file("old.sqlite");
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, R"sql(
      CREATE TABLE accounts (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, password_hash TEXT NOT NULL,
        credits INTEGER NOT NULL CHECK (credits >= 0), unlimited INTEGER NOT NULL DEFAULT 0,
        created TEXT NOT NULL DEFAULT (datetime('now')));
      CREATE TABLE messages (id INTEGER PRIMARY KEY, time TEXT NOT NULL DEFAULT (datetime('now')),
        account_id INTEGER NOT NULL REFERENCES accounts(id), recipient TEXT NOT NULL, text TEXT NOT NULL,
        status TEXT NOT NULL);
      INSERT INTO accounts (name, password_hash, credits) VALUES ('old', 'h', 5);
      INSERT INTO messages (account_id, recipient, text, status) VALUES (1, '+3611', 'before', 'accepted');
      PRAGMA user_version = 1;)sql", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  GatewayStore store(path);
  Outbox outbox(path);
  outbox.setUpstream("kannel");
  const auto id = store.acceptMessages(1, {{"+3622", "after"}}).ids.at(0);
  const auto listed = store.messages(std::nullopt, 10);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].status, "queued");
  EXPECT_EQ(listed[1].status, "accepted");  // filed before: never sent on
  const auto due = outbox.due(INT64_MAX, 10);
  ASSERT_EQ(due.size(), 1u);
  EXPECT_EQ(due[0].id, id);
}

// A transport the test scripts: every part is recorded and answered with
// the result the test chose.
struct ScriptedKannel {
  std::vector<SmsPart> sent;
  HandOverResult answer{HandOver::accepted, "Kannel: 202 0: Accepted for delivery"};
  Transport transport() {
    return [this](const SmsPart& p) {
      sent.push_back(p);
      return answer;
    };
  }
};

const HandOverResult kUnreachable{HandOver::refused, "Kannel http://127.0.0.1:13013: Connection refused", true};
const HandOverResult kErrorAnswer{HandOver::refused, "Kannel refused: 503 Temporal failure, try again later.", false};

int reportStatus(Outbox& outbox, std::int64_t id, int part, const std::string& k, int type = 1) {
  return deliveryReport(outbox, "key123", {{"k", k}, {"id", std::to_string(id)}, {"part", std::to_string(part)},
                                           {"type", std::to_string(type)}})
      .status;
}

TEST(Reports, KeyIsGoodForItsOwnMessageAndPartOnly) {
  Bench b;
  ScriptedKannel kannel;
  const auto one = b.accept(std::string(200, 'x'));  // two parts
  const auto two = b.accept("short");
  b.worker(kannelAt("http://127.0.0.1:1/cgi-bin/sendsms"), kannel.transport()).runDue();
  ASSERT_EQ(kannel.sent.size(), 3u);
  struct Case {
    const char* what;
    std::int64_t id;
    int part;
    std::string k;
    int status;
  };
  const Case cases[] = {
      {"another part's key", one, 2, reportKey("key123", one, 1), 403},
      {"another message's key", two, 1, reportKey("key123", one, 1), 403},
      {"the static key", one, 1, "key123", 403},
      {"a key under another secret", two, 1, reportKey("other", two, 1), 403},
      {"its own key", one, 2, reportKey("key123", one, 2), 200},
  };
  for (const Case& c : cases) EXPECT_EQ(reportStatus(*b.outbox, c.id, c.part, c.k), c.status) << c.what;
  EXPECT_EQ(b.outbox->state(one), "handed over");  // part 1 never got a report it could take
  EXPECT_EQ(b.outbox->state(two), "handed over");
}

TEST(Reports, DeliveredOrFailedPartKeepsItsWord) {
  struct Case {
    std::vector<int> types;
    const char* state;
  };
  const Case cases[] = {
      {{1, 2}, "delivered"}, {{1, 16}, "delivered"}, {{8, 1, 2}, "delivered"},
      {{2, 1}, "failed"},    {{16, 8}, "failed"},    {{4, 8}, "handed over"},
  };
  Bench b;
  for (const Case& c : cases) {
    const auto id = b.accept("one part");
    b.outbox->parts(id, 1);
    b.outbox->markSending(id, 1, b.now);
    b.outbox->markHandedOver(id, 1, "Kannel: 202", b.now);
    for (int type : c.types)
      ASSERT_TRUE(b.outbox->report(id, 1, type, "Kannel report " + std::to_string(type), utcText(b.now)));
    EXPECT_EQ(b.outbox->state(id), c.state) << testing::PrintToString(c.types);
  }
}

// A store whose queue an earlier gateway filled: one long message with part 1
// handed over (its report URL holds the static key, its header the 8-bit
// id & 0xFF) and part 2 still queued.
TEST(Reports, PartsHandedOverBeforeTheUpgradeKeepTheirFormOnly) {
  test::TempDir dir;
  const std::string path = dir.file("gateway.sqlite");
  GatewayStore store(path);  // the queue's tables as the earlier gateway made them
  store.addAccount("ann", "hash", Balance{false, 10});
  const std::int64_t account = store.findAccount("ann")->id;
  const std::string text = std::string(153, 'a') + std::string(147, 'b');  // two parts of 153, three of 152
  std::int64_t old = 0;
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "INSERT INTO delivery_upstream VALUES (1, 'kannel')", nullptr, nullptr, nullptr), 0);
    old = store.acceptMessages(account, {{"+3630111", text}}).ids.at(0);
    const std::string parts = "INSERT INTO outbox_parts VALUES (" + std::to_string(old) + ", 1, 'handed over'), (" +
                              std::to_string(old) + ", 2, 'queued')";
    ASSERT_EQ(sqlite3_exec(db, parts.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  Outbox outbox(path);
  Outbox again(path);  // a second opening finds the queue up to date
  EXPECT_TRUE(outbox.takesStaticKey(old, 1));
  EXPECT_FALSE(outbox.takesStaticKey(old, 2));
  EXPECT_EQ(reportStatus(outbox, old, 2, "key123", 8), 403);
  EXPECT_EQ(reportStatus(outbox, old, 1, "key123", 8), 200);
  EXPECT_EQ(outbox.reference(old, "+3630111"), std::nullopt);
  EXPECT_EQ(outbox.expired(systemClock() + 1, 10), std::vector<std::int64_t>{old});  // its acceptance time was kept

  ScriptedKannel kannel;
  const auto fresh = store.acceptMessages(account, {{"+3630111", text}}).ids.at(0);
  const std::int64_t now = systemClock();
  DeliveryWorker(outbox, kannelAt("http://127.0.0.1:1/"), "http://gw", [&] { return now; }, kannel.transport())
      .runDue();
  ASSERT_EQ(kannel.sent.size(), 3u);
  // The rest goes as the first went.
  EXPECT_EQ(concatenationHeader(kannel.sent[0]), (std::string{5, 0, 3, static_cast<char>(old & 0xFF), 2, 2}));
  EXPECT_EQ(kannel.sent[0].text, std::string(147, 'b'));
  EXPECT_EQ(kannel.sent[1].messageId, fresh);
  EXPECT_TRUE(kannel.sent[1].wideReference);
}

TEST(Reference, ConsecutiveLongMessagesToOneRecipientNeverShareOne) {
  Bench b;
  b.store->setBalance("ann", Balance{false, 1000});
  ScriptedKannel kannel;
  const std::string longText(400, 'x');  // three parts either way
  const auto first = b.accept("+36 30 123-4567", longText);
  // 255 messages to others in between: an 8-bit id & 0xFF would come round.
  const std::vector<NewMessage> others(255, NewMessage{"+49 151 000", "hi"});
  b.store->acceptMessages(b.account, others);
  const auto second = b.accept("+36301234567", longText);
  const auto elsewhere = b.accept("+49 151 000", longText);
  const auto third = b.accept("+36 30 1234567", std::string(305, 'y'));  // 2 parts of 153, 3 of 152
  ASSERT_EQ(second - first, 256);
  auto worker = b.worker(kannelAt("http://127.0.0.1:1/"), kannel.transport());
  while (worker.runDue() > 0) {
  }
  std::map<std::int64_t, std::vector<SmsPart>> byMessage;
  for (const SmsPart& p : kannel.sent) byMessage[p.messageId].push_back(p);
  for (auto id : {first, second, elsewhere}) {
    const auto& parts = byMessage[id];
    ASSERT_EQ(parts.size(), 3u);
    for (const SmsPart& p : parts) {
      EXPECT_TRUE(p.wideReference);
      EXPECT_EQ(p.reference, parts[0].reference);
      EXPECT_EQ(concatenationHeader(p), (std::string{6, 8, 4, static_cast<char>(p.reference >> 8),
                                                     static_cast<char>(p.reference & 0xFF), 3,
                                                     static_cast<char>(p.part)}));
    }
    EXPECT_EQ(parts[0].text.size(), 152u);
  }
  const std::uint16_t r = byMessage[first][0].reference;
  EXPECT_EQ(byMessage[second][0].reference, static_cast<std::uint16_t>(r + 1));
  // Where the 16-bit header would cost a part more than was paid, the 8-bit
  // one goes, with the low byte of the recipient's next reference.
  const auto& shortened = byMessage[third];
  ASSERT_EQ(shortened.size(), 2u);
  EXPECT_FALSE(shortened[0].wideReference);
  EXPECT_EQ(shortened[0].reference, static_cast<std::uint16_t>(r + 2));
  EXPECT_EQ(concatenationHeader(shortened[1]), (std::string{5, 0, 3, static_cast<char>((r + 2) & 0xFF), 2, 2}));
}

// Kannel unreachable or answering errors for longer than a message's
// validity: the message stays queued, with its credit, until the validity
// ends; then it is given up and the credit returned. An unreachable Kannel
// costs it no attempts.
TEST(Validity, MessageIsGivenUpByAgeWithItsCreditBack) {
  struct Case {
    const char* what;
    HandOverResult answer;
    bool spendsAttempts;
  };
  const Case cases[] = {{"unreachable", kUnreachable, false}, {"error answers", kErrorAnswer, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench b;
    ScriptedKannel kannel;
    kannel.answer = c.answer;
    UpstreamConfig config = kannelAt("http://127.0.0.1:1/");
    config.timings = DeliveryTimings{};
    config.timings.validity = 90 * 60;
    const auto accepted = b.now;
    const auto id = b.accept("patience");
    auto worker = b.worker(config, kannel.transport());
    for (; b.now < accepted + 89 * 60; b.now += 60) worker.runDue();
    EXPECT_EQ(b.outbox->state(id), "queued");
    EXPECT_EQ(b.credits(), 99);
    const auto due = b.outbox->due(INT64_MAX, 1);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].attempts > 0, c.spendsAttempts) << due[0].attempts;
    const std::size_t tries = kannel.sent.size();
    for (; b.now < accepted + 92 * 60; b.now += 60) worker.runDue();
    EXPECT_EQ(b.outbox->state(id), "failed");
    EXPECT_EQ(b.credits(), 100);
    EXPECT_EQ(b.store->messages(std::nullopt, 1).at(0).upstreamStatus,
              "given up: not handed over within its validity of 5400 s");
    EXPECT_LE(kannel.sent.size(), tries + 1);
  }
}

TEST(Outage, UnreachableKannelPausesTheWholeQueue) {
  Bench b;
  ScriptedKannel kannel;
  kannel.answer = kUnreachable;
  UpstreamConfig config = kannelAt("http://127.0.0.1:1/");
  config.timings = DeliveryTimings{};  // back-off 5 s doubling to 10 minutes
  const std::int64_t ids[] = {b.accept("one"), b.accept("two"), b.accept("three")};
  auto worker = b.worker(config, kannel.transport());
  worker.runDue();
  EXPECT_EQ(kannel.sent.size(), 1u);  // one try for the whole queue
  EXPECT_EQ(worker.pausedUntil(), b.now + 5);
  const std::int64_t start = b.now;
  for (; b.now < start + 3600; b.now += 5) worker.runDue();  // an hour's outage
  EXPECT_LE(kannel.sent.size(), 15u);
  for (const QueuedMessage& m : b.outbox->due(INT64_MAX, 10)) EXPECT_EQ(m.attempts, 0) << m.id;
  EXPECT_NE(b.store->messages(std::nullopt, 3).back().upstreamStatus.find("the queue waits"), std::string::npos);

  kannel.answer = HandOverResult{HandOver::accepted, "Kannel: 202 0: Accepted for delivery"};
  b.now = worker.pausedUntil();
  EXPECT_EQ(worker.runDue(), 3u);
  for (auto id : ids) EXPECT_EQ(b.outbox->state(id), "handed over");
  EXPECT_EQ(worker.pausedUntil(), 0);
  EXPECT_EQ(b.credits(), 97);
}

// Through the real Kannel: the parts reach fakesmsc with the 16-bit header,
// and the reports Kannel sends back, each keyed for its part, are taken.
TEST(KannelEndToEnd, SixteenBitHeaderReachesTheSmscAndKeyedReportsComeBack) {
  test::TempDir dir;
  test::KannelHarness kannel(dir.file(""));
  if (!kannel.missing().empty()) GTEST_SKIP() << kannel.missing();
  kannel.start();
  EmbeddedOptions options;
  options.cost = HashCost{10, 8, 1};
  options.upstream = kannel.upstream();
  EmbeddedGateway gw(dir.file("gateway.sqlite"), options);
  const std::string text = std::string(152, 'a') + std::string(152, 'b') + "end";  // three parts of 152
  const auto id = gw.store().acceptMessages(gw.store().findAccount("nobody")->id, {{"+36301234567", text}}).ids.at(0);
  gw.delivery()->wake();

  const std::vector<test::SmscMessage> got = kannel.waitForMessages(3);
  ASSERT_EQ(got.size(), 3u);
  std::vector<std::string> headers;
  for (const auto& m : got) headers.push_back(test::percentDecode(m.udh));
  // Parts may reach the SMSC in any order; the header's last byte numbers them.
  std::sort(headers.begin(), headers.end(),
            [](const std::string& a, const std::string& b) { return a.back() < b.back(); });
  for (std::size_t i = 0; i < headers.size(); ++i) {
    ASSERT_EQ(headers[i].size(), 7u);
    EXPECT_EQ(headers[i].substr(0, 3), std::string("\x06\x08\x04", 3));
    EXPECT_EQ(headers[i].substr(3, 2), headers[0].substr(3, 2));  // one reference for the message
    EXPECT_EQ(headers[i].substr(5), (std::string{3, static_cast<char>(i + 1)}));
  }
  std::string joined;
  for (const auto& m : got) joined += test::percentDecode(m.data);
  EXPECT_EQ(joined.size(), text.size());  // nothing cut off

  // Reports come back on Kannel's own schedule: polled, with a bound.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (gw.outbox().state(id) != "delivered" && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // polling interval, not a wait for an event
  EXPECT_EQ(gw.outbox().state(id), "delivered") << gw.store().messages(std::nullopt, 1).at(0).upstreamStatus;
}

} // namespace
} // namespace quorvel::gateway
