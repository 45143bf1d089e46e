// The durable outbound queue on the store file.
#include "gateway/gatewayOutbox.h"

#include "gateway/gatewayStore.h"

#include <sqlite3.h>

#include <ctime>

namespace quorvel::gateway {

namespace {

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS delivery_upstream (
  id INTEGER PRIMARY KEY CHECK (id = 1),
  kind TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS outbox (
  message_id INTEGER PRIMARY KEY REFERENCES messages(id),
  state TEXT NOT NULL,
  attempts INTEGER NOT NULL DEFAULT 0,
  next_try INTEGER NOT NULL DEFAULT 0,
  unsure_since INTEGER,
  upstream_status TEXT NOT NULL DEFAULT '',
  status_time TEXT NOT NULL DEFAULT (datetime('now'))
);
CREATE INDEX IF NOT EXISTS outbox_by_state ON outbox (state, next_try);
CREATE TABLE IF NOT EXISTS outbox_parts (
  message_id INTEGER NOT NULL REFERENCES outbox(message_id),
  part INTEGER NOT NULL,
  state TEXT NOT NULL,
  PRIMARY KEY (message_id, part)
) WITHOUT ROWID;
CREATE TRIGGER IF NOT EXISTS queue_for_upstream AFTER INSERT ON messages
WHEN (SELECT kind FROM delivery_upstream WHERE id = 1) = 'kannel'
BEGIN
  INSERT INTO outbox (message_id, state) VALUES (NEW.id, 'queued');
END;
)sql";

// The queue's own schema version, kept in outbox_schema so that it moves
// independently of the store's. 2: each message's time of acceptance and
// concatenation reference, a reference counter per number, and which parts
// went out with the report URL of the one static key.
constexpr int kOutboxVersion = 2;

const char* const kToVersion2 = R"sql(
ALTER TABLE outbox ADD COLUMN queued_at INTEGER;
ALTER TABLE outbox ADD COLUMN reference INTEGER;
ALTER TABLE outbox_parts ADD COLUMN static_key INTEGER NOT NULL DEFAULT 0;
UPDATE outbox SET queued_at = CAST(strftime('%s', (SELECT time FROM messages WHERE id = message_id)) AS INTEGER);
UPDATE outbox_parts SET static_key = 1 WHERE state <> 'queued';
CREATE INDEX outbox_by_age ON outbox (state, queued_at);
CREATE TABLE outbox_references (
  number TEXT PRIMARY KEY,
  last INTEGER NOT NULL
) WITHOUT ROWID;
DROP TRIGGER queue_for_upstream;
CREATE TRIGGER queue_for_upstream AFTER INSERT ON messages
WHEN (SELECT kind FROM delivery_upstream WHERE id = 1) = 'kannel'
BEGIN
  INSERT INTO outbox (message_id, state, queued_at)
  VALUES (NEW.id, 'queued', CAST(strftime('%s', NEW.time) AS INTEGER));
END;
)sql";

constexpr int kBusyTimeoutMs = 10000;

// How far each part state has come; a report never moves a part back.
int rank(const std::string& state) {
  if (state == delivery::queued) return 0;
  if (state == delivery::unsure) return 1;
  if (state == delivery::handedOver) return 2;
  if (state == delivery::delivered) return 3;
  return 4; // failed
}

// The handset's word is the last: a part reported delivered or failed
// keeps it, whatever report follows.
bool lastWord(const std::string& state) { return state == delivery::delivered || state == delivery::failed; }

} // namespace

const char* outboxSchema() { return kSchema; }

std::string utcText(std::int64_t t) {
  const std::time_t time = static_cast<std::time_t>(t);
  std::tm tm{};
  gmtime_r(&time, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

// One connection and the few statements the queue needs.
class Outbox::Db {
public:
  explicit Db(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
      const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw StoreError("cannot open the store " + path + ": " + why);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    exec("PRAGMA foreign_keys = ON; PRAGMA synchronous = FULL;");
    migrate();
  }
  ~Db() { sqlite3_close(db_); }

  void exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string why = message ? message : sqlite3_errmsg(db_);
      sqlite3_free(message);
      throw StoreError(why);
    }
  }

  // A statement with its values bound; step() walks the rows.
  class Query {
  public:
    Query(sqlite3* db, const char* sql) : db_(db) {
      if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) throw StoreError(sqlite3_errmsg(db));
    }
    ~Query() { sqlite3_finalize(stmt_); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    Query& bind(int i, std::int64_t v) { return check(sqlite3_bind_int64(stmt_, i, v)); }
    Query& bind(int i, const std::string& v) {
      return check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    }
    bool step() {
      const int rc = sqlite3_step(stmt_);
      if (rc == SQLITE_ROW) return true;
      if (rc != SQLITE_DONE) throw StoreError(sqlite3_errmsg(db_));
      return false;
    }
    std::int64_t integer(int c) { return sqlite3_column_int64(stmt_, c); }
    bool null(int c) { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
    std::string text(int c) {
      const auto* p = sqlite3_column_text(stmt_, c);
      return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(stmt_, c)))
               : std::string();
    }

  private:
    Query& check(int rc) {
      if (rc != SQLITE_OK) throw StoreError(sqlite3_errmsg(db_));
      return *this;
    }
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
  };

  Query query(const char* sql) { return Query(db_, sql); }
  int changes() { return sqlite3_changes(db_); }

  // BEGIN IMMEDIATE ... COMMIT, rolled back when left by an exception.
  class Write {
  public:
    explicit Write(Db& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }
    ~Write() {
      if (!done_) try {
          db_.exec("ROLLBACK");
        } catch (const StoreError&) {
        }
    }
    void commit() {
      db_.exec("COMMIT");
      done_ = true;
    }

  private:
    Db& db_;
    bool done_ = false;
  };

  std::string partState(std::int64_t id, int part) {
    Query q = query("SELECT state FROM outbox_parts WHERE message_id = ? AND part = ?");
    q.bind(1, id).bind(2, part);
    return q.step() ? q.text(0) : std::string();
  }

  void setPart(std::int64_t id, int part, const std::string& state) {
    query("UPDATE outbox_parts SET state = ? WHERE message_id = ? AND part = ?").bind(1, state).bind(2, id).bind(3, part).step();
  }

  // The message's state follows from its parts: any failed part fails it,
  // an unconfirmed part holds it, a queued part keeps it queued, all
  // delivered delivers it, and otherwise the upstream has all of it. A
  // message given up stays failed.
  void settle(std::int64_t id, const std::string& status, const std::string& time, std::int64_t now) {
    Query current = query("SELECT state FROM outbox WHERE message_id = ?");
    if (!current.bind(1, id).step()) return;
    std::string state = current.text(0);
    if (state != delivery::failed) {
      int total = 0, worst = 4, failed = 0, unsure = 0;
      Query parts = query("SELECT state FROM outbox_parts WHERE message_id = ?");
      parts.bind(1, id);
      while (parts.step()) {
        const int r = rank(parts.text(0));
        ++total;
        failed += r == 4;
        unsure += r == 1;
        if (r < worst) worst = r;
      }
      if (total == 0) worst = 0;
      static const char* const byRank[] = {delivery::queued, delivery::unsure, delivery::handedOver,
                                           delivery::delivered, delivery::delivered};
      state = failed ? delivery::failed : unsure ? delivery::unsure : byRank[worst];
    }
    query("UPDATE outbox SET state = ?, upstream_status = ?, status_time = ?, "
          "unsure_since = CASE WHEN ? = 'unconfirmed' THEN coalesce(unsure_since, ?) ELSE NULL END "
          "WHERE message_id = ?")
        .bind(1, state).bind(2, status).bind(3, time).bind(4, state).bind(5, now).bind(6, id).step();
  }

private:
  // Brings the queue's tables of an older gateway (or the store's first
  // form of them) up to kOutboxVersion, in one transaction.
  void migrate() {
    Write tx(*this);
    exec("CREATE TABLE IF NOT EXISTS outbox_schema (version INTEGER NOT NULL)");
    Query q = query("SELECT max(version) FROM outbox_schema");
    const std::int64_t found = q.step() && !q.null(0) ? q.integer(0) : 1;
    if (found > kOutboxVersion)
      throw StoreError("the queue was written by a newer gateway (version " + std::to_string(found) + ")");
    if (found < 2) exec(kToVersion2);
    const std::string version = std::to_string(kOutboxVersion);
    exec(("DELETE FROM outbox_schema; INSERT INTO outbox_schema VALUES (" + version + ")").c_str());
    tx.commit();
  }

  sqlite3* db_ = nullptr;
};

Outbox::Outbox(const std::string& storePath) : db_(std::make_unique<Db>(storePath)) {}

Outbox::~Outbox() = default;

void Outbox::setUpstream(const std::string& kind) {
  std::lock_guard lock(mutex_);
  db_->query("INSERT INTO delivery_upstream (id, kind) VALUES (1, ?) ON CONFLICT (id) DO UPDATE SET kind = excluded.kind")
      .bind(1, kind)
      .step();
}

std::vector<QueuedMessage> Outbox::due(std::int64_t now, std::size_t limit) {
  std::lock_guard lock(mutex_);
  auto q = db_->query("SELECT o.message_id, m.recipient, m.text, o.attempts FROM outbox o "
                      "JOIN messages m ON m.id = o.message_id "
                      "WHERE o.state = 'queued' AND o.next_try <= ? ORDER BY o.message_id LIMIT ?");
  q.bind(1, now).bind(2, static_cast<std::int64_t>(limit));
  std::vector<QueuedMessage> out;
  while (q.step()) out.push_back({q.integer(0), q.text(1), q.text(2), static_cast<int>(q.integer(3))});
  return out;
}

std::vector<std::string> Outbox::parts(std::int64_t id, std::size_t count) {
  std::lock_guard lock(mutex_);
  Db::Write tx(*db_);
  auto has = db_->query("SELECT 1 FROM outbox_parts WHERE message_id = ? LIMIT 1");
  if (!has.bind(1, id).step())
    for (std::size_t part = 1; part <= count; ++part)
      db_->query("INSERT INTO outbox_parts (message_id, part, state) VALUES (?, ?, 'queued')")
          .bind(1, id).bind(2, static_cast<std::int64_t>(part)).step();
  std::vector<std::string> states;
  auto q = db_->query("SELECT state FROM outbox_parts WHERE message_id = ? ORDER BY part");
  q.bind(1, id);
  while (q.step()) states.push_back(q.text(0));
  tx.commit();
  return states;
}

void Outbox::markSending(std::int64_t id, int part, std::int64_t now) {
  std::lock_guard lock(mutex_);
  Db::Write tx(*db_);
  db_->setPart(id, part, delivery::unsure);
  db_->settle(id, "sending part " + std::to_string(part), utcText(now), now);
  tx.commit();
}

void Outbox::markHandedOver(std::int64_t id, int part, const std::string& status, std::int64_t now) {
  std::lock_guard lock(mutex_);
  Db::Write tx(*db_);
  // Kannel's report can overtake its own answer to the hand-over: a part
  // already reported on keeps the report's word.
  if (rank(db_->partState(id, part)) >= rank(delivery::handedOver)) return;
  db_->setPart(id, part, delivery::handedOver);
  db_->settle(id, status, utcText(now), now);
  tx.commit();
}

int Outbox::markRetry(std::int64_t id, int part, const std::string& status, std::int64_t nextTry, std::int64_t now) {
  std::lock_guard lock(mutex_);
  Db::Write tx(*db_);
  db_->setPart(id, part, delivery::queued);
  db_->query("UPDATE outbox SET attempts = attempts + 1, next_try = ? WHERE message_id = ?").bind(1, nextTry).bind(2, id).step();
  db_->settle(id, status, utcText(now), now);
  auto q = db_->query("SELECT attempts FROM outbox WHERE message_id = ?");
  const int attempts = q.bind(1, id).step() ? static_cast<int>(q.integer(0)) : 0;
  tx.commit();
  return attempts;
}

void Outbox::markNotSent(std::int64_t id, int part, const std::string& status, std::int64_t now) {
  std::lock_guard lock(mutex_);
  Db::Write tx(*db_);
  db_->setPart(id, part, delivery::queued);
  db_->settle(id, status, utcText(now), now);
  tx.commit();
}

std::vector<std::int64_t> Outbox::expired(std::int64_t acceptedBefore, std::size_t limit) {
  std::lock_guard lock(mutex_);
  auto q = db_->query("SELECT message_id FROM outbox WHERE state = 'queued' AND queued_at < ? "
                      "ORDER BY queued_at LIMIT ?");
  q.bind(1, acceptedBefore).bind(2, static_cast<std::int64_t>(limit));
  std::vector<std::int64_t> ids;
  while (q.step()) ids.push_back(q.integer(0));
  return ids;
}

std::optional<std::uint16_t> Outbox::reference(std::int64_t id, const std::string& number) {
  std::lock_guard lock(mutex_);
  Db::Write tx(*db_);
  auto given = db_->query("SELECT reference, EXISTS (SELECT 1 FROM outbox_parts WHERE message_id = ?1) "
                          "FROM outbox WHERE message_id = ?1");
  if (!given.bind(1, id).step()) throw StoreError("message " + std::to_string(id) + " is not queued");
  if (!given.null(0)) return static_cast<std::uint16_t>(given.integer(0));
  // Parts filed by an earlier gateway went out with the 8-bit id & 0xFF;
  // the rest of them must carry the same.
  if (given.integer(1)) return std::nullopt;
  // The number's counter starts anywhere, so a store made afresh does not
  // begin where a lost one began.
  auto next = db_->query("INSERT INTO outbox_references (number, last) VALUES (?, abs(random() % 65536)) "
                         "ON CONFLICT (number) DO UPDATE SET last = (last + 1) % 65536 RETURNING last");
  next.bind(1, number).step();
  const std::int64_t reference = next.integer(0);
  while (next.step()) {
  }
  db_->query("UPDATE outbox SET reference = ? WHERE message_id = ?").bind(1, reference).bind(2, id).step();
  tx.commit();
  return static_cast<std::uint16_t>(reference);
}

bool Outbox::takesStaticKey(std::int64_t id, int part) {
  std::lock_guard lock(mutex_);
  auto q = db_->query("SELECT static_key FROM outbox_parts WHERE message_id = ? AND part = ?");
  return q.bind(1, id).bind(2, part).step() && q.integer(0) == 1;
}

void Outbox::note(std::int64_t id, const std::string& status, std::int64_t now) {
  std::lock_guard lock(mutex_);
  Db::Write tx(*db_);
  db_->settle(id, status, utcText(now), now);
  tx.commit();
}

void Outbox::giveUp(std::int64_t id, const std::string& status, std::int64_t now) {
  std::lock_guard lock(mutex_);
  Db::Write tx(*db_);
  auto q = db_->query("SELECT state FROM outbox WHERE message_id = ?");
  if (!q.bind(1, id).step() || q.text(0) == delivery::failed) return;
  db_->query("UPDATE outbox SET state = 'failed', upstream_status = ?, status_time = ? WHERE message_id = ?")
      .bind(1, status).bind(2, utcText(now)).bind(3, id).step();
  // What the message cost, no more than a balance the clients can read.
  db_->query("UPDATE accounts SET credits = min(credits + (SELECT cost FROM messages WHERE id = ?1), ?2) "
             "WHERE unlimited = 0 AND id = (SELECT account_id FROM messages WHERE id = ?1)")
      .bind(1, id).bind(2, kMaxCredits).step();
  tx.commit();
}

int Outbox::expireUnconfirmed(std::int64_t before, std::int64_t now) {
  std::lock_guard lock(mutex_);
  auto q = db_->query("UPDATE outbox SET state = 'failed', status_time = ?, upstream_status = "
                      "'no answer from Kannel and no report: not sent again' "
                      "WHERE state = 'unconfirmed' AND unsure_since < ?");
  q.bind(1, utcText(now)).bind(2, before).step();
  return db_->changes();
}

bool Outbox::report(std::int64_t id, int part, int type, const std::string& status, const std::string& time) {
  std::lock_guard lock(mutex_);
  Db::Write tx(*db_);
  const std::string current = db_->partState(id, part);
  if (current.empty()) return false;
  if (lastWord(current)) return true;
  std::string next = current;
  if (type & 1) next = delivery::delivered;
  else if (type & (2 | 16)) next = delivery::failed;
  else if (type & (4 | 8)) next = delivery::handedOver;
  // A report that moves nothing on (a late "taken by the SMSC" after
  // "delivered") keeps the more telling word already recorded.
  if (rank(next) <= rank(current)) return true;
  db_->setPart(id, part, next);
  db_->settle(id, status, time, std::time(nullptr));
  tx.commit();
  return true;
}

std::string Outbox::state(std::int64_t id) {
  std::lock_guard lock(mutex_);
  auto q = db_->query("SELECT state FROM outbox WHERE message_id = ?");
  return q.bind(1, id).step() ? q.text(0) : std::string();
}

} // namespace quorvel::gateway
