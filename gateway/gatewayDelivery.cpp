// The delivery stage: hand-over worker and delivery-report endpoint.
#include "gateway/gatewayDelivery.h"

#include "util/unSMSParts.h"

#include <openssl/crypto.h>

#include <charconv>
#include <chrono>
#include <ctime>

namespace quorvel::gateway {

namespace {

constexpr std::size_t kPassSize = 100;
// The concatenation header numbers parts in one byte.
constexpr std::size_t kMostParts = 255;

bool wholeNumber(const std::string& text, std::int64_t& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// Compared in a time that does not tell how much of \p given was right.
bool sameText(const std::string& given, const std::string& expected) {
  return given.size() == expected.size() && CRYPTO_memcmp(given.data(), expected.data(), expected.size()) == 0;
}

const std::string* field(const std::multimap<std::string, std::string>& q, const char* name) {
  auto it = q.find(name);
  return it == q.end() ? nullptr : &it->second;
}

} // namespace

std::int64_t systemClock() { return static_cast<std::int64_t>(std::time(nullptr)); }

DeliveryWorker::DeliveryWorker(Outbox& outbox, const UpstreamConfig& config, const std::string& reportBase,
                               Clock clock, Transport transport)
    : outbox_(outbox), timings_(config.timings), client_(config, reportBase), clock_(std::move(clock)),
      transport_(std::move(transport)) {
  if (!transport_) transport_ = [this](const SmsPart& p) { return client_.send(p); };
}

DeliveryWorker::~DeliveryWorker() { stop(); }

std::int64_t DeliveryWorker::backOff(int attempts) const {
  std::int64_t wait = timings_.firstRetry;
  for (int i = 1; i < attempts && wait < timings_.longestRetry; ++i) wait *= 2;
  return std::min<std::int64_t>(wait, timings_.longestRetry);
}

std::size_t DeliveryWorker::runDue() {
  const std::int64_t now = clock_();
  outbox_.expireUnconfirmed(now - timings_.confirmWindow, now);
  giveUpExpired(now);
  std::size_t accepted = 0;
  if (now < pausedUntil_) return accepted;
  for (const QueuedMessage& m : outbox_.due(now, kPassSize))
    if (!deliver(m, accepted)) break;
  return accepted;
}

void DeliveryWorker::giveUpExpired(std::int64_t now) {
  const std::string why =
      "given up: not handed over within its validity of " + std::to_string(timings_.validity) + " s";
  for (std::int64_t id : outbox_.expired(now - timings_.validity, kPassSize)) outbox_.giveUp(id, why, now);
}

std::vector<SmsPart> DeliveryWorker::layOut(const QueuedMessage& m) {
  std::vector<std::string> texts = splitSmsParts(m.text);
  SmsPart first{m.id, m.recipient, "", smsParts(m.text).coding == SmsCoding::ucs2, 1,
                static_cast<int>(texts.size())};
  if (texts.size() > 1 && texts.size() <= kMostParts) {
    const std::optional<std::uint16_t> reference = outbox_.reference(m.id, kannelNumber(m.recipient));
    first.reference = reference ? *reference : static_cast<std::uint16_t>(m.id & 0xFF);
    // The 16-bit reference takes a character of each part; where that would
    // cost a part more than the account paid for, the 8-bit one goes.
    std::vector<std::string> wide = splitSmsParts(m.text, SmsReference::sixteenBit);
    if (reference && wide.size() == texts.size()) {
      texts = std::move(wide);
      first.wideReference = true;
    }
  }
  std::vector<SmsPart> parts(texts.size(), first);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    parts[i].text = std::move(texts[i]);
    parts[i].part = static_cast<int>(i + 1);
  }
  return parts;
}

bool DeliveryWorker::deliver(const QueuedMessage& m, std::size_t& accepted) {
  const std::vector<SmsPart> parts = layOut(m);
  if (parts.size() > kMostParts) {
    outbox_.giveUp(m.id, "too long for SMS: " + std::to_string(parts.size()) + " parts, at most 255", clock_());
    return true;
  }
  const std::vector<std::string> states = outbox_.parts(m.id, parts.size());
  for (std::size_t i = 0; i < states.size() && i < parts.size(); ++i) {
    if (states[i] == delivery::unsure) return true;  // settled by its report
    if (states[i] != delivery::queued) continue;
    const SmsPart& sms = parts[i];
    outbox_.markSending(m.id, sms.part, clock_());
    const HandOverResult r = transport_(sms);
    const std::int64_t now = clock_();
    if (r.outcome == HandOver::refused && r.unreachable) {
      // Kannel is down, not this message at fault: the queue waits.
      const std::int64_t wait = backOff(++outages_);
      pausedUntil_ = now + wait;
      outbox_.markNotSent(m.id, sms.part, r.status + " (the queue waits " + std::to_string(wait) + " s)", now);
      return false;
    }
    outages_ = 0;
    pausedUntil_ = 0;
    if (r.outcome == HandOver::accepted) {
      outbox_.markHandedOver(m.id, sms.part, r.status, now);
      ++accepted;
      continue;
    }
    if (r.outcome == HandOver::unknown) {
      outbox_.note(m.id, r.status + ": waiting for Kannel's report, not sent again", now);
      return false;
    }
    const int attempts = outbox_.markRetry(m.id, sms.part, r.status, now + backOff(m.attempts + 1), now);
    if (timings_.attempts > 0 && attempts >= timings_.attempts)
      outbox_.giveUp(m.id, "given up after " + std::to_string(attempts) + " attempts: " + r.status, now);
    return false;
  }
  return true;
}

void DeliveryWorker::start(int pollMs) {
  thread_ = std::thread([this, pollMs] {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      lock.unlock();
      try {
        runDue();
      } catch (const std::exception&) {
        // The store was busy or failed; the queue is unchanged, so the
        // next pass tries again.
      }
      lock.lock();
      cv_.wait_for(lock, std::chrono::milliseconds(pollMs), [this] { return stop_ || woken_; });
      woken_ = false;
    }
  });
}

void DeliveryWorker::wake() {
  std::lock_guard lock(mutex_);
  woken_ = true;
  cv_.notify_all();
}

void DeliveryWorker::stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    cv_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

Answer deliveryReport(Outbox& outbox, const std::string& secret,
                      const std::multimap<std::string, std::string>& query) {
  std::int64_t id = 0, part = 0, type = 0;
  const std::string* idText = field(query, "id");
  const std::string* partText = field(query, "part");
  const std::string* typeText = field(query, "type");
  if (!idText || !partText || !typeText || !wholeNumber(*idText, id) || !wholeNumber(*partText, part) ||
      !wholeNumber(*typeText, type) || part < 1 || part > 255)
    return plainAnswer(400, "Bad request: id, part and type must be numbers");
  const std::string* k = field(query, "k");
  const bool keyed = !secret.empty() && k &&
                     (sameText(*k, reportKey(secret, id, static_cast<int>(part))) ||
                      (sameText(*k, secret) && outbox.takesStaticKey(id, static_cast<int>(part))));
  if (!keyed) return plainAnswer(403, "Forbidden");
  std::string status;
  if (const std::string* s = field(query, "status")) status = s->substr(0, 200);
  for (char& c : status)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  std::int64_t ts = 0;
  const std::string* tsText = field(query, "ts");
  const std::string time = tsText && wholeNumber(*tsText, ts) && ts > 0 ? utcText(ts) : utcText(systemClock());
  const std::string recorded = "Kannel report " + std::to_string(type) + (status.empty() ? "" : ": " + status);
  if (!outbox.report(id, static_cast<int>(part), static_cast<int>(type), recorded, time))
    return plainAnswer(404, "No such message");
  return plainAnswer(200, "OK");
}

} // namespace quorvel::gateway
