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

const std::string* field(const std::multimap<std::string, std::string>& q, const char* name) {
  auto it = q.find(name);
  return it == q.end() ? nullptr : &it->second;
}

} // namespace

std::int64_t systemClock() { return static_cast<std::int64_t>(std::time(nullptr)); }

DeliveryWorker::DeliveryWorker(Outbox& outbox, const UpstreamConfig& config, const std::string& reportBase,
                               Clock clock)
    : outbox_(outbox), timings_(config.timings), client_(config, reportBase), clock_(std::move(clock)) {}

DeliveryWorker::~DeliveryWorker() { stop(); }

std::int64_t DeliveryWorker::backOff(int attempts) const {
  std::int64_t wait = timings_.firstRetry;
  for (int i = 1; i < attempts && wait < timings_.longestRetry; ++i) wait *= 2;
  return std::min<std::int64_t>(wait, timings_.longestRetry);
}

std::size_t DeliveryWorker::runDue() {
  const std::int64_t now = clock_();
  outbox_.expireUnconfirmed(now - timings_.confirmWindow, now);
  std::size_t accepted = 0;
  for (const QueuedMessage& m : outbox_.due(now, kPassSize))
    if (!deliver(m, accepted)) break;
  return accepted;
}

bool DeliveryWorker::deliver(const QueuedMessage& m, std::size_t& accepted) {
  const SmsParts layout = smsParts(m.text);
  const std::vector<std::string> texts = splitSmsParts(m.text);
  if (texts.size() > kMostParts) {
    outbox_.giveUp(m.id, "too long for SMS: " + std::to_string(texts.size()) + " parts, at most 255", clock_());
    return true;
  }
  const std::vector<std::string> states = outbox_.parts(m.id, texts.size());
  for (std::size_t i = 0; i < states.size() && i < texts.size(); ++i) {
    if (states[i] == delivery::unsure) return true;  // settled by its report
    if (states[i] != delivery::queued) continue;
    const int part = static_cast<int>(i + 1);
    const SmsPart sms{m.id, m.recipient, texts[i], layout.coding == SmsCoding::ucs2, part,
                      static_cast<int>(texts.size())};
    outbox_.markSending(m.id, part, clock_());
    const HandOverResult r = client_.send(sms);
    const std::int64_t now = clock_();
    if (r.outcome == HandOver::accepted) {
      outbox_.markHandedOver(m.id, part, r.status, now);
      ++accepted;
      continue;
    }
    if (r.outcome == HandOver::unknown) {
      outbox_.note(m.id, r.status + ": waiting for Kannel's report, not sent again", now);
      return false;
    }
    const int attempts = outbox_.markRetry(m.id, part, r.status, now + backOff(m.attempts + 1), now);
    if (attempts >= timings_.attempts)
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

Answer deliveryReport(Outbox& outbox, const std::string& key, const std::multimap<std::string, std::string>& query) {
  const std::string* k = field(query, "k");
  if (key.empty() || !k || k->size() != key.size() || CRYPTO_memcmp(k->data(), key.data(), key.size()) != 0)
    return plainAnswer(403, "Forbidden");
  std::int64_t id = 0, part = 0, type = 0;
  const std::string* idText = field(query, "id");
  const std::string* partText = field(query, "part");
  const std::string* typeText = field(query, "type");
  if (!idText || !partText || !typeText || !wholeNumber(*idText, id) || !wholeNumber(*partText, part) ||
      !wholeNumber(*typeText, type) || part < 1 || part > 255)
    return plainAnswer(400, "Bad request: id, part and type must be numbers");
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
