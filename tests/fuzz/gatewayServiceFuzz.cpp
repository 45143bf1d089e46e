// Fuzz target: the gateway's answer to one request body, on a real store.
// Properties: the service never throws and never fails with a healthy
// store; a refusal carries "[ERROR]", never the login marker, and changes
// nothing; an answer with status 200 never carries "[ERROR]"; credits spent
// equal the cost of the messages filed, each its SMS parts; every XML answer
// is well-formed.
#include "fuzzInput.h"
#include "../gateway/xmlWellFormed.h"

#include "gateway/gatewayService.h"
#include "gateway/gatewayStore.h"
#include "gateway/passwordHash.h"

#include <filesystem>
#include <memory>
#include <random>

using namespace quorvel::gateway;
using quorvel::fuzz::check;

namespace {

namespace fs = std::filesystem;

const HashCost kCheapCost{1, 1, 1};
const char* const kLoginMarker = "<input type=hidden name=\"action\" value=\"registerGUI\">";

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A store in the temporary folder, removed when the run ends.
class FuzzGateway {
public:
  FuzzGateway() : path_(uniquePath()), store_(path_.string()), service_(store_, kCheapCost) {
    store_.addAccount("ann", hashPassword("secret", kCheapCost), Balance{false, 3});
  }
  ~FuzzGateway() {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      fs::remove(path_.string() + suffix, ignored);
  }

  GatewayStore& store() { return store_; }
  GatewayService& service() { return service_; }

private:
  static fs::path uniquePath() {
    std::random_device random;
    return fs::temp_directory_path() / ("quorvel-fuzz-gateway-" + std::to_string(random()) + ".sqlite");
  }

  fs::path path_;
  GatewayStore store_;
  GatewayService service_;
};

FuzzGateway& gateway() {
  static FuzzGateway instance;
  return instance;
}

// The balance each input starts from follows from the input, so that a
// replay meets the same store: unlimited, or 0 to 2 credits.
Balance startingBalance(const std::string& body) {
  const size_t pick = body.size() % 4;
  return pick == 3 ? Balance{true, 0} : Balance{false, static_cast<int64_t>(pick)};
}

// The credits the newest \p filed messages cost, checking each cost its parts.
int64_t costOfNewest(GatewayStore& store, int64_t filed, bool unlimited, const std::string& body) {
  int64_t cost = 0;
  for (const StoredMessage& m : store.messages(std::nullopt, static_cast<size_t>(filed))) {
    check(m.cost == (unlimited ? 0 : m.parts), "a message costs its SMS parts", body);
    cost += m.cost;
  }
  return cost;
}

void checkAnswer(const Answer& a, const Balance& before, const Balance& after, int64_t filed, int64_t cost) {
  // 429: the replayed guesses at "ann" lock it for a while, as they would any client.
  check(a.status == 200 || a.status == 400 || a.status == 429, "the answer is 200, 400 or 429 with a healthy store",
        a.body);
  if (a.contentType.rfind("text/xml", 0) == 0)
    check(quorvel::gateway::test::xmlFault(a.body).empty(), "an XML answer is well-formed", a.body);
  if (a.status != 200) {
    check(contains(a.body, "[ERROR]"), "a refusal carries [ERROR]", a.body);
    check(!contains(a.body, kLoginMarker), "a refusal never holds the login marker", a.body);
    check(after == before && filed == 0, "a refusal changes nothing", a.body);
    return;
  }
  check(!contains(a.body, "[ERROR]"), "an answer with status 200 never carries [ERROR]", a.body);
  const bool loginPage = contains(a.body, kLoginMarker);
  if (loginPage) check(!contains(a.body, "ERROR"), "the login page never says ERROR", a.body);
  if (!contains(a.body, "<Messages>")) {
    check(filed == 0 && after == before, "only a send answer files messages", a.body);
    return;
  }
  check(!loginPage, "a send answer never holds the login marker", a.body);
  if (before.unlimited)
    check(after.unlimited, "unlimited stays unlimited", a.body);
  else
    check(before.credits - after.credits == cost, "the credits spent are what the filed messages cost", a.body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  FuzzGateway& gw = gateway();
  const Balance before = startingBalance(body);
  gw.store().setBalance("ann", before);
  const int64_t messagesBefore = gw.store().messageCount();

  const Answer answer = gw.service().handle(body);

  const Balance after = gw.store().findAccount("ann")->balance;
  const int64_t filed = gw.store().messageCount() - messagesBefore;
  checkAnswer(answer, before, after, filed, costOfNewest(gw.store(), filed, before.unlimited, body));
  return 0;
}
