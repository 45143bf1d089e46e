// The gateway's SQLite store: accounts with their balances and every accepted message.
#include "gateway/gatewayStore.h"

#include "gateway/gatewayFiles.h"
#include "gateway/gatewayOutbox.h"
#include "util/unSMSParts.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace quorvel::gateway {

namespace {

// 2: the outbound queue (a store of version 1 gains its empty tables; the
// messages it holds stay as they were and are not sent on).
// 3: each message's SMS parts and cost (1 and 1 for those filed before, which
// cost one credit each), each account's code page (windows-1252 before).
constexpr int kSchemaVersion = 3;
constexpr int kBusyTimeoutMs = 10000;

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  password_hash TEXT NOT NULL,
  credits INTEGER NOT NULL CHECK (credits >= 0),
  unlimited INTEGER NOT NULL DEFAULT 0 CHECK (unlimited IN (0, 1)),
  created TEXT NOT NULL DEFAULT (datetime('now')),
  charset TEXT NOT NULL DEFAULT 'windows-1252'
);
CREATE TABLE IF NOT EXISTS messages (
  id INTEGER PRIMARY KEY,
  time TEXT NOT NULL DEFAULT (datetime('now')),
  account_id INTEGER NOT NULL REFERENCES accounts(id),
  recipient TEXT NOT NULL,
  text TEXT NOT NULL,
  status TEXT NOT NULL,
  parts INTEGER NOT NULL DEFAULT 1,
  cost INTEGER NOT NULL DEFAULT 1
);
CREATE INDEX IF NOT EXISTS messages_by_account ON messages (account_id, id);
)sql";

// Columns that stores of older versions lack; CREATE TABLE IF NOT EXISTS
// leaves their tables as they were.
struct AddedColumn {
  const char* table;
  const char* column;
  const char* definition;
};
constexpr AddedColumn kAddedColumns[] = {
    {"accounts", "charset", "TEXT NOT NULL DEFAULT 'windows-1252'"},
    {"messages", "parts", "INTEGER NOT NULL DEFAULT 1"},
    {"messages", "cost", "INTEGER NOT NULL DEFAULT 1"},
};

// One prepared statement borrowed from a connection's cache; reset when done
// so the next user finds it ready.
class Statement {
public:
  Statement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
  ~Statement() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int index, std::int64_t value) {
    check(sqlite3_bind_int64(stmt_, index, value));
    return *this;
  }
  Statement& bind(int index, const std::string& value) {
    check(sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT));
    return *this;
  }
  /// True while a row is available.
  bool step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    check(rc);
    return false;
  }
  std::int64_t integer(int column) { return sqlite3_column_int64(stmt_, column); }
  std::string text(int column) {
    const auto* p = sqlite3_column_text(stmt_, column);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
             : std::string();
  }

private:
  void check(int rc) {
    if (rc != SQLITE_OK) throw StoreError(sqlite3_errmsg(db_));
  }
  sqlite3* db_;
  sqlite3_stmt* stmt_;
};

Balance balanceFrom(Statement& s, int creditsColumn) {
  return Balance{s.integer(creditsColumn + 1) != 0, s.integer(creditsColumn)};
}

} // namespace

// One SQLite connection with its cache of prepared statements.
class GatewayStore::Connection {
public:
  explicit Connection(const std::string& path) {
    const int rc = sqlite3_open_v2(path.c_str(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
      const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close(db_);
      throw StoreError("cannot open the store " + path + ": " + why);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    exec("PRAGMA foreign_keys = ON; PRAGMA synchronous = FULL;");
  }
  ~Connection() {
    for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }

  void exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string why = message ? message : sqlite3_errmsg(db_);
      sqlite3_free(message);
      throw StoreError(why);
    }
  }

  Statement prepare(const char* sql) {
    auto it = cache_.find(sql);
    if (it == cache_.end()) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
        throw StoreError(sqlite3_errmsg(db_));
      it = cache_.emplace(sql, stmt).first;
    }
    return Statement(db_, it->second);
  }

  std::int64_t lastId() { return sqlite3_last_insert_rowid(db_); }
  /// True outside a transaction: also after an error that rolled one back.
  bool autocommit() { return sqlite3_get_autocommit(db_) != 0; }
  int changes() { return sqlite3_changes(db_); }

private:
  sqlite3* db_ = nullptr;
  std::map<const char*, sqlite3_stmt*> cache_; // keyed by the literal's address
};

// A connection borrowed from the pool for the length of one operation.
class GatewayStore::Lease {
public:
  Lease(GatewayStore& store, std::unique_ptr<Connection> c) : store_(store), c_(std::move(c)) {}
  ~Lease() { store_.giveBack(std::move(c_)); }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  Connection* operator->() { return c_.get(); }

private:
  GatewayStore& store_;
  std::unique_ptr<Connection> c_;
};

namespace {

// Rolls back unless committed, so an exception leaves the store unchanged.
template <class C>
class Transaction {
public:
  Transaction(C& c, bool write) : c_(c) { c_->exec(write ? "BEGIN IMMEDIATE" : "BEGIN"); }
  ~Transaction() {
    if (!done_) {
      try {
        c_->exec("ROLLBACK");
      } catch (const StoreError&) {
        // Nothing more can be done; SQLite rolls back on its own when the
        // statement that failed already ended the transaction.
      }
    }
  }
  void commit() {
    c_->exec("COMMIT");
    done_ = true;
  }

private:
  C& c_;
  bool done_ = false;
};

template <class C>
void insertAccount(C& c, const std::string& name, const std::string& passwordHash, const Balance& balance) {
  c->prepare("INSERT INTO accounts (name, password_hash, credits, unlimited) VALUES (?, ?, ?, ?)")
      .bind(1, name)
      .bind(2, passwordHash)
      .bind(3, balance.credits)
      .bind(4, std::int64_t{balance.unlimited})
      .step();
}

// Brings the tables of an older store up to kSchema.
template <class C>
void addMissingColumns(C& c) {
  for (const AddedColumn& added : kAddedColumns) {
    Statement info = c->prepare("SELECT 1 FROM pragma_table_info(?) WHERE name = ?");
    if (info.bind(1, std::string(added.table)).bind(2, std::string(added.column)).step()) continue;
    c->exec((std::string("ALTER TABLE ") + added.table + " ADD COLUMN " + added.column + " " + added.definition).c_str());
  }
}

} // namespace

GatewayStore::GatewayStore(const std::string& path, StoreOptions options) : path_(path), options_(options) {
  // The file and its -wal and -shm companions hold password hashes. SQLite
  // gives the companions the mode of the database file, so the file is made
  // private before SQLite first opens it.
  try {
    createPrivateFolders(std::filesystem::path(path).parent_path().string());
    ensurePrivateFile(path);
  } catch (const PrivateFileError& e) {
    throw StoreError(std::string("cannot open the store: ") + e.what());
  }

  Lease c = lease();
  c->exec("PRAGMA journal_mode = WAL");
  {
    std::lock_guard write(writeMutex_);
    Transaction tx(c, true);
    Statement version = c->prepare("PRAGMA user_version");
    const std::int64_t found = version.step() ? version.integer(0) : 0;
    if (found > kSchemaVersion)
      throw StoreError("the store " + path + " was written by a newer gateway (schema " + std::to_string(found) + ")");
    c->exec(kSchema);
    addMissingColumns(c);
    c->exec(outboxSchema());
    c->exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    tx.commit();
  }
}

GatewayStore::~GatewayStore() = default;

GatewayStore::Lease GatewayStore::lease() {
  {
    std::lock_guard lock(poolMutex_);
    if (!idle_.empty()) {
      auto c = std::move(idle_.back());
      idle_.pop_back();
      return Lease(*this, std::move(c));
    }
  }
  return Lease(*this, std::make_unique<Connection>(path_));
}

void GatewayStore::giveBack(std::unique_ptr<Connection> connection) {
  std::lock_guard lock(poolMutex_);
  idle_.push_back(std::move(connection));
}

void GatewayStore::addAccount(const std::string& name, const std::string& passwordHash, const Balance& balance) {
  std::lock_guard write(writeMutex_);
  Lease c = lease();
  Transaction tx(c, true);
  Statement exists = c->prepare("SELECT 1 FROM accounts WHERE name = ?");
  if (exists.bind(1, name).step()) throw StoreError("an account named \"" + name + "\" already exists");
  insertAccount(c, name, passwordHash, balance);
  tx.commit();
}

bool GatewayStore::addAccountIfNoneExists(const std::string& name, const std::string& passwordHash,
                                          const Balance& balance) {
  std::lock_guard write(writeMutex_);
  Lease c = lease();
  Transaction tx(c, true);
  if (c->prepare("SELECT 1 FROM accounts LIMIT 1").step()) return false;
  insertAccount(c, name, passwordHash, balance);
  tx.commit();
  return true;
}

bool GatewayStore::setBalance(const std::string& name, const Balance& balance) {
  std::lock_guard write(writeMutex_);
  Lease c = lease();
  c->prepare("UPDATE accounts SET credits = ?, unlimited = ? WHERE name = ?")
      .bind(1, balance.credits)
      .bind(2, std::int64_t{balance.unlimited})
      .bind(3, name)
      .step();
  return c->changes() > 0;
}

bool GatewayStore::setCharset(const std::string& name, const std::string& charset) {
  std::lock_guard write(writeMutex_);
  Lease c = lease();
  c->prepare("UPDATE accounts SET charset = ? WHERE name = ?").bind(1, charset).bind(2, name).step();
  return c->changes() > 0;
}

bool GatewayStore::setPasswordHash(std::int64_t accountId, const std::string& passwordHash) {
  std::lock_guard write(writeMutex_);
  Lease c = lease();
  c->prepare("UPDATE accounts SET password_hash = ? WHERE id = ?").bind(1, passwordHash).bind(2, accountId).step();
  return c->changes() > 0;
}

std::optional<Account> GatewayStore::findAccount(const std::string& name) {
  Lease c = lease();
  Statement s = c->prepare("SELECT id, name, password_hash, credits, unlimited, charset FROM accounts WHERE name = ?");
  if (!s.bind(1, name).step()) return std::nullopt;
  return Account{s.integer(0), s.text(1), s.text(2), balanceFrom(s, 3), s.text(5)};
}

std::optional<Balance> GatewayStore::balance(std::int64_t accountId) {
  Lease c = lease();
  Statement s = c->prepare("SELECT credits, unlimited FROM accounts WHERE id = ?");
  if (!s.bind(1, accountId).step()) return std::nullopt;
  return balanceFrom(s, 0);
}

std::vector<Account> GatewayStore::accounts() {
  Lease c = lease();
  Statement s = c->prepare("SELECT id, name, password_hash, credits, unlimited, charset FROM accounts ORDER BY name");
  std::vector<Account> out;
  while (s.step()) out.push_back(Account{s.integer(0), s.text(1), s.text(2), balanceFrom(s, 3), s.text(5)});
  return out;
}

// One caller's batch on its way through the commit queue.
struct GatewayStore::Batch : CommitQueue::Entry {
  Batch(std::int64_t account, const std::vector<NewMessage>& m) : accountId(account), messages(m) {}
  std::int64_t accountId;
  const std::vector<NewMessage>& messages;
  AcceptResult result;
};

namespace {

// Files one batch inside the transaction held on \p c.
template <class C>
AcceptResult fileBatch(C& c, std::int64_t accountId, const std::vector<NewMessage>& messages) {
  // Read the balance only once the write lock is held: no other writer can
  // spend it between this read and the update below.
  Balance before;
  {
    Statement s = c->prepare("SELECT credits, unlimited FROM accounts WHERE id = ?");
    if (!s.bind(1, accountId).step()) throw StoreError("no account with id " + std::to_string(accountId));
    before = balanceFrom(s, 0);
  }
  AcceptResult result{{}, before};
  result.ids.reserve(messages.size());
  std::int64_t spent = 0;
  for (const NewMessage& m : messages) {
    const auto parts = static_cast<std::int64_t>(m.parts ? m.parts : smsParts(m.text).parts);
    const std::int64_t cost = before.unlimited ? 0 : parts;
    // In order: the first message the credits left cannot pay for ends the
    // batch, so that what was sent is always the batch's beginning.
    if (spent + cost > before.credits && !before.unlimited) break;
    c->prepare("INSERT INTO messages (account_id, recipient, text, status, parts, cost) "
               "VALUES (?, ?, ?, 'accepted', ?, ?)")
        .bind(1, accountId)
        .bind(2, m.recipient)
        .bind(3, m.text)
        .bind(4, parts)
        .bind(5, cost)
        .step();
    result.ids.push_back(c->lastId());
    spent += cost;
  }
  if (spent > 0) {
    c->prepare("UPDATE accounts SET credits = credits - ? WHERE id = ?").bind(1, spent).bind(2, accountId).step();
    result.balance.credits -= spent;
  }
  return result;
}

} // namespace

AcceptResult GatewayStore::acceptMessages(std::int64_t accountId, const std::vector<NewMessage>& messages) {
  Batch batch(accountId, messages);
  if (options_.groupCommit) {
    commits_.submit(batch, [this](CommitQueue::Group& group) { commitBatches(group); });
  } else {
    CommitQueue::Group alone{&batch};
    commitBatches(alone);
  }
  if (batch.error) std::rethrow_exception(batch.error);
  return std::move(batch.result);
}

// Each batch of the group in a savepoint of its own, so that one that fails
// leaves the others of its group standing; one commit for them all.
void GatewayStore::commitBatches(CommitQueue::Group& group) {
  std::lock_guard write(writeMutex_);
  Lease c = lease();
  Transaction tx(c, true);
  for (CommitQueue::Entry* entry : group) {
    auto& batch = static_cast<Batch&>(*entry);
    c->exec("SAVEPOINT batch");
    try {
      batch.result = fileBatch(c, batch.accountId, batch.messages);
      c->exec("RELEASE batch");
    } catch (...) {
      batch.error = std::current_exception();
      // An error that ended the whole transaction takes the group with it.
      if (c->autocommit()) throw;
      c->exec("ROLLBACK TO batch");
      c->exec("RELEASE batch");
    }
  }
  tx.commit();
  ++batchCommits_;
}

// A queued message shows its delivery state instead of "accepted".
#define kStateColumns "coalesce(o.state, m.status), coalesce(o.upstream_status, ''), coalesce(o.status_time, '')"
#define kOutboxJoin "LEFT JOIN outbox o ON o.message_id = m.id"

std::vector<StoredMessage> GatewayStore::messages(const std::optional<std::string>& account, std::size_t limit) {
  Lease c = lease();
  const auto cap = static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX));
  std::vector<StoredMessage> out;
  auto collect = [&](Statement& s) {
    while (s.step())
      out.push_back({s.integer(0), s.text(1), s.text(2), s.text(3), s.text(4), s.text(5), s.text(6), s.text(7),
                     s.integer(8), s.integer(9)});
  };
  if (account) {
    Statement s = c->prepare(
        "SELECT m.id, m.time, a.name, m.recipient, m.text, " kStateColumns ", m.parts, m.cost FROM messages m "
        "JOIN accounts a ON a.id = m.account_id " kOutboxJoin " WHERE a.name = ? ORDER BY m.id DESC LIMIT ?");
    s.bind(1, *account).bind(2, cap);
    collect(s);
  } else {
    Statement s = c->prepare(
        "SELECT m.id, m.time, a.name, m.recipient, m.text, " kStateColumns ", m.parts, m.cost FROM messages m "
        "JOIN accounts a ON a.id = m.account_id " kOutboxJoin " ORDER BY m.id DESC LIMIT ?");
    s.bind(1, cap);
    collect(s);
  }
  return out;
}

#undef kStateColumns
#undef kOutboxJoin

std::int64_t GatewayStore::messageCount() {
  Lease c = lease();
  Statement s = c->prepare("SELECT count(*) FROM messages");
  return s.step() ? s.integer(0) : 0;
}

std::string defaultStorePath() {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
    base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home)
    base = std::filesystem::path(home) / ".local" / "share";
  else
    return {};
  return (base / "quorvel" / "gateway.sqlite").string();
}

} // namespace quorvel::gateway
