// SQLite used directly, as durable as the gateway's store: the practical limit for its writes.
#include "bareSqlite.h"

#include <sqlite3.h>

#include <stdexcept>

namespace quorvel::gateway::bench {

BareSqlite::BareSqlite(std::filesystem::path folder) : folder_(std::move(folder)) {
  if (sqlite3_open((folder_ / "bare.sqlite").c_str(), &db_) != SQLITE_OK) throw std::runtime_error("cannot open");
  exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL;"
       "CREATE TABLE messages (id INTEGER PRIMARY KEY, time TEXT NOT NULL DEFAULT (datetime('now')),"
       " account_id INTEGER NOT NULL, recipient TEXT NOT NULL, text TEXT NOT NULL, status TEXT NOT NULL);"
       "CREATE INDEX messages_by_account ON messages (account_id, id);");
  if (sqlite3_prepare_v2(db_, "INSERT INTO messages (account_id, recipient, text, status) VALUES (1, ?, ?, 'accepted')",
                         -1, &insert_, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db_));
}

BareSqlite::~BareSqlite() {
  sqlite3_finalize(insert_);
  sqlite3_close(db_);
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

void BareSqlite::exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db_));
}

void BareSqlite::insert(int rows, const std::string& text) {
  exec("BEGIN IMMEDIATE");
  for (int i = 0; i < rows; ++i) {
    const std::string recipient = "+49151" + std::to_string(10000000 + i);
    sqlite3_bind_text(insert_, 1, recipient.data(), static_cast<int>(recipient.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert_, 2, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(insert_) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    sqlite3_reset(insert_);
  }
  exec("COMMIT");
}

} // namespace quorvel::gateway::bench
