// The durable outbound queue: what is still to be handed to the upstream,
// what the upstream took, and what its delivery reports said.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace quorvel::gateway {

/// The states of a queued message (and of each of its parts).
namespace delivery {
inline constexpr const char* queued = "queued";          ///< waiting to be handed over
inline constexpr const char* unsure = "unconfirmed";     ///< sent, answer never came
inline constexpr const char* handedOver = "handed over"; ///< the upstream took it
inline constexpr const char* delivered = "delivered";    ///< reported on the phone
inline constexpr const char* failed = "failed";          ///< given up or reported failed
} // namespace delivery

/// The tables, index and trigger of the queue, for the store's schema: while
/// the upstream recorded in the store is "kannel", every message filed is
/// queued in the same transaction that accepts it.
const char* outboxSchema();

/// A message due for hand-over.
struct QueuedMessage {
  std::int64_t id = 0;
  std::string recipient;
  std::string text;
  int attempts = 0;
};

/// The queue on the store file, with a connection of its own. Safe to use
/// from many threads (the report endpoint and the worker).
class Outbox {
public:
  explicit Outbox(const std::string& storePath);
  ~Outbox();
  Outbox(const Outbox&) = delete;
  Outbox& operator=(const Outbox&) = delete;

  /// Records which upstream new messages are queued for ("store": none).
  void setUpstream(const std::string& kind);

  /// Queued messages whose next try is due at \p now (unix seconds), oldest first.
  std::vector<QueuedMessage> due(std::int64_t now, std::size_t limit);
  /// The state of each part of message \p id; \p count parts are created,
  /// queued, the first time.
  std::vector<std::string> parts(std::int64_t id, std::size_t count);

  /// Before part \p part (1-based) is sent: recorded as unconfirmed, so that
  /// a crash or a time-out during the request never leads to a second copy.
  void markSending(std::int64_t id, int part, std::int64_t now);
  /// The upstream took the part; the message is handed over once all are.
  void markHandedOver(std::int64_t id, int part, const std::string& status, std::int64_t now);
  /// The upstream surely did not take the part: it waits until \p nextTry.
  /// Returns the failed attempts so far.
  int markRetry(std::int64_t id, int part, const std::string& status, std::int64_t nextTry, std::int64_t now);
  /// The part was not sent after all (the upstream could not be reached): it
  /// is queued again, without counting an attempt or changing the next try.
  void markNotSent(std::int64_t id, int part, const std::string& status, std::int64_t now);
  /// Queued messages accepted before \p acceptedBefore (unix seconds), the
  /// oldest first: their validity is over.
  std::vector<std::int64_t> expired(std::int64_t acceptedBefore, std::size_t limit);
  /// The concatenation reference of message \p id to \p number (digits and
  /// "+"): the one it was given, or else the next of that number's counter,
  /// so that consecutive messages to one number never share one. Empty for a
  /// message whose parts an earlier gateway filed (they carry id & 0xFF).
  std::optional<std::uint16_t> reference(std::int64_t id, const std::string& number);
  /// True when part \p part of message \p id went to the upstream before
  /// report URLs were keyed per part, so its report carries the static key.
  bool takesStaticKey(std::int64_t id, int part);
  /// Records \p status as the upstream's last word, the state unchanged.
  void note(std::int64_t id, const std::string& status, std::int64_t now);
  /// Gives the message up: failed, and what it cost goes back to its
  /// account, which never grows past kMaxCredits.
  void giveUp(std::int64_t id, const std::string& status, std::int64_t now);
  /// Unconfirmed messages without any report since before \p before become
  /// failed (not sent again, the upstream may have them). Returns how many.
  int expireUnconfirmed(std::int64_t before, std::int64_t now);

  /// Records a delivery report for part \p part of message \p id: Kannel's
  /// report \p type (1 delivered, 2 failed, 4 buffered, 8 taken by the
  /// SMSC, 16 refused by the SMSC), its text \p status and \p time (UTC
  /// "YYYY-MM-DD HH:MM:SS"). A part reported delivered or failed keeps that
  /// word. False when no such part is queued.
  bool report(std::int64_t id, int part, int type, const std::string& status, const std::string& time);

  /// The state of message \p id; empty when it is not queued.
  std::string state(std::int64_t id);

private:
  class Db;
  std::unique_ptr<Db> db_;
  std::mutex mutex_;
};

/// \p t (unix seconds) as UTC "YYYY-MM-DD HH:MM:SS".
std::string utcText(std::int64_t t);

} // namespace quorvel::gateway
