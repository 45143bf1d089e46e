// SQLite used directly, as durable as the gateway's store: the practical limit for its writes.
#pragma once

#include <filesystem>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace quorvel::gateway::bench {

/// A table shaped like the gateway's messages in a database of its own in
/// \p folder (removed with it at the end), in WAL mode with full syncs.
class BareSqlite {
public:
  explicit BareSqlite(std::filesystem::path folder);
  ~BareSqlite();
  BareSqlite(const BareSqlite&) = delete;
  BareSqlite& operator=(const BareSqlite&) = delete;

  /// Inserts \p rows rows of \p text in one transaction.
  void insert(int rows, const std::string& text = "Meeting moved to 3 pm, room B.");

private:
  void exec(const char* sql);
  std::filesystem::path folder_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
};

} // namespace quorvel::gateway::bench
