// The store keeps what it was given across restarts and refuses what would break it.
#include "gateway/gatewayDefaults.h"
#include "gateway/gatewayEmbedded.h"
#include "gateway/gatewayOutbox.h"

#include "gatewayTestUtil.h"
#include "tempDir.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

namespace quorvel::gateway {
namespace {

using test::payload;

const HashCost kCost{test::kTestLog2N, 8, 1};

TEST(GatewayStore, RestartKeepsAccountsAndMessages) {
  test::TempDir dir;
  const std::string path = dir.file("gateway.sqlite");
  const std::string send =
      "login=nobody&password=pqr456&action=sendMessages&recepient0=%2B3611&messageData0=first"
      "&recepient1=%2B3622&messageData1=first&messageCount=2\r\n";
  {
    EmbeddedGateway gateway(path, EmbeddedOptions{"127.0.0.1", 0, true, kCost});
    gateway.store().addAccount("ann", hashPassword("secret", kCost), Balance{true, 0});
    httplib::Client client("127.0.0.1", gateway.port());
    ASSERT_EQ(client.Post("/kavri", send, "application/x-www-form-urlencoded")->status, 200);
  }
  {
    EmbeddedGateway gateway(path, EmbeddedOptions{"127.0.0.1", 0, true, kCost});
    const auto accounts = gateway.store().accounts();
    ASSERT_EQ(accounts.size(), 2u);  // no second default account
    EXPECT_EQ(accounts[0].name, "ann");
    EXPECT_EQ(accounts[0].balance, (Balance{true, 0}));
    EXPECT_EQ(accounts[1].name, "nobody");
    EXPECT_EQ(accounts[1].balance, (Balance{false, 98}));

    const auto messages = gateway.store().messages(std::nullopt, 10);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].recipient, "+3622");
    EXPECT_EQ(messages[1].recipient, "+3611");
    EXPECT_EQ(messages[1].text, "first");
    EXPECT_EQ(messages[1].time.size(), 19u);  // YYYY-MM-DD HH:MM:SS

    httplib::Client client("127.0.0.1", gateway.port());
    auto r = client.Post("/kavri", "login=nobody&password=pqr456&action=getCredits&t=2", "application/x-www-form-urlencoded");
    EXPECT_EQ(payload(r->body), "98");
  }
}

TEST(GatewayStore, DefaultAccountOnlyInAnEmptyStore) {
  test::TempDir dir;
  GatewayStore store(dir.file("a/b/gateway.sqlite"));  // folders are created
  EXPECT_TRUE(addDefaultAccountIfEmpty(store, kCost));
  EXPECT_FALSE(addDefaultAccountIfEmpty(store, kCost));
  auto nobody = store.findAccount("nobody");
  ASSERT_TRUE(nobody);
  EXPECT_EQ(nobody->balance, (Balance{false, 100}));
  EXPECT_TRUE(verifyPassword("pqr456", nobody->passwordHash));
  EXPECT_EQ(nobody->passwordHash.find("pqr456"), std::string::npos);

  test::TempDir other;
  GatewayStore used(other.file("gateway.sqlite"));
  used.addAccount("ann", hashPassword("x", kCost), Balance{});
  EXPECT_FALSE(addDefaultAccountIfEmpty(used, kCost));
  EXPECT_FALSE(used.findAccount("nobody"));
}

TEST(GatewayStore, RefusesDuplicatesAndUnknownAccounts) {
  test::TempDir dir;
  GatewayStore store(dir.file("gateway.sqlite"));
  store.addAccount("ann", hashPassword("x", kCost), Balance{false, 3});
  EXPECT_THROW(store.addAccount("ann", hashPassword("y", kCost), Balance{}), StoreError);
  EXPECT_TRUE(verifyPassword("x", store.findAccount("ann")->passwordHash));
  EXPECT_FALSE(store.setBalance("bob", Balance{false, 1}));
  EXPECT_THROW(store.acceptMessages(12345, {{"1", "a"}}), StoreError);
  EXPECT_EQ(store.messageCount(), 0);
}

// Makes the store fail when \p recipient is filed, as a full disk would midway.
void failOnRecipient(const std::string& path, const std::string& recipient) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const std::string sql = "CREATE TRIGGER fail BEFORE INSERT ON messages WHEN NEW.recipient = '" + recipient +
                          "' BEGIN SELECT RAISE(ABORT, 'disk trouble'); END;";
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// A batch is one transaction: filed and paid for whole, or not at all when
// the store fails in its middle.
TEST(GatewayStore, BatchIsFiledWholeOrNotAtAll) {
  test::TempDir dir;
  const std::string path = dir.file("gateway.sqlite");
  GatewayStore store(path);
  store.addAccount("ann", hashPassword("pw", kCost), Balance{false, 5000});
  const auto id = store.findAccount("ann")->id;
  failOnRecipient(path, "+49poison");

  std::vector<NewMessage> batch;
  for (int i = 0; i < 3000; ++i) batch.push_back({"+49" + std::to_string(i), "text " + std::to_string(i)});
  const std::uint64_t commits = store.batchCommits();
  EXPECT_EQ(store.acceptMessages(id, batch).ids.size(), 3000u);
  EXPECT_EQ(store.batchCommits(), commits + 1);  // one transaction for the whole batch

  batch[1500].recipient = "+49poison";
  EXPECT_THROW(store.acceptMessages(id, batch), StoreError);
  EXPECT_EQ(store.messageCount(), 3000);
  EXPECT_EQ(store.balance(id), (Balance{false, 2000}));

  // Through the service: an error answer, nothing filed, nothing paid.
  GatewayService service(store, kCost);
  const Answer a = service.handle(
      "login=ann&password=pw&action=sendMessages&recepient0=1&messageData0=a&recepient1=%2B49poison&messageData1=b"
      "&messageCount=2");
  EXPECT_EQ(a.status, 500);
  EXPECT_NE(a.body.find("[ERROR]"), std::string::npos);
  EXPECT_NE(payload(a.body).find("disk trouble"), std::string::npos) << a.body;
  EXPECT_EQ(store.messageCount(), 3000);
  EXPECT_EQ(store.balance(id), (Balance{false, 2000}));
}

// Stores of schema 1 (no queue) and 2 (the queue) open and gain each
// message's parts and cost and each account's code page.
TEST(GatewayStore, OlderStoresAreMigrated) {
  const char* const v1 = R"sql(
    CREATE TABLE accounts (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, password_hash TEXT NOT NULL,
      credits INTEGER NOT NULL CHECK (credits >= 0), unlimited INTEGER NOT NULL DEFAULT 0,
      created TEXT NOT NULL DEFAULT (datetime('now')));
    CREATE TABLE messages (id INTEGER PRIMARY KEY, time TEXT NOT NULL DEFAULT (datetime('now')),
      account_id INTEGER NOT NULL REFERENCES accounts(id), recipient TEXT NOT NULL, text TEXT NOT NULL,
      status TEXT NOT NULL);
    INSERT INTO accounts (name, password_hash, credits) VALUES ('old', 'h', 5);
    INSERT INTO messages (account_id, recipient, text, status) VALUES (1, '+3611', ')sql";
  for (int version : {1, 2}) {
    test::TempDir dir;
    const std::string path = dir.file("old.sqlite");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string sql = v1 + std::string(400, 'a') + "', 'accepted');" +
                            (version == 2 ? outboxSchema() : "") + "PRAGMA user_version = " + std::to_string(version);
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);

    GatewayStore store(path);
    const auto old = store.messages(std::nullopt, 1).at(0);
    EXPECT_EQ(old.parts, 1) << version;  // it cost one credit, whatever its length
    EXPECT_EQ(old.cost, 1) << version;
    EXPECT_EQ(store.findAccount("old")->charset, "windows-1252");
    store.acceptMessages(1, {{"+3622", std::string(400, 'b')}});
    const auto fresh = store.messages(std::nullopt, 1).at(0);
    EXPECT_EQ(fresh.parts, 3);
    EXPECT_EQ(fresh.cost, 3);
    EXPECT_EQ(store.balance(1), (Balance{false, 2}));
    GatewayStore reopened(path);  // a migrated store opens as it is
    EXPECT_EQ(reopened.messages(std::nullopt, 2).at(1).cost, 1);
  }
}

TEST(GatewayStore, FileIsPrivateToItsOwner) {
  test::TempDir dir;
  const std::string path = dir.file("gateway.sqlite");
  GatewayStore store(path);
  const auto perms = std::filesystem::status(path).permissions();
  EXPECT_EQ(perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
            std::filesystem::perms::none);
}

TEST(GatewayStore, DefaultPathFollowsXdgDataHome) {
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string restore = saved ? saved : "";
  setenv("XDG_DATA_HOME", "/somewhere", 1);
  EXPECT_EQ(defaultStorePath(), "/somewhere/quorvel/gateway.sqlite");
  unsetenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  ASSERT_TRUE(home);
  EXPECT_EQ(defaultStorePath(), std::string(home) + "/.local/share/quorvel/gateway.sqlite");
  if (saved) setenv("XDG_DATA_HOME", restore.c_str(), 1);
}

} // namespace
} // namespace quorvel::gateway
