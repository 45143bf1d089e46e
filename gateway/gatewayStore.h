// The gateway's SQLite store: accounts with their balances and every accepted message.
#pragma once

#include "gateway/gatewayBalance.h"
#include "gateway/gatewayCommitQueue.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

namespace quorvel::gateway {

/// A store operation failed (file not openable, disk full, locked too long...).
class StoreError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct Account {
  std::int64_t id = 0;
  std::string name;
  std::string passwordHash;
  Balance balance;
  /// The code page its clients' texts are read in when they are not UTF-8.
  std::string charset;
};

/// A message to file for an account.
struct NewMessage {
  std::string recipient;
  std::string text;
  /// The SMS parts the text takes (smsParts); 0: counted when it is filed.
  std::size_t parts = 0;
};

/// A filed message; \c time is UTC as "YYYY-MM-DD HH:MM:SS". \c status is
/// "accepted", or its delivery state once queued for an upstream, with the
/// upstream's last word and its time.
struct StoredMessage {
  std::int64_t id = 0;
  std::string time;
  std::string account;
  std::string recipient;
  std::string text;
  std::string status;
  std::string upstreamStatus;
  std::string statusTime;
  /// The SMS parts it takes and the credits it cost (0 for an unlimited
  /// account); 1 and 1 for messages filed before parts were counted.
  std::int64_t parts = 1;
  std::int64_t cost = 1;
};

/// What acceptMessages did: the ids of the accepted messages (a prefix of
/// the batch, in order) and the balance after the batch.
struct AcceptResult {
  std::vector<std::int64_t> ids;
  Balance balance;
};

struct StoreOptions {
  /// Batches filed at the same time share one transaction, and so one flush
  /// to disk (group commit); each caller still returns only after the commit
  /// that holds its batch. Off: one transaction and flush per batch.
  bool groupCommit = true;
};

/// The store on one SQLite file. Safe to use from many threads at once: each
/// thread borrows a connection of its own, and writers take the database's
/// write lock before reading what they change (BEGIN IMMEDIATE), so a balance
/// is never spent twice, also against another process on the same file.
class GatewayStore {
public:
  /// Opens or creates the store at \p path (its folder must exist).
  explicit GatewayStore(const std::string& path, StoreOptions options = {});
  ~GatewayStore();
  GatewayStore(const GatewayStore&) = delete;
  GatewayStore& operator=(const GatewayStore&) = delete;

  const std::string& path() const { return path_; }

  /// Adds an account; throws StoreError when the name is taken.
  void addAccount(const std::string& name, const std::string& passwordHash, const Balance& balance);
  /// Adds the account only when the store holds no account at all; true when added.
  bool addAccountIfNoneExists(const std::string& name, const std::string& passwordHash,
                              const Balance& balance);
  /// Sets the balance; false when there is no such account.
  bool setBalance(const std::string& name, const Balance& balance);
  /// Sets the code page of the account's clients (a canonicalCharset name);
  /// false when there is no such account.
  bool setCharset(const std::string& name, const std::string& charset);
  /// Replaces the password hash; false when there is no such account.
  bool setPasswordHash(std::int64_t accountId, const std::string& passwordHash);

  std::optional<Account> findAccount(const std::string& name);
  std::optional<Balance> balance(std::int64_t accountId);
  std::vector<Account> accounts();

  /// Files as many of \p messages as the balance pays for, in order, takes
  /// one credit for each SMS part, and returns what was filed: the batch
  /// stops at the first message the balance cannot pay for. All in one transaction:
  /// the batch is filed and paid for together or not at all, and it is on
  /// disk when this returns. Batches of other threads may share the
  /// transaction (see StoreOptions), each still all or nothing.
  /// Throws StoreError when the account does not exist or the store fails.
  AcceptResult acceptMessages(std::int64_t accountId, const std::vector<NewMessage>& messages);
  /// Transactions that filed batches so far: fewer than the batches when they shared.
  std::uint64_t batchCommits() const { return batchCommits_; }

  /// The newest \p limit messages (all accounts, or one), newest first.
  std::vector<StoredMessage> messages(const std::optional<std::string>& account, std::size_t limit);
  std::int64_t messageCount();

private:
  class Connection;
  class Lease;
  friend class Lease;

  struct Batch;

  Lease lease();
  void giveBack(std::unique_ptr<Connection> connection);
  void commitBatches(CommitQueue::Group& group);

  std::string path_;
  std::mutex poolMutex_;
  std::vector<std::unique_ptr<Connection>> idle_;
  // Writers of this process queue here rather than in SQLite's busy handler,
  // which polls with sleeps; other processes are still kept out by the file lock.
  std::mutex writeMutex_;
  StoreOptions options_;
  CommitQueue commits_;
  std::atomic<std::uint64_t> batchCommits_{0};
};

/// The default store file: $XDG_DATA_HOME/quorvel/gateway.sqlite, with
/// ~/.local/share for an unset XDG_DATA_HOME. Empty when neither is known.
std::string defaultStorePath();

} // namespace quorvel::gateway
